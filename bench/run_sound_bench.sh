#!/bin/bash
# run_sound_bench.sh - one sounding against eccodes, per packing, and many
# stations in one run.
#
# Builds the workload from the GFS sample the way users meet it: regridded
# with cdo to 0.25 degree (1440 x 721 points per product, simple packing),
# then repacked with second-order spatial differencing (grib2_sd_repack) and
# with grib_set to JPEG 2000, PNG and CCSDS.  For each file it times, as
# whole processes (medians of RUNS alternating runs, wall clock, the file in
# the page cache):
#   - raziva making one sounding (35.2N 97.4W, 72 h) and printing its report;
#   - the eccodes C API decoding the products that sounding needs
#     (sound_eccodes_bench);
# with the peak memory of each (/usr/bin/time -v), and the in-process time
# of the extraction with and without partial decoding (sound_bench).  Then
# 1, 10 and 100 stations in one run of raziva on the second-order file.
#
#   bench/run_sound_bench.sh [WORKDIR]
#
# WORKDIR (default /tmp/raziva-sound-bench) keeps the built files between
# runs; delete it to rebuild them.  RUNS (default 7) sets the repetitions.
# BASE=/path/to/older/raziva adds a column with that program's time for the
# same sounding, alternating with the others (to check that a change is
# never slower on any packing).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
src=$(cd "$here/.." && pwd)
work=${1:-/tmp/raziva-sound-bench}
runs=${RUNS:-7}
sample=$src/tests/data/unpack/gfs.grb
build=$work/build
lat=35.2 lon=-97.4 hour=72
mkdir -p "$work"

bash "$src/scripts/install-deps.sh" --bench

for tool in cdo grib_set /usr/bin/time; do
  command -v $tool > /dev/null || { echo "run_sound_bench: $tool is needed" >&2; exit 1; }
done

echo "== building raziva and the benchmark programs (Release) in $build"
launcher=()
command -v ccache > /dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
cmake -S "$src" -B "$build" -DCMAKE_BUILD_TYPE=Release -DRAZIVA_BENCH=ON -DRAZIVA_TESTS=OFF "${launcher[@]}" > "$work/cmake.log"
cmake --build "$build" --target raziva grib2_sd_repack sound_bench sound_eccodes_bench -j2 > "$work/build.log"
raziva=$build/raziva
peer=$build/bench/sound_eccodes_bench

# The workload: one regridded copy of the sample and its repackings.
simple=$work/gfs025_simple.grb
if [ ! -s "$simple" ]; then
  echo "== regridding $sample to 1440 x 721 with cdo"
  cdo -s remapbil,r1440x721 "$sample" "$simple.tmp" && mv "$simple.tmp" "$simple"
fi
sd2=$work/gfs025_sd2.grb
if [ ! -s "$sd2" ]; then
  echo "== repacking with second-order spatial differencing (grib2_sd_repack)"
  "$build/bench/grib2_sd_repack" "$simple" "$sd2.tmp" > /dev/null && mv "$sd2.tmp" "$sd2"
fi
for packing in jpeg png ccsds; do
  f=$work/gfs025_$packing.grb
  if [ ! -s "$f" ]; then
    echo "== repacking with grib_set packingType=grid_$packing (slow for jpeg and png)"
    grib_set -r -s packingType=grid_$packing "$simple" "$f.tmp" && mv "$f.tmp" "$f"
  fi
done

# Seconds of one run of a command (output discarded).
seconds() {
  local t0 t1
  t0=$(date +%s%N)
  "$@" > /dev/null 2>&1
  t1=$(date +%s%N)
  awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.4f\n", (b - a) / 1e9 }'
}
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
peak_mib() {
  /usr/bin/time -v "$@" 2>&1 > /dev/null | awk '/Maximum resident set size/ { printf "%.1f", $NF / 1024 }'
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a / b }'; }

# reports only: no plot after the sounding (run from the source folder,
# whose data/zup.cfg points the lookup files at data/)
cd "$src"
one_sounding() { "$raziva" -df data -ba -pl none -id "$1" -ft $hour "$2"; }
base=${BASE:-}
base_sounding() { "$base" -df data -ba -pl none -id "$1" -ft $hour "$2"; }

table=$work/table.txt
{
  printf "%-13s %6s %10s %10s %7s %9s %9s %12s %12s %8s\n" packing MB raziva_s eccodes_s ratio raz_MiB ecc_MiB whole_ms partial_ms ${base:+base_s}
} > "$table"
for packing in sd2 simple jpeg png ccsds; do
  f=$work/gfs025_$packing.grb
  echo "== $(basename "$f"): $(du -m "$f" | cut -f1) MB"
  cat "$f" > /dev/null  # same page-cache state for every reader
  ours=() theirs=() older=()
  for ((i = 0; i < runs; i++)); do
    ours+=("$(seconds one_sounding "$lat,$lon" "$f")")
    theirs+=("$(seconds "$peer" "$f" $hour)")
    [ -z "$base" ] || older+=("$(seconds base_sounding "$lat,$lon" "$f")")
  done
  a=$(printf "%s\n" "${ours[@]}" | median)
  b=$(printf "%s\n" "${theirs[@]}" | median)
  c=""
  [ -z "$base" ] || c=$(printf "%s\n" "${older[@]}" | median)
  ma=$(peak_mib "$raziva" -df data -ba -pl none -id "$lat,$lon" -ft $hour "$f")
  mb=$(peak_mib "$peer" "$f" $hour)
  inproc=$("$build/bench/sound_bench" "$f" $lat $lon $hour 3)
  part=$(sed -n 's/one sounding extraction: *\([0-9.]*\) ms.*/\1/p' <<< "$inproc")
  whole=$(sed -n 's/the same from whole fields: *\([0-9.]*\) ms.*/\1/p' <<< "$inproc")
  printf "%-13s %6s %10s %10s %7s %9s %9s %12s %12s %8s\n" "$packing" "$(du -m "$f" | cut -f1)" "$a" "$b" \
    "$(ratio "$a" "$b")" "$ma" "$mb" "$whole" "$part" "$c" >> "$table"
done

# Many stations in one run: points over the United States.
echo "== 1, 10 and 100 stations in one run ($(basename "$sd2"))"
for n in 1 10 100; do
  awk -v n=$n 'BEGIN { for (i = 0; i < n; i++) printf "%.2f,%.2f\n", 30 + (i % 10) * 1.8, -120 + int(i / 10) * 4.5 }' \
    > "$work/stations_$n.txt"
done
echo >> "$table"
printf "%-13s %10s %7s %9s\n" stations raziva_s "x one" raz_MiB >> "$table"
one=""
cat "$sd2" > /dev/null
for n in 1 10 100; do
  t=()
  for ((i = 0; i < runs; i++)); do t+=("$(seconds one_sounding "@$work/stations_$n.txt" "$sd2")"); done
  m=$(printf "%s\n" "${t[@]}" | median)
  [ -n "$one" ] || one=$m
  printf "%-13s %10s %7s %9s\n" "$n" "$m" "$(ratio "$m" "$one")" \
    "$(peak_mib "$raziva" -df data -ba -pl none -id "@$work/stations_$n.txt" -ft $hour "$sd2")" >> "$table"
done

echo
echo "One sounding at ${lat}N ${lon#-}W, ${hour} h, whole process, medians of $runs alternating runs;"
echo "eccodes decodes the products the sounding needs; whole_ms/partial_ms: the extraction"
echo "in-process from whole fields on one thread / with partial decoding and threads."
echo "Goals: ratio at most 0.15 (sd2), 0.05 (simple, jpeg); 100 stations at most 1.5 x one."
cat "$table"

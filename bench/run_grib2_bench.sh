#!/bin/bash
# run_grib2_bench.sh - GRIB edition 2 decoding speed against eccodes.
#
# Builds a large file from the GFS 2.5 degree sample the way users meet them
# (0.25 degree, 1440 x 721 points per product, complex packing with spatial
# differencing), decodes every product with raziva's decoders and with the
# eccodes C API (one thread each), and prints the ratios.
#
#   bench/run_grib2_bench.sh [WORKDIR]
#
# Needs cdo, the eccodes tools and libeccodes-dev (for the peer program).
# WORKDIR (default /tmp/raziva-grib2-bench) keeps the built files between
# runs; delete it to rebuild them.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
src=$(cd "$here/.." && pwd)
work=${1:-/tmp/raziva-grib2-bench}
sample=$src/tests/data/unpack/gfs.grb
build=$work/build
mkdir -p "$work"

bash "$src/scripts/install-deps.sh" --bench

for tool in cdo grib_set grib_count; do
  command -v $tool > /dev/null || { echo "run_grib2_bench: $tool is needed" >&2; exit 1; }
done

echo "== building the benchmark programs (Release) in $build"
cmake -S "$src" -B "$build" -DCMAKE_BUILD_TYPE=Release -DRAZIVA_BENCH=ON -DRAZIVA_TESTS=OFF > "$work/cmake.log"
cmake --build "$build" --target grib2_unpack_bench grib2_sd_repack -j2 > "$work/build.log"
peer=""
if cmake --build "$build" --target grib2_eccodes_bench -j2 >> "$work/build.log" 2>&1; then
  peer=$build/bench/grib2_eccodes_bench
else
  echo "run_grib2_bench: no eccodes peer (libeccodes-dev missing?)" >&2
fi
bench=$build/bench/grib2_unpack_bench

# 1. Regrid every product to 0.25 degree (cdo writes simple packing).
simple=$work/gfs025_simple.grb
if [ ! -s "$simple" ]; then
  echo "== regridding $sample to 1440 x 721 with cdo"
  cdo -s remapbil,r1440x721 "$sample" "$simple.tmp"
  # twice over: about 600 products, as many as a GFS 0.25 degree file holds
  cat "$simple.tmp" "$simple.tmp" > "$simple"
  rm -f "$simple.tmp"
fi

# 2a. Repack with eccodes as a user would (eccodes 2.28 writes template 5.3
#     with differencing order 0 and few groups).
ec=$work/gfs025_eccodes_sd.grb
if [ ! -s "$ec" ]; then
  echo "== repacking with grib_set (packingType=grid_complex_spatial_differencing)"
  grib_set -r -s packingType=grid_complex_spatial_differencing "$simple" "$ec"
fi

# 2b. Repack with second-order differencing and short groups, as the
#     operational GFS files are written.
sd2=$work/gfs025_sd2.grb
if [ ! -s "$sd2" ]; then
  echo "== repacking with second-order spatial differencing (grib2_sd_repack)"
  "$build/bench/grib2_sd_repack" "$simple" "$sd2"
fi

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
field() { sed -n "s/.* $1 \([0-9.e+-]*\).*/\1/p" <<< "$2"; }

for f in "$sd2" "$ec"; do
  echo
  echo "== $(basename "$f"): $(grib_count "$f") products, $(du -m "$f" | cut -f1) MB"
  cat "$f" > /dev/null  # same page-cache state for every reader
  ours=$("$bench" "$f"); echo "$ours"
  grd=$("$bench" --grd "$f" 2> /dev/null); echo "$grd"
  if [ -n "$peer" ]; then
    theirs=$("$peer" "$f"); echo "$theirs"
    echo "ratios to eccodes (wall clock / processor time):"
    echo "  decoders, whole run:   $(ratio "$(field total_s "$ours")" "$(field total_s "$theirs")") / $(ratio "$(field cpu_s "$ours")" "$(field cpu_s "$theirs")")"
    echo "  decoding calls only:   $(ratio "$(field decode_s "$ours")" "$(field decode_s "$theirs")")"
    echo "  GRD_read, whole run:   $(ratio "$(field total_s "$grd")" "$(field total_s "$theirs")") / $(ratio "$(field cpu_s "$grd")" "$(field cpu_s "$theirs")")"
    echo "(goal: at most 0.67; sums should agree: $(field sum "$ours") $(field sum "$grd") $(field sum "$theirs"))"
  fi
done

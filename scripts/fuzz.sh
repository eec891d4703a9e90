#!/usr/bin/env bash
# Build the libFuzzer programs (clang, AddressSanitizer + UBSan) and run each
# input kind for a while, then print per kind the executions, executions per
# second, coverage and faults.
#
#   scripts/fuzz.sh [-t SECONDS] [-m] [KIND...]
#
#   -t SECONDS  time per kind (default 60)
#   -m          merge what is new into the kept corpus (tests/fuzz/corpus),
#               minimised: only inputs that add coverage are kept
#   KIND        grib, unpack, sound, resource, ... (default: all of them)
#
# Working corpora grow in build-fuzz/corpus/KIND; faults are written to
# build-fuzz/faults/KIND/ (crash-*, leak-*, timeout-*, oom-*) and replayed
# once with the sanitizer report shown.  A fault found is a bug: fix it at
# its root, then copy the reproducer into tests/fuzz/corpus/KIND/ so that
# the replay tests keep it fixed.  Exit status 1 when any fault was found.
set -euo pipefail
cd "$(dirname "$0")/.."

secs=60
merge=0
while getopts "t:m" opt; do
  case $opt in
    t) secs=$OPTARG ;;
    m) merge=1 ;;
    *) sed -n '2,20p' "$0"; exit 2 ;;
  esac
done
shift $((OPTIND - 1))

if ! command -v clang++ >/dev/null; then
  echo "fuzz.sh: clang++ is needed (Debian packages clang and libclang-rt-14-dev)" >&2
  exit 2
fi

build=build-fuzz
CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DRAZIVA_TESTS=OFF -DRAZIVA_FUZZ=ON >/dev/null
cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)" >/dev/null

kinds=("$@")
if [ ${#kinds[@]} -eq 0 ]; then
  for p in "$build"/tests/fuzz/fuzz_*; do kinds+=("${p##*/fuzz_}"); done
fi

# Messages of the program under test go nowhere; libFuzzer keeps its own.
export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

printf '%-10s %12s %10s %8s %8s %7s\n' kind executions exec/s cov features faults
total=0
status=0
for kind in "${kinds[@]}"; do
  bin="$build/tests/fuzz/fuzz_$kind"
  seeds="tests/fuzz/corpus/$kind"
  if [ ! -x "$bin" ] || [ ! -d "$seeds" ]; then
    echo "fuzz.sh: no fuzzing program or corpus for $kind" >&2
    status=1
    continue
  fi
  work="$build/corpus/$kind"
  faults="$build/faults/$kind"
  mkdir -p "$work" "$faults"
  # libFuzzer adds what it finds to its corpus folder: give it a working
  # copy, never the kept corpus itself
  cp -n "$seeds"/* "$work"/ 2>/dev/null || true
  log="$build/fuzz-$kind.log"
  "$bin" -max_total_time="$secs" -print_final_stats=1 -close_fd_mask=3 \
    -timeout=10 -rss_limit_mb=2560 -max_len=65536 -artifact_prefix="$faults/" \
    "$work" >"$log" 2>&1 || true
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
  ft=$(grep -o 'ft: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
  nfault=$(find "$faults" -type f | wc -l)
  printf '%-10s %12s %10s %8s %8s %7s\n' "$kind" "${execs:-?}" "${rate:-?}" \
    "${cov:-?}" "${ft:-?}" "$nfault"
  total=$((total + ${execs:-0}))
  if [ "$nfault" -gt 0 ]; then
    status=1
    for f in "$faults"/*; do
      echo "--- $f" >&2
      "$bin" -timeout=10 "$f" 2>&1 | grep -v '^\(INFO\|Running\|Executed\)' | tail -40 >&2 || true
    done
  fi
  if [ "$merge" -eq 1 ]; then
    # keep, besides seeds and reproducers, what adds coverage to them
    keep="$build/merge-$kind"
    rm -rf "$keep" && mkdir -p "$keep"
    "$bin" -merge=1 -close_fd_mask=3 "$keep" "$seeds" "$work" >/dev/null 2>&1 || true
    for f in "$keep"/*; do
      [ -e "$f" ] || continue
      if ! find "$seeds" -type f -exec cmp -s "$f" {} \; -print | grep -q .; then
        cp "$f" "$seeds/new-$(basename "$f")"
      fi
    done
  fi
done
printf '%-10s %12s\n' total "$total"
exit $status

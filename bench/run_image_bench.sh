#!/bin/bash
# Cost of a batch PNG of one skew-T against the text-only run of the same
# sounding (the PNG run must cost less than twice as much).  Both runs go
# through bench/reap.py, which also waits for the background part of the
# plot run; the PNG is drawn off-screen (no display).
#
#   bash bench/run_image_bench.sh [grib-file [station [hour]]]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD:-$root/build}
grib=${1:-/work/shared/data/grib/gfs.grb}
[ -f "$grib" ] || grib=$root/data/sample.grb
station=${2:-KOUN}
hour=${3:-72}
command -v hyperfine >/dev/null || { echo "hyperfine is needed (apt-get install hyperfine)"; exit 1; }
cmake --build "$build" --target raziva -j2 >/dev/null

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
py=$(command -v /usr/bin/python3 || command -v python3)
reap="$py -S $root/bench/reap.py"
args="-df $root/data -ba -me mess,+out1,+out2,+out3 -id $station -ft $hour $grib"
text="$reap $build/raziva $args -pl none"
png="$reap $build/raziva $args -pl skewt -pp png=$out/skewt.png"

env -u DISPLAY $reap $build/raziva $args -pl skewt -pp png=$out/check.png >/dev/null 2>&1 || true
[ -s "$out/check.png" ] || { echo "the PNG run wrote no image"; exit 1; }

env -u DISPLAY hyperfine -N --warmup 3 --runs ${RUNS:-30} \
    --command-name "wrapper alone" "$reap true" \
    --command-name "text report" "$text" \
    --command-name "text report + PNG skew-T" "$png" \
    --export-markdown "$out/result.md" --export-json "$out/result.json" --output=null
cat "$out/result.md"
# The ratio without the wrapper's own start-up.
python3 - "$out/result.json" <<'PY'
import json, sys
r = {x["command"]: x for x in json.load(open(sys.argv[1]))["results"]}
base = r["wrapper alone"]["median"]
text = r["text report"]["median"] - base
png = r["text report + PNG skew-T"]["median"] - base
print(f"medians without the wrapper: text {text*1000:.1f} ms, PNG run {png*1000:.1f} ms, "
      f"ratio {png/text:.2f} (must stay below 2)")
cpu = {k: v["user"] + v["system"] for k, v in r.items()}
ct = cpu["text report"] - cpu["wrapper alone"]
cp = cpu["text report + PNG skew-T"] - cpu["wrapper alone"]
print(f"CPU time (user + system, means) without the wrapper: text {ct*1000:.1f} ms, "
      f"PNG run {cp*1000:.1f} ms, ratio {cp/ct:.2f}")
PY

# CPU time of each run with its background part, counted by perf.
if command -v perf >/dev/null && perf stat -e task-clock true >/dev/null 2>&1; then
    cpu() { env -u DISPLAY perf stat -x, -r ${RUNS:-30} -e task-clock "$@" 2>&1 >/dev/null | cut -d, -f1; }
    base=$(cpu $reap true)
    t=$(cpu $text)
    p=$(cpu $png)
    python3 -c "b, t, p = $base, $t, $p; print(f'perf task-clock without the wrapper: text {t-b:.1f} ms, PNG run {p-b:.1f} ms, ratio {(p-b)/(t-b):.2f}')"
fi

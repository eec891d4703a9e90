#!/usr/bin/env bash
# Install what is missing, build raziva and run its main job on the bundled
# sample data: the sounding report at a point of the sample GRIB file.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRAZIVA_TESTS=OFF >/dev/null
cmake --build build -j "$(nproc 2>/dev/null || echo 2)" --target raziva

# The sample holds the 24-hour NAM forecast of 9 December 2004 around 40N 100W.
# data/zup.cfg points the lookup files at data/ and shows every report table;
# "-pl none": the report only, no skew-T (which would want a display or a
# plot file, "-de p,demo.ps").
exec build/raziva -df data -ba -pl none -id 40,-100 -ft h24 data/sample.grb

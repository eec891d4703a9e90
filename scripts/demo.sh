#!/usr/bin/env bash
# Install what is missing, build raziva and run its main job on the bundled
# sample data: the sounding report at a point of the sample GRIB file.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRAZIVA_TESTS=OFF >/dev/null
cmake --build build -j "$(nproc 2>/dev/null || echo 2)" --target raziva

if [ -f data/sample.grb ]; then
  exec build/raziva -ba -file_path data -id 40,-100 -ft init data/sample.grb
else
  exec build/raziva -h
fi

#!/usr/bin/env bash
# Install the Debian packages raziva needs to build, test and run.
# Quiet and quick when everything is already there.
#   scripts/install-deps.sh           build, tests and their oracles
#   scripts/install-deps.sh --bench   also what the benchmarks need
set -euo pipefail

PACKAGES=(
  # build
  build-essential cmake pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  # run-time libraries
  zlib1g-dev libpng-dev libopenjp2-7-dev libaec-dev libx11-dev
  libnetcdf-dev libcairo2-dev
  # test oracles and data sources
  libeccodes-tools proj-bin netcdf-bin ghostscript hp2xx
  # window tests: a virtual X server, synthetic input, screenshots
  xvfb xdotool x11-apps x11-utils imagemagick python3-pil
  weather-util-data hershey-fonts-data libgweather-4-common
  # manual page, Debian package, parallel runs
  groff man-db dpkg-dev fakeroot file parallel
)

# The benchmarks also build an eccodes peer program and regrid with cdo.
if [ "${1:-}" = "--bench" ]; then
  PACKAGES+=(libeccodes-dev cdo)
fi

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "install-deps: installing ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null

#!/usr/bin/env bash
# Installs everything the daemon, the simulated camera, the tests and the benchmarks need,
# from Debian's packages. Run as root on Debian 12; safe to run again.
set -euo pipefail

packages=(
  # build
  build-essential cmake ninja-build pkg-config git clang libclang-rt-14-dev
  # libraries the daemon links
  libcivetweb-dev libprotobuf-dev protobuf-compiler libprotobuf-c-dev protobuf-c-compiler
  libexif-dev libssl-dev nlohmann-json3-dev
  # tests and sample media
  libgtest-dev libgmock-dev python3 python3-pytest python3-pytest-xdist python3-jsonschema curl
  ffmpeg libimage-exiftool-perl procps
  # the camera's page: its unit tests (Node) and its tests in a headless browser
  nodejs chromium chromium-driver python3-selenium
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "setup.sh: run as root to install: ${missing[*]}" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  "$(dirname "$0")/apt-update.sh"
  apt-get install -y --no-install-recommends "${missing[@]}"
fi

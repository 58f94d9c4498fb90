#!/usr/bin/env bash
# Sets up the machine, builds the daemon plainly and with AddressSanitizer +
# UndefinedBehaviorSanitizer, runs every unit and end-to-end test in both builds, then runs
# each fuzz target briefly.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/setup.sh

for preset in debug asan; do
  echo "== $preset build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  echo "== $preset tests"
  ctest --preset "$preset"
done

echo "== fuzz targets"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
ctest --preset fuzz

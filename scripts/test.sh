#!/usr/bin/env bash
# Sets up the machine, builds the daemon plainly and with AddressSanitizer +
# UndefinedBehaviorSanitizer, runs every unit and end-to-end test in both builds, then runs
# each fuzz target briefly.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/setup.sh

start=$SECONDS
phase() { echo "== $1 ($((SECONDS - start)) s so far)"; }

for preset in debug asan; do
  phase "$preset build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  phase "$preset tests"
  ctest --preset "$preset"
done

phase "fuzz targets"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
ctest --preset fuzz
phase "done"

#!/usr/bin/env bash
# Sets up the machine, compiles every daemon source for the camera platform against its contracts
# alone (no simulator; the camera's closed libraries are not here, so nothing is linked), then
# builds and tests the daemon twice: the optimised build (GCC, the one the run command and the
# benchmarks use) and an AddressSanitizer + UndefinedBehaviorSanitizer build (clang) that also
# holds the fuzz targets; every unit and end-to-end test runs in both, a minute of the soak run
# (bench/soak) against the optimised build, then each fuzz target runs briefly. Prints how long
# each phase took. Longer checks (the ARM build under emulation, ThreadSanitizer, long fuzz and
# soak runs) are in scripts/long.sh.
set -euo pipefail
cd "$(dirname "$0")/.."

start=$SECONDS
last=$SECONDS
phase() {
  echo "== $1 (previous phase $((SECONDS - last)) s, $((SECONDS - start)) s so far)"
  last=$SECONDS
}

phase "set-up"
./scripts/setup.sh

phase "camera-platform compile check"
cmake --preset camera >/dev/null
cmake --build --preset camera

for preset in release asan; do
  phase "$preset build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  phase "$preset tests"
  ctest --preset "$preset"
  if [ "$preset" = release ]; then
    # A minute of the soak run: no unexpected answer, no growth, nothing left behind.
    phase "soak (60 s)"
    bench/soak/run.sh "$PWD/build/bin" --seconds 60
  fi
done

phase "fuzz targets"
ctest --preset fuzz
phase "done"

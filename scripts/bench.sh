#!/usr/bin/env bash
# Builds the optimised preset and runs benchmarks, each printing its own table:
#   scripts/bench.sh            every benchmark under bench/
#   scripts/bench.sh downloads  just bench/downloads
# Benchmarks measure their peers (nginx, stock civetweb, dd, ffmpeg, ...) in the same run.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/setup.sh
bench/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release

names=("$@")
if [ ${#names[@]} -eq 0 ]; then
  for d in bench/*/; do [ -x "$d/run.sh" ] && names+=("$(basename "$d")"); done
fi
for n in "${names[@]}"; do
  echo "== bench/$n"
  "bench/$n/run.sh" "$PWD/build/bin"
done

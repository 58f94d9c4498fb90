#!/usr/bin/env bash
# Control requests per second and latency of the daemon beside nginx serving a small static
# JSON file, in the same run.
# Usage: bench/control/run.sh BIN_DIR   (scripts/bench.sh control passes the release bin)
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
repo="$(cd "$here/../.." && pwd)"
exec /usr/bin/python3 "$here/control.py" "${1:-$repo/build/bin}" "$repo"

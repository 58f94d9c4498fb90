#!/usr/bin/env bash
# Download throughput and memory of the daemon beside stock civetweb, nginx and dd.
# Usage: bench/downloads/run.sh BIN_DIR   (scripts/bench.sh downloads passes the release bin)
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
repo="$(cd "$here/../.." && pwd)"
# The test file must sit on a disk filesystem (O_DIRECT), so it goes below the checkout.
exec /usr/bin/python3 "$here/downloads.py" "${1:-$repo/build/bin}" "$repo"

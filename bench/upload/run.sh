#!/usr/bin/env bash
# Firmware upload throughput, completion time and memory of the daemon beside a raw socket
# sink and sha1sum.
# Usage: bench/upload/run.sh BIN_DIR   (scripts/bench.sh upload passes the release bin)
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
repo="$(cd "$here/../.." && pwd)"
exec /usr/bin/python3 "$here/upload.py" "${1:-$repo/build/bin}" "$repo"

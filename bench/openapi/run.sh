#!/usr/bin/env bash
# Open API camera/state requests per second beside the control interface's status, and its
# latency while a slow Open API request holds the Open API's lock, in the same run.
# Usage: bench/openapi/run.sh BIN_DIR   (scripts/bench.sh openapi passes the release bin)
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
repo="$(cd "$here/../.." && pwd)"
exec /usr/bin/python3 "$here/openapi.py" "${1:-$repo/build/bin}" "$repo"

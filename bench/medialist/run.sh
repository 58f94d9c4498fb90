#!/usr/bin/env bash
# Time of /zq/zqMediaList beside `find` over the same card, and the daemon's peak RSS.
# Usage: bench/medialist/run.sh BIN_DIR   (scripts/bench.sh medialist passes the release bin)
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
repo="$(cd "$here/../.." && pwd)"
exec /usr/bin/python3 "$here/medialist.py" "${1:-$repo/build/bin}"

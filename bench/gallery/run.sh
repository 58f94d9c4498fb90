#!/usr/bin/env bash
# How soon the camera's page shows the first screenful of a 1,000-file card's thumbnails in
# headless Chromium, and how many requests it made, beside a script fetching the same.
# Usage: bench/gallery/run.sh BIN_DIR   (scripts/bench.sh gallery passes the release bin)
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
repo="$(cd "$here/../.." && pwd)"
exec /usr/bin/python3 "$here/gallery.py" "${1:-$repo/build/bin}"

#!/usr/bin/env bash
# Requests per second of the metadata route (thumbnails, screennails, EXIF JSON) at 8
# connections beside nginx serving the same answers as static files, and the daemon's RSS.
# Usage: bench/metadata/run.sh BIN_DIR   (scripts/bench.sh metadata passes the release bin)
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
repo="$(cd "$here/../.." && pwd)"
exec /usr/bin/python3 "$here/metadata.py" "${1:-$repo/build/bin}"

#!/usr/bin/env bash
# The soak run (see soak.py): 32 clients for ZQ_SOAK_SECONDS (default 600) against the daemon
# and the simulated camera, with a table of answers, latency and the daemon's resources.
# Usage: bench/soak/run.sh [BIN_DIR [soak.py options]]   (scripts/bench.sh soak passes the
# release bin). The camera root goes below build-soak/ in the checkout, on a disk filesystem
# as the card is on the camera (O_DIRECT reads).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
repo="$(cd "$here/../.." && pwd)"
bin="${1:-$repo/build/bin}"
shift || true
mkdir -p "$repo/build-soak"
exec /usr/bin/python3 "$here/soak.py" "$bin" --work "$repo/build-soak" "$@"

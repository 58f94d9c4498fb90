#!/usr/bin/env bash
# The daemon's stripped size and resident memory, idle and during a download, on x86-64 (the
# release build) beside the camera's 32-bit ARM (the armhf build, under qemu-user).
# Usage: bench/footprint/run.sh [X86_BIN_DIR [ARMHF_BIN_DIR]]   (scripts/bench.sh footprint)
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
repo="$(cd "$here/../.." && pwd)"
# The test file must sit on a disk filesystem (O_DIRECT), so it goes below the checkout.
exec /usr/bin/python3 "$here/footprint.py" "${1:-$repo/build/bin}" "${2:-$repo/build-armhf/bin}" "$repo"

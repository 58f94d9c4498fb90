#!/usr/bin/env bash
# An ordinary client's wait while idle, dribbling or slow-reading clients hold the server: the
# daemon beside stock civetweb and nginx, and the daemon's return to idle after each scenario.
# Usage: bench/hostile/run.sh [BIN_DIR [SERVER [SCENARIO]]]   (scripts/bench.sh hostile passes
# the release bin; SERVER limits the run to one of zqHTTPServer, civetweb, nginx, or "all";
# SCENARIO to the scenarios whose name contains it)
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
repo="$(cd "$here/../.." && pwd)"
exec /usr/bin/python3 "$here/hostile.py" "${1:-$repo/build/bin}" "${@:2}"

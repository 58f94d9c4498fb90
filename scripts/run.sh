#!/usr/bin/env bash
# Installs and builds everything, makes a sample SD card, then runs the simulated camera and
# the daemon on unprivileged ports until Ctrl-C:
#   http://127.0.0.1:8080/   the camera's USB (internal) port: every route and download
#   port 8081                its public Wi-Fi port (clients from other machines)
# Override with ZQ_ROOT (where the camera's files live, default ./run-root) and
# ZQ_LISTENING_PORTS ("public,internal,internal2,alternate").
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/setup.sh
cmake --preset debug >/dev/null
cmake --build --preset debug

export ZQ_ROOT="${ZQ_ROOT:-$PWD/run-root}"
export ZQ_LISTENING_PORTS="${ZQ_LISTENING_PORTS:-8081,8080,8001,8082}"
bin="$PWD/build/bin"

mkdir -p "$ZQ_ROOT"
cp -r platform/sim/image/. "$ZQ_ROOT/"
if [ ! -d "$ZQ_ROOT/tmp/fuse_d/DCIM" ]; then
  echo "Making a sample SD card in $ZQ_ROOT/tmp/fuse_d"
  "$bin/zqsim" card make "$ZQ_ROOT/tmp/fuse_d"
fi
"$bin/zqsim" reset

"$bin/zqsim" serve &
sim=$!
"$bin/zqHTTPServer" &
daemon=$!
stop() {
  kill -TERM "$daemon" "$sim" 2>/dev/null || true
  wait "$daemon" "$sim" 2>/dev/null || true
}
trap stop INT TERM

internal=$(echo "$ZQ_LISTENING_PORTS" | cut -d, -f2)
echo
echo "zqHTTPServer is serving the simulated camera on http://127.0.0.1:$internal/ (Ctrl-C stops)"
echo "Change the camera from another shell: ZQ_ROOT=$ZQ_ROOT $bin/zqsim status set 3 1"
wait "$daemon" || true
stop

#!/usr/bin/env bash
# Installs and builds the daemon (optimised), makes a sample SD card, then runs the simulated
# camera and the daemon on unprivileged ports until Ctrl-C:
#   http://127.0.0.1:8080/   the camera's USB (internal) port: the camera's page, every route
#                            and download
#   port 8081                its public Wi-Fi port (clients from other machines)
# Override with ZQ_ROOT (where the camera's files live, default ./run-root) and
# ZQ_LISTENING_PORTS ("public,internal,internal2,alternate"). With ZQ_BIN_DIR set, the
# binaries there are run as they are: nothing is installed or built (the tests do this); with
# ZQ_EMULATOR set too, they run through it (the ARM build's tests: qemu-user).
set -euo pipefail
cd "$(dirname "$0")/.."

if [ -z "${ZQ_BIN_DIR:-}" ]; then
  ./scripts/setup.sh
  cmake --preset release >/dev/null
  cmake --build --preset release --target zqHTTPServer zqsim zqmf_tool zqmp4
  ZQ_BIN_DIR="$PWD/build/bin"
fi
bin="$ZQ_BIN_DIR"
read -r -a emulator <<<"${ZQ_EMULATOR:-}"

export ZQ_ROOT="${ZQ_ROOT:-$PWD/run-root}"
export ZQ_LISTENING_PORTS="${ZQ_LISTENING_PORTS:-8081,8080,8001,8082}"

mkdir -p "$ZQ_ROOT/usr/local/tavro/www"
cp -r platform/sim/image/. "$ZQ_ROOT/"
cp -r www/. "$ZQ_ROOT/usr/local/tavro/www/"   # the camera's page, in the document root
if [ ! -d "$ZQ_ROOT/tmp/fuse_d/DCIM" ]; then
  echo "Making a sample SD card in $ZQ_ROOT/tmp/fuse_d"
  "${emulator[@]}" "$bin/zqsim" card make "$ZQ_ROOT/tmp/fuse_d"
fi
"${emulator[@]}" "$bin/zqsim" reset
"${emulator[@]}" "$bin/zqsim" stream install   # the streaming helpers' stand-in, below ZQ_ROOT

"${emulator[@]}" "$bin/zqsim" serve &
sim=$!
"${emulator[@]}" "$bin/zqHTTPServer" &
daemon=$!
stop() {
  kill -TERM "$daemon" "$sim" 2>/dev/null || true
  wait "$daemon" "$sim" 2>/dev/null || true
}
trap stop INT TERM

internal=$(echo "$ZQ_LISTENING_PORTS" | cut -d, -f2)
for _ in $(seq 100); do
  (exec 3<>"/dev/tcp/127.0.0.1/$internal") 2>/dev/null && break
  kill -0 "$daemon" 2>/dev/null || break
  sleep 0.1
done
echo
echo "zqHTTPServer is serving the simulated camera on http://127.0.0.1:$internal/ (Ctrl-C stops)"
echo "Change the camera from another shell: ZQ_ROOT=$ZQ_ROOT $bin/zqsim status set 3 1"
wait "$daemon" || true
stop

#!/usr/bin/env bash
# MP4 read benchmark: parse time and heap of the movie atom of 1-, 10- and 60-minute
# recordings (synthesised tables, sparse media data), and sample lookup rates by index and
# by time over their video and audio tracks; ffprobe opening the same files is measured
# beside zqmp4 in the same run.
#   bench/mp4read/run.sh RELEASE_BIN_DIR
set -euo pipefail
bin="${1:?usage: run.sh RELEASE_BIN_DIR}"
here="$(cd "$(dirname "$0")" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
python3 "$here/report.py" "$bin/zqmp4" "$here/synth.py" "$work"

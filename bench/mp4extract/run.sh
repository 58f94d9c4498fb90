#!/usr/bin/env bash
# MP4 extraction benchmark: zqmp4 extract (video only; all tracks) to a pipe, beside
# `cat IN > /dev/null` and ffmpeg's stream copy of the video, in the same run, on a
# 60-second 1080p H.264 + AAC + telemetry clip made with ffmpeg and on a long synthetic
# recording. Prints throughput, ratios to cat and to ffmpeg, time to first byte and peak
# RSS against the size of the movie atom.
#   bench/mp4extract/run.sh RELEASE_BIN_DIR
set -euo pipefail
bin="${1:?usage: run.sh RELEASE_BIN_DIR}"
here="$(cd "$(dirname "$0")" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
python3 "$here/report.py" "$bin/zqmp4" "$here/../mp4read/synth.py" "$work"

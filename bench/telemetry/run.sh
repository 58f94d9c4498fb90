#!/usr/bin/env bash
# Walk and scaled extraction of a one-hour recording's telemetry beside memchr over the same
# bytes; prints one table (MB/s and the ratio to memchr).
# Usage: bench/telemetry/run.sh BIN_DIR   (scripts/bench.sh telemetry passes the release bin)
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
bin="${1:-$here/../../build/bin}"
exec "$bin/zqmf_bench"

#!/usr/bin/env bash
# The long verification: checks that take too long for CI (./scripts/test.sh), run before a
# release or after a change to the platform, the build or the file layer. Run as root on
# Debian 12 (set-up steps install packages). Not run by CI.
#
#   ./scripts/long.sh            every phase, in the order below
#   ./scripts/long.sh armhf      only the named phases
#
# Each phase runs on even when an earlier one failed; at the end a table gives every phase's
# result, time and summary (the test count from its ctest run), and the exit status is non-zero
# when any phase failed. Each phase's full output is kept in build-long/NAME.log.
#
# A phase is a function `phase_NAME` listed in `phases`; it returns non-zero on failure and may
# print a line "summary: TEXT" for the table. To add one (ThreadSanitizer, long fuzz runs, a
# soak run), write its function and add its name to `phases`.
set -uo pipefail
cd "$(dirname "$0")/.."

phases=(armhf)

# ctest's closing count ("100% tests passed, 0 tests failed out of 523") as the summary line.
ctest_summary() {
  local log
  log=$(mktemp)
  ctest "$@" 2>&1 | tee "$log"
  local status=${PIPESTATUS[0]}
  echo "summary: $(grep -E 'tests passed|tests failed' "$log" | tail -1)"
  rm -f "$log"
  return "$status"
}

# The camera's own processor: the 32-bit ARM (armhf) cross build with Debian's cross toolchain,
# every unit and end-to-end test run on the ARM binaries under qemu-user (the past-4 GiB
# extraction and downloads among them).
phase_armhf() {
  ./scripts/setup-armhf.sh &&
    cmake --preset armhf >/dev/null &&
    cmake --build --preset armhf &&
    ctest_summary --preset armhf
}

selected=("$@")
[ ${#selected[@]} -gt 0 ] || selected=("${phases[@]}")
for name in "${selected[@]}"; do
  if ! declare -F "phase_$name" >/dev/null; then
    echo "long.sh: no phase \"$name\" (phases: ${phases[*]})" >&2
    exit 2
  fi
done

mkdir -p build-long
rows=()
failed=0
for name in "${selected[@]}"; do
  log="build-long/$name.log"
  echo "== $name (output in $log)"
  start=$SECONDS
  "phase_$name" >"$log" 2>&1
  status=$?
  seconds=$((SECONDS - start))
  summary=$(sed -n 's/^summary: //p' "$log" | tail -1)
  if [ "$status" -eq 0 ]; then result=pass; else result=FAIL; failed=1; tail -20 "$log"; fi
  rows+=("$(printf '%-12s %-6s %5d:%02d  %s' "$name" "$result" $((seconds / 60)) $((seconds % 60)) "$summary")")
done

echo
printf '%-12s %-6s %8s  %s\n' phase result time summary
for row in "${rows[@]}"; do echo "$row"; done
exit "$failed"

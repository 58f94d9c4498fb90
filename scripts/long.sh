#!/usr/bin/env bash
# The long verification: checks that take too long for CI (./scripts/test.sh), run before a
# release and after a change to concurrency, a parser, the platform, the build or the file
# layer. Run as root on Debian 12 (set-up steps install packages). Not run by CI.
#
#   ./scripts/long.sh              every phase, in the order below
#   ./scripts/long.sh tsan fuzz    only the named phases
#
# Phases: armhf (the ARM build's tests under emulation), tsan (every unit and end-to-end test
# under ThreadSanitizer), fuzz (each fuzz target for ZQ_LONG_FUZZ_SECONDS, default 600, from
# its committed corpus, which grows by what the run finds), soak (bench/soak for
# ZQ_SOAK_SECONDS, default 600, against the AddressSanitizer build), hostile (the hostile-client
# tests under AddressSanitizer and bench/hostile's scenarios), upload (ZQ_LONG_UPLOAD_ROUNDS,
# default 50, resumed uploads of a 100 MB firmware package).
#
# Each phase runs on even when an earlier one failed; at the end a table gives every phase's
# result, time and summary (the test count from its ctest run), and the exit status is non-zero
# when any phase failed. Each phase's full output is kept in build-long/NAME.log.
#
# A phase is a function `phase_NAME` listed in `phases`; it returns non-zero on failure and may
# print a line "summary: TEXT" for the table. To add one, write its function and add its name
# to `phases`.
set -uo pipefail
cd "$(dirname "$0")/.."

phases=(armhf tsan fuzz soak hostile upload)

# ctest's closing count ("100% tests passed, 0 tests failed out of 523") as the summary line,
# also left in ctest_count.
ctest_summary() {
  local log
  log=$(mktemp)
  ctest "$@" 2>&1 | tee "$log"
  local status=${PIPESTATUS[0]}
  ctest_count=$(grep -E 'tests passed|tests failed' "$log" | tail -1)
  echo "summary: $ctest_count"
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

# Every unit and end-to-end test under ThreadSanitizer: a race in a test or in a daemon the
# end-to-end tests start fails it (their fixtures look for the sanitizer's reports). Then two
# minutes of the soak run against the ThreadSanitizer daemon, whose 32 clients reach
# interleavings the tests do not.
phase_tsan() {
  cmake --preset tsan >/dev/null && cmake --build --preset tsan || return 1
  local tests soak
  ctest_summary --preset tsan
  tests=$?
  ./bench/soak/run.sh "$PWD/build-tsan/bin" --seconds "${ZQ_TSAN_SOAK_SECONDS:-120}" \
    >build-long/tsan-soak.table
  soak=$?
  tail -3 build-long/tsan-soak.table
  echo "summary: $ctest_count; soak $(tail -1 build-long/tsan-soak.table | sed 's/^soak: //')," \
    "$(grep -oE '^unexpected answers: [0-9]+' build-long/tsan-soak.table)"
  [ "$tests" -eq 0 ] && [ "$soak" -eq 0 ]
}

# Each fuzz target for ZQ_LONG_FUZZ_SECONDS from everything it starts from in CI (its build
# corpus, the committed corpus fuzz/corpus/TARGET, its seeds). Afterwards the inputs of up to
# 4 KiB that reach code (edges, not counts) the committed corpus does not are merged into it
# (libFuzzer's -merge=1): commit them. A crash, a leak or a time-out fails the phase; its input is kept as
# build-long/fuzz/TARGET-crash-... (or leak-, timeout-).
phase_fuzz() {
  local seconds=${ZQ_LONG_FUZZ_SECONDS:-600}
  cmake --preset asan >/dev/null && cmake --build --preset asan || return 1
  mkdir -p build-long/fuzz
  # Each target's command line as CTest would run it: program, options, corpus directories.
  local commands
  commands=$(ctest --preset fuzz --show-only=json-v1 | python3 -c '
import json, sys
for t in json.load(sys.stdin)["tests"]:
    print("\t".join(t["command"]))')
  local failed=0 targets=0 grown=0 name program
  while IFS=$'\t' read -r program rest; do
    name=$(basename "$program")
    local args=() dirs=()
    local a
    for a in $rest; do
      case "$a" in
        -max_total_time=*) args+=("-max_total_time=$seconds") ;;
        -seed=*) ;;  # the test run's fixed seed: a long run draws its own
        -*) args+=("$a") ;;
        *) dirs+=("$a") ;;
      esac
    done
    targets=$((targets + 1))
    echo "== $name: ${seconds} s from ${dirs[*]}"
    if ! "$program" "${args[@]}" -artifact_prefix="build-long/fuzz/$name-" "${dirs[@]}"; then
      echo "FAIL: $name"
      failed=$((failed + 1))
    fi
    # What the run found (it lands in the first directory) joins the committed corpus when it
    # covers something new.
    local found committed="fuzz/corpus/$name"
    found=$(mktemp -d)
    find "${dirs[0]}" -type f -size -5k -exec cp -t "$found" {} +
    mkdir -p "$committed"
    local before after
    before=$(find "$committed" -type f | wc -l)
    "$program" -merge=1 -use_counters=0 -timeout=10 -rss_limit_mb=2048 "$committed" "$found" \
      >/dev/null 2>&1
    after=$(find "$committed" -type f | wc -l)
    [ "$after" -gt 0 ] || rmdir "$committed"
    echo "$name: committed corpus $before -> $after inputs"
    grown=$((grown + after - before))
    rm -rf "$found"
  done <<<"$commands"
  echo "summary: $targets targets x ${seconds} s, $failed failed, $grown new inputs in fuzz/corpus"
  [ "$failed" -eq 0 ]
}

# The soak run (bench/soak) for ZQ_SOAK_SECONDS against the AddressSanitizer + UBSan build:
# no unexpected answer, flat descriptors, threads and queues, nothing left behind, and no
# sanitizer report from the daemon: its memory is judged by the leak checker at its exit (the
# sanitizer's allocator lets the RSS creep; the test command's soak of the optimised build
# judges the RSS). The quarantine of freed memory is kept to 16 MiB.
phase_soak() {
  local seconds=${ZQ_SOAK_SECONDS:-600}
  cmake --preset asan >/dev/null && cmake --build --preset asan || return 1
  ASAN_OPTIONS=${ASAN_OPTIONS:-quarantine_size_mb=16} \
    ./bench/soak/run.sh "$PWD/build-asan/bin" --seconds "$seconds" --sanitized-memory |
    tee build-long/soak.table
  local status=${PIPESTATUS[0]}
  local line
  line=$(grep -oE '^unexpected answers: [0-9]+' build-long/soak.table)
  echo "summary: ${seconds} s, $line, $(grep -c 'GROWS' build-long/soak.table) growing of" \
    "rss/fds/threads/queues, $(tail -1 build-long/soak.table)"
  return "$status"
}

# Hostile and slow clients: their end-to-end tests against the AddressSanitizer daemon, then
# bench/hostile's scenarios (idle, dribbling, kept-alive and slow-reading clients) against the
# optimised build beside the stock servers: an ordinary client's wait under each, and the
# daemon's return to idle after it.
phase_hostile() {
  cmake --preset asan >/dev/null && cmake --build --preset asan || return 1
  cmake --preset release >/dev/null && cmake --build --preset release || return 1
  bench/setup.sh >/dev/null || return 1
  ctest_summary --preset asan -R 'e2e.test_hostile' || return 1
  bench/hostile/run.sh "$PWD/build/bin" | tee build-long/hostile.table
}

# Firmware uploads that survive anything: ZQ_LONG_UPLOAD_ROUNDS seeded rounds, each sending a
# 100 MB package in pieces of random size over connections broken at random points (inside the
# closing delimiter too), resuming from the daemon's progress until the package is
# byte-identical.
phase_upload() {
  local rounds=${ZQ_LONG_UPLOAD_ROUNDS:-50}
  cmake --preset release >/dev/null && cmake --build --preset release || return 1
  local log
  log=$(mktemp)
  ZQ_BIN_DIR="$PWD/build/bin" ZQ_UPLOAD_ROUNDS=$rounds ZQ_UPLOAD_MB=100 \
    python3 -m pytest -q -p no:cacheprovider tests/e2e/test_firmware.py -k rounds 2>&1 | tee "$log"
  local status=${PIPESTATUS[0]}
  echo "summary: $rounds rounds of 100 MB: $(tail -1 "$log")"
  rm -f "$log"
  return "$status"
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

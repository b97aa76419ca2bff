#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The 32-bit probe and the test command's skip logic: a loader the kernel
# refuses (ENOEXEC) skips the i686 suites with the reason; anything else,
# including a probe that cannot run for another reason, skips nothing.
set -u
root="$(cd "$(dirname "$0")/../.." && pwd)"
work="$(mktemp -d "${TMPDIR:-/tmp}/suites-test.XXXXXX")"
trap 'rm -rf "$work"' EXIT
failures=0
expect() { # <what> <got> <pattern>
  # shellcheck disable=SC2053
  if [[ "$2" == $3 ]]; then echo "ok: $1"; else
    echo "FAILED: $1: got '$2'"
    failures=$((failures + 1))
  fi
}

# A fake loader the kernel refuses: binary bytes in no format it knows.
printf '\001\002\000\003garbage\000' >"$work/enoexec"
chmod +x "$work/enoexec"
printf '#!/bin/sh\nexit 0\n' >"$work/runs"
chmod +x "$work/runs"
printf '\001\002\000\003' >"$work/not-executable"

probe() { LUMO_I386_PROBE_PROGRAM="$1" bash "$root/scripts/i386-probe.sh"; }
expect "ENOEXEC means no, with the reason" "$(probe "$work/enoexec")" "no: *Exec format error*"
probe "$work/enoexec" >/dev/null
expect "ENOEXEC exits 1" "$?" "1"
expect "a program that runs means yes" "$(probe "$work/runs")" "yes"
expect "a probe refused for another reason skips nothing" "$(probe "$work/not-executable")" "yes (*Permission denied*)"

# The suites themselves, in a child shell each.
run_suites() { # <probe program>; prints the summary, status of the run
  (
    LUMO_I386_PROBE_PROGRAM="$1"
    export LUMO_I386_PROBE_PROGRAM
    # shellcheck source=../../scripts/suites.sh
    source "$root/scripts/suites.sh"
    suites_probe_i386
    suite "native" true
    suite_i386 "i686 unit tests" false
    suite "x86-64 unit tests" true
    suites_summary
  )
}
out="$(run_suites "$work/enoexec")"
status=$?
expect "without 32-bit execution the run passes" "$status" "0"
expect "the i686 suite is listed as skipped with the reason" "$out" "*== i686 unit tests: skipped: *Exec format error*"
expect "the last line counts passed, failed and skipped" "$(tail -n 1 <<<"$out")" "suites: 2 passed, 0 failed, 1 skipped"
out="$(run_suites "$work/runs")"
status=$?
expect "with 32-bit execution a failing i686 suite fails the run" "$status" "1"
expect "and is counted as failed, not skipped" "$(tail -n 1 <<<"$out")" "suites: 2 passed, 1 failed, 0 skipped"

[ "$failures" -eq 0 ] && echo "all passed" || echo "$failures failed"
[ "$failures" -eq 0 ]

#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The 32-bit probe, the i386 runner and the test command's skip logic: a
# loader the kernel refuses (ENOEXEC) sends the i686 suites through qemu, and
# skips them with both reasons only where qemu cannot be had; the processor
# models are skipped with the reason wherever qemu is missing. Anything else,
# including a probe that cannot run for another reason, skips nothing. The
# arm64 suites are skipped with the reason where qemu-aarch64 is missing.
#
# usage: test_suites.sh
# Strict mode, yet a failed case deliberately does not end the run: each is
# counted and the last line decides the exit status.
set -euo pipefail
case "${1:-}" in -h | --help) echo "usage: test_suites.sh" && exit 0 ;; esac
# The routes are chosen here, whatever the calling test run forces.
unset LUMO_I386_VIA_QEMU
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
status=0
probe "$work/enoexec" >/dev/null || status=$?
expect "ENOEXEC exits 1" "$status" "1"
expect "a program that runs means yes" "$(probe "$work/runs")" "yes"
expect "a probe refused for another reason skips nothing" "$(probe "$work/not-executable")" "yes (*Permission denied*)"

# The suites themselves, in a shell of their own each, without qemu, in
# strict mode as the test command runs them (a shell of its own, since -e
# is ignored in any shell started where a failure is tested for).
run_suites() { # <probe program>; prints the summary, status of the run
  LUMO_I386_PROBE_PROGRAM="$1" LUMO_QEMU_I386="$work/no-qemu" bash -c '
    set -euo pipefail
    source "$1/scripts/suites.sh"
    suites_probe_i386
    suite "native" true
    suite_i386 "i686 unit tests" false
    suite_model pentium2 - -
    suite "x86-64 unit tests" true
    suites_summary' _ "$root"
}
status=0
out="$(run_suites "$work/enoexec")" || status=$?
expect "without 32-bit execution or qemu the run passes" "$status" "0"
expect "the i686 suite is listed as skipped with both reasons" "$out" \
  "*== i686 unit tests: skipped: *Exec format error*qemu-i386 8 or later is not installed*"
expect "the model run is skipped with the reason" "$out" "*== processor model pentium2 *: skipped: qemu-i386 8*"
expect "the last line counts passed, failed and skipped" "$(tail -n 1 <<<"$out")" "suites: 2 passed, 0 failed, 2 skipped"
status=0
out="$(run_suites "$work/runs")" || status=$?
expect "with 32-bit execution a failing i686 suite fails the run" "$status" "1"
expect "and is counted as failed, not skipped" "$(tail -n 1 <<<"$out")" "suites: 2 passed, 1 failed, 1 skipped"

# The qemu route itself, where this host has qemu 8 or later.
run() { bash "$root/scripts/i386-run.sh" "$@"; }
if [ "$(run --check --qemu | cut -c1-4)" = "yes:" ]; then
  expect "a host without 32-bit execution runs i386 programs through qemu" \
    "$(LUMO_I386_PROBE_PROGRAM="$work/enoexec" run --check)" "yes: through qemu-i386 *"
  expect "i386 programs run in the namespace" "$(run --qemu bash "$root/scripts/i386-probe.sh")" "yes"
  # qemu refuses a model it does not know: the probe ran under qemu.
  expect "and under qemu, not the host" "$(QEMU_CPU=no-such-model run --qemu bash "$root/scripts/i386-probe.sh")" \
    "yes (the probe ended with status 1*"
  status=0
  run --qemu sh -c 'exit 3' || status=$?
  expect "the command's exit status comes back" "$status" "3"
else
  echo "skipped: the qemu route, for want of qemu-i386 8 or later or a private binfmt_misc here"
fi

# The arm64 suites: without qemu-aarch64 each is skipped with the reason,
# never run and failed; with it the runner's route works and hands back the
# command's status.
status=0
out="$(LUMO_QEMU_AARCH64="$work/no-qemu" bash -c '
  set -euo pipefail
  source "$1/scripts/suites.sh"
  suites_probe_arm64
  suite_arm64 "arm64 unit tests" false
  suites_summary' _ "$root")" || status=$?
expect "without qemu-aarch64 the arm64 suites leave the run passing" "$status" "0"
expect "and are skipped with a reason" "$out" "*== arm64 unit tests: skipped: ?*"
expect "and counted as skipped" "$(tail -n 1 <<<"$out")" "suites: 0 passed, 0 failed, 1 skipped"
if [ "$(bash "$root/scripts/arm64-run.sh" --check | cut -c1-4)" = "yes:" ]; then
  status=0
  bash "$root/scripts/arm64-run.sh" sh -c 'exit 3' || status=$?
  expect "the arm64 runner hands back the command's exit status" "$status" "3"
else
  echo "skipped: the arm64 route: $(bash "$root/scripts/arm64-run.sh" --check)"
fi

[ "$failures" -eq 0 ] && echo "all passed" || echo "$failures failed"
[ "$failures" -eq 0 ]

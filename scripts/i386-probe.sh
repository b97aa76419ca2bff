#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Does this host execute 32-bit x86 code? Runs a few bytes of static i386
# ELF that only exits, and prints one line:
#   "yes"                  it ran;
#   "no: <reason>"         the kernel refused its format (ENOEXEC), as where
#                          ia32 emulation is off; exit status 1;
#   "yes (<note>)"         anything else: the probe could not settle it, so
#                          nothing is skipped and real failures stay visible.
# LUMO_I386_PROBE_PROGRAM names another program to run instead (for tests).
#
# usage: i386-probe.sh
set -euo pipefail
case "${1:-}" in -h | --help) echo "usage: i386-probe.sh" && exit 0 ;; esac
export LC_ALL=C
work="$(mktemp -d "${TMPDIR:-/tmp}/lumo-i386-probe.XXXXXX")" || {
  echo "yes (no scratch folder for the probe)"
  exit 0
}
trap 'rm -rf "$work"' EXIT
program="${LUMO_I386_PROBE_PROGRAM:-}"
if [ -z "$program" ]; then
  program="$work/exit0"
  # ELF header, one PT_LOAD program header, then: xor ebx,ebx; mov eax,1; int 0x80.
  printf '\177ELF\001\001\001\000\000\000\000\000\000\000\000\000' >"$program"
  printf '\002\000\003\000\001\000\000\000\124\200\004\010\064\000\000\000' >>"$program"
  printf '\000\000\000\000\000\000\000\000\064\000\040\000\001\000\000\000' >>"$program"
  printf '\000\000\000\000' >>"$program"
  printf '\001\000\000\000\000\000\000\000\000\200\004\010\000\200\004\010' >>"$program"
  printf '\135\000\000\000\135\000\000\000\005\000\000\000\000\020\000\000' >>"$program"
  printf '\061\333\270\001\000\000\000\315\200' >>"$program"
  chmod +x "$program"
fi
status=0
"$program" >"$work/out" 2>"$work/err" || status=$?
if [ "$status" -eq 0 ]; then
  echo "yes"
  exit 0
fi
# bash reports a refused exec with status 126 and the system's message.
if [ "$status" -eq 126 ] && grep -q "Exec format error" "$work/err"; then
  echo "no: this host executes no 32-bit x86 code (Exec format error; its kernel's ia32 emulation is off)"
  exit 1
fi
echo "yes (the probe ended with status $status: $(head -c 200 "$work/err" | tr '\n' ' '))"
exit 0

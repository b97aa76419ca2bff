#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs a command where arm64 (aarch64) Linux programs execute: directly on an
# aarch64 host, and elsewhere inside a private user and mount namespace in
# which binfmt_misc hands every aarch64 ELF program to qemu-aarch64, so that
# scripts start the programs (and the programs each other) as on ARM. The
# registration needs no root and is gone when the command ends.
#
# usage: arm64-run.sh [--] <command> [args...]
#        arm64-run.sh --check
#
#   --check    prints how arm64 programs would run, one line: "yes: <how>" or
#              "no: <reason>" (exit status 1), after running a real aarch64
#              program that way
#
# qemu finds the arm64 loader and libraries under LUMO_AARCH64_SYSROOT
# (default /, where multiarch installs them beside the host's). The exit
# status is the command's; 125 when the route itself fails.
# LUMO_QEMU_AARCH64 names the qemu-aarch64 to use (default: the one on PATH).
set -euo pipefail
usage="usage: arm64-run.sh [--] <command> [args...] | --check"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
self="$here/$(basename "${BASH_SOURCE[0]}")"
# shellcheck source=binfmt.sh
source "$here/binfmt.sh"

inside=0
check=0
while [ $# -gt 0 ]; do
  case "$1" in
    --inside) inside=1 ;;
    --check) check=1 ;;
    -h | --help)
      echo "$usage"
      exit 0
      ;;
    --) shift && break ;;
    *) break ;;
  esac
  shift
done
if [ "$check" -eq 0 ] && [ $# -eq 0 ]; then
  echo "$usage" >&2
  exit 125
fi

# qemu reads its prefix from here also when binfmt_misc starts it.
export QEMU_LD_PREFIX="${LUMO_AARCH64_SYSROOT:-/}"

refuse() {
  if [ "$check" -eq 1 ]; then
    echo "no: $1"
    exit 1
  fi
  echo "arm64-run: arm64 programs cannot run here: $1" >&2
  exit 125
}

# probe: a few bytes of static aarch64 ELF that only exits with status 0
# (mov x0, #0; mov x8, #93 (exit); svc #0); status 0 when it ran.
probe() {
  local program="$1/exit0"
  {
    printf '\x7fELF\x02\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\xb7\x00\x01\x00\x00\x00'
    printf '\x78\x00\x40\x00\x00\x00\x00\x00\x40\x00\x00\x00\x00\x00\x00\x00'
    printf '\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x40\x00\x38\x00\x01\x00\x00\x00\x00\x00\x00\x00'
    printf '\x01\x00\x00\x00\x05\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00'
    printf '\x00\x00\x40\x00\x00\x00\x00\x00\x00\x00\x40\x00\x00\x00\x00\x00'
    printf '\x84\x00\x00\x00\x00\x00\x00\x00\x84\x00\x00\x00\x00\x00\x00\x00\x00\x10\x00\x00\x00\x00\x00\x00'
    printf '\x00\x00\x80\xd2\xa8\x0b\x80\xd2\x01\x00\x00\xd4'
  } >"$program"
  chmod +x "$program"
  "$program" 2>/dev/null
}

qemu_version() { "$1" --version 2>/dev/null | sed -n 's/^qemu-aarch64 version \([^ ]*\).*/\1/p'; }

# run: the command in the background, waited for, so that a TERM (a time
# limit running out) ends it at once; its standard input is therefore empty.
run() {
  "$@" &
  child=$!
  trap 'kill -TERM "$child" 2>/dev/null || true; wait "$child" || true; exit 143' TERM INT
  local status=0
  wait "$child" || status=$?
  trap - TERM INT
  return "$status"
}

# A scratch folder for the probe and the registration, in the process that
# runs the command (not in one that execs into the namespace).
if [ "$(uname -m)" = aarch64 ] || [ "$inside" -eq 1 ]; then
  work="$(mktemp -d "${TMPDIR:-/tmp}/lumo-arm64-run.XXXXXX")" || exit 125
  trap 'rm -rf "$work"' EXIT
fi

if [ "$(uname -m)" = aarch64 ]; then
  if [ "$check" -eq 1 ]; then
    probe "$work" || refuse "this aarch64 host did not run a static aarch64 program"
    echo "yes: this host runs aarch64 code itself"
    exit 0
  fi
  run "$@"
  exit $?
fi

interpreter="${LUMO_QEMU_AARCH64:-$(command -v qemu-aarch64 2>/dev/null || true)}"
if [ "$inside" -eq 1 ]; then
  error="$(binfmt_register aarch64 "$interpreter" "$work")" || refuse "$error"
  if [ "$check" -eq 1 ]; then
    probe "$work" || refuse "qemu-aarch64 $(qemu_version "$interpreter") is registered, but a static aarch64 program did not run"
    echo "yes: through qemu-aarch64 $(qemu_version "$interpreter") in a private namespace, libraries under $QEMU_LD_PREFIX"
    exit 0
  fi
  run "$@"
  exit $?
fi

if [ -z "$interpreter" ] || [ ! -x "$interpreter" ]; then
  refuse "qemu-aarch64 is not installed (scripts/install-qemu.sh adds qemu-user)"
fi
[ -e "$QEMU_LD_PREFIX/lib/ld-linux-aarch64.so.1" ] ||
  refuse "no arm64 C library under $QEMU_LD_PREFIX (scripts/install-arm64.sh installs it through multiarch)"
error="$(unshare --user --map-root-user --mount --propagation private true 2>&1)" ||
  refuse "user namespaces are refused here ($error)"
options=(--inside)
[ "$check" -eq 1 ] && options+=(--check)
exec unshare --user --map-root-user --mount --propagation private -- bash "$self" "${options[@]}" -- "$@"

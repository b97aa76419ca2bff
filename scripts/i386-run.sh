#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs a command where i386 programs execute: directly on a host whose kernel
# runs 32-bit x86 code, and elsewhere inside a private user and mount
# namespace in which binfmt_misc hands every i386 ELF program to qemu-i386.
# That registration needs no root and is gone when the command ends; the rest
# of the machine sees nothing of it.
#
# usage: i386-run.sh [--qemu] [--prefix <wine prefix>] [--] <command> [args...]
#        i386-run.sh --check [--qemu]
#
#   --qemu     use qemu even where the host runs 32-bit code (the processor
#              models, QEMU_CPU, need it); LUMO_I386_VIA_QEMU=1 does the same
#              for every run
#   --prefix   the Wine prefix the command uses (exported as LUMO_WINEPREFIX
#              for scripts/wine-run.sh); its Wine server is ended before the
#              namespace closes, so none outlives the registration it needs
#   --check    prints how i386 programs would run, one line: "yes: <how>" or
#              "no: <reason>" (exit status 1), after trying the whole route
#
# The exit status is the command's; 125 when the route itself fails. The
# command's standard input is empty.
# LUMO_QEMU_I386 names the qemu-i386 to use (default: the one on PATH).
set -euo pipefail
usage="usage: i386-run.sh [--qemu] [--prefix <wine prefix>] [--] <command> [args...] | --check [--qemu]"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
self="$here/$(basename "${BASH_SOURCE[0]}")"
# shellcheck source=binfmt.sh
source "$here/binfmt.sh"

inside=0
check=0
qemu="${LUMO_I386_VIA_QEMU:-0}"
[ "$qemu" = 1 ] || qemu=0
prefix=""
while [ $# -gt 0 ]; do
  case "$1" in
    --inside) inside=1 ;;
    --check) check=1 ;;
    --qemu) qemu=1 ;;
    --prefix)
      prefix="$(realpath -m "${2:?--prefix needs a folder}")"
      shift
      ;;
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

# qemu_path: the qemu-i386 to register, when it is version 8 or later
# (Debian 12's 7.2 ignores MAP_FIXED_NOREPLACE and Wine cannot start on it).
qemu_path() {
  local path version
  path="${LUMO_QEMU_I386:-$(command -v qemu-i386 2>/dev/null || true)}"
  [ -n "$path" ] && [ -x "$path" ] || return 1
  version="$("$path" --version 2>/dev/null | sed -n 's/^qemu-i386 version \([0-9][0-9]*\)\..*/\1/p')" || true
  [ -n "$version" ] && [ "$version" -ge 8 ] || return 1
  echo "$path"
}

# refuse <reason>: the route cannot be taken. --check says so on standard
# output, a run on standard error.
refuse() {
  if [ "$check" -eq 1 ]; then
    echo "no: $1"
    exit 1
  fi
  echo "i386-run: i386 programs cannot run here: $1" >&2
  exit 125
}

qemu_version() { "$1" --version 2>/dev/null | sed -n 's/^qemu-i386 version \([^ ]*\).*/\1/p'; }

# end_wine_server: the prefix's server, ended and waited for.
end_wine_server() {
  [ -n "$prefix" ] || return 0
  bash "$here/wine-end.sh" "$prefix"
}

# run_command: the command with the prefix exported, then its server ended.
# The command runs in the background and is waited for, so that a TERM (a
# time limit running out) ends it and the prefix's Wine processes at once,
# rather than leaving them behind; its standard input is therefore empty.
run_command() {
  if [ -n "$prefix" ]; then export LUMO_WINEPREFIX="$prefix"; fi
  "$@" &
  child=$!
  trap 'kill -TERM "$child" 2>/dev/null || true; wait "$child" || true; end_wine_server; exit 143' TERM INT
  local status=0
  wait "$child" || status=$?
  trap - TERM INT
  end_wine_server
  return "$status"
}

if [ "$inside" -eq 1 ]; then
  # In the private namespace: a fresh binfmt_misc, qemu registered in it.
  interpreter="$(qemu_path)" || refuse "qemu-i386 8 or later is gone"
  work="$(mktemp -d "${TMPDIR:-/tmp}/lumo-i386-run.XXXXXX")" || exit 125
  trap 'rm -rf "$work"' EXIT
  error="$(binfmt_register i386 "$interpreter" "$work")" || refuse "$error"
  if [ "$check" -eq 1 ]; then
    # The probe's own i386 program: only a real one proves the registration.
    answer="$(env -u LUMO_I386_PROBE_PROGRAM bash "$here/i386-probe.sh")" || true
    [ "$answer" = yes ] || refuse "qemu-i386 $(qemu_version "$interpreter") is registered, but the probe says: $answer"
    echo "yes: through qemu-i386 $(qemu_version "$interpreter") in a private namespace"
    exit 0
  fi
  run_command "$@"
  exit $?
fi

why=""
if [ "$qemu" -eq 0 ]; then
  # Its status says what its answer does.
  answer="$(bash "$here/i386-probe.sh")" || true
  if [ "${answer%%:*}" != no ]; then
    if [ "$check" -eq 1 ]; then
      echo "yes: this host runs 32-bit x86 code itself"
      exit 0
    fi
    run_command "$@"
    exit $?
  fi
  why="${answer#no: }"
fi

qemu_path >/dev/null ||
  refuse "${why:+$why, and }qemu-i386 8 or later is not installed (scripts/install-qemu.sh adds it from the Debian release's backports suite)"
error="$(unshare --user --map-root-user --mount --propagation private true 2>&1)" ||
  refuse "${why:+$why, and }user namespaces are refused here ($error)"
options=(--inside)
[ "$check" -eq 1 ] && options+=(--check)
[ -n "$prefix" ] && options+=(--prefix "$prefix")
exec unshare --user --map-root-user --mount --propagation private -- bash "$self" "${options[@]}" -- "$@"

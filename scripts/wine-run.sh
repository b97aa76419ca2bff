#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs a Windows program under Wine with a private prefix, and under a
# virtual X server of its own (scripts/xvfb.sh) when no display is there. The
# exit code is the program's.
#
# usage: wine-run.sh <program.exe> [arguments...]
# The prefix is LUMO_WINEPREFIX, by default build/wineprefix-<win32|win64>
# in this tree.
#
# The loader follows the program's machine type: PE32+ x86-64 programs run
# under Wine's 64-bit loader in a win64 prefix, i386 ones under the 32-bit
# loader in a win32 prefix. Debian's `wine` command always tries the 32-bit
# loader first, which a host without 32-bit execution cannot start.
set -euo pipefail
usage="usage: wine-run.sh <program.exe> [arguments...]"
case "${1:-}" in -h | --help) echo "$usage" && exit 0 ;; esac
program="${1:?$usage}"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

# The COFF machine field of the PE header: 0x8664 x86-64, 0x14c i386.
machine=""
if [ -f "$program" ]; then
  pe_offset=$(od -An -tu4 -j60 -N4 "$program" 2>/dev/null | tr -d ' ') || true
  if [ -n "$pe_offset" ]; then
    machine=$(od -An -tx2 -j$((pe_offset + 4)) -N2 "$program" 2>/dev/null | tr -d ' ') || true
  fi
fi
wine_lib="${LUMO_WINE_LIBDIR:-/usr/lib/wine}"
case "$machine" in
  8664)
    arch=win64
    loader="$wine_lib/wine64"
    ;;
  *)
    arch=win32
    loader="$wine_lib/wine"
    ;;
esac
if [ ! -x "$loader" ]; then
  echo "wine-run: no Wine loader at $loader for this $arch program" >&2
  exit 127
fi

prefix="${LUMO_WINEPREFIX:-$(dirname "$here")/build/wineprefix-$arch}"
export WINEPREFIX="$prefix"
export WINEARCH="$arch"
export WINELOADER="$loader"
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko prompts: nothing here needs them.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
mkdir -p "$(dirname "$prefix")"
(
  flock 9
  if [ ! -f "$prefix/system.reg" ]; then
    # Wine's own answers are not relied on here: a prefix that could not be
    # made fails the program's run, which tells why.
    "$loader" wineboot -i >/dev/null 2>&1 || true
    # A crash prints its backtrace and ends the program, instead of waiting
    # on a dialog that nobody on a virtual display will close.
    "$loader" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1 || true
    wineserver -w || true
  fi
) 9>"$prefix.lock"
if [ -z "${DISPLAY:-}" ]; then
  exec bash "$here/xvfb.sh" "$loader" "$@"
fi
exec "$loader" "$@"

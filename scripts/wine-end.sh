#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Ends a prefix's Wine server and waits for it to be gone, so that the next
# program starts on a server of its own (on this display, in this
# namespace). No server running is what is wanted, too.
#
# usage: wine-end.sh <prefix>
set -euo pipefail
usage="usage: wine-end.sh <prefix>"
case "${1:-}" in -h | --help) echo "$usage" && exit 0 ;; esac
prefix="${1:?$usage}"
WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true
WINEPREFIX="$prefix" timeout 60 wineserver -w >/dev/null 2>&1 || true

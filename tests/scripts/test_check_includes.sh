#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The include-circle check on small trees of its own: a .cpp and its .h count
# as one file, so X.cpp -> Y.h and Y.cpp -> X.h is a circle, found across
# folders too, and one of three files; and then the repository itself.
#
# usage: test_check_includes.sh
# Strict mode, yet a failed case deliberately does not end the run: each is
# counted and the last line decides the exit status.
set -euo pipefail
case "${1:-}" in -h | --help) echo "usage: test_check_includes.sh" && exit 0 ;; esac
root="$(cd "$(dirname "$0")/../.." && pwd)"
check="$root/scripts/check_includes.py"
work="$(mktemp -d "${TMPDIR:-/tmp}/includes-test.XXXXXX")"
trap 'rm -rf "$work"' EXIT
failures=0
expect() { # <what> <expected status> <tree>
  local got=0
  python3 "$check" "$3" >"$work/out" 2>&1 || got=$?
  if [ "$got" -eq "$2" ]; then echo "ok: $1"; else
    echo "FAILED: $1: status $got"
    cat "$work/out"
    failures=$((failures + 1))
  fi
}
file() { mkdir -p "$(dirname "$1")" && printf '%s\n' "${@:2}" >"$1"; }

file "$work/pair/graphics/X.h" '#pragma once'
file "$work/pair/graphics/X.cpp" '#include "X.h"' '#include "kernels/Y.h"'
file "$work/pair/graphics/kernels/Y.h" '#pragma once'
expect "a kernel below its user is no circle" 0 "$work/pair"
file "$work/pair/graphics/kernels/Y.cpp" '#include "kernels/Y.h"' '#include "X.h"'
expect "X.cpp -> Y.h and Y.cpp -> X.h is a circle" 1 "$work/pair"

file "$work/trio/platform/user/Windows.cpp" '#include "user/MessageQueue.h"'
file "$work/trio/platform/user/MessageQueue.cpp" '#include "user/Painting.h"'
file "$work/trio/platform/user/Painting.cpp" '#include "user/Windows.h"'
for name in Windows MessageQueue Painting; do file "$work/trio/platform/user/$name.h" '#pragma once'; done
expect "a circle of three files through their headers" 1 "$work/trio"

expect "the repository has no circles" 0 "$root"
[ "$failures" -eq 0 ]

#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# install-deps.sh's sets: no package is listed in two of them, and on a bare
# machine the first look (demos and screenshots) asks apt for no tool of the
# Windows, web or test kit, adds no architecture and runs no npm. apt-get,
# dpkg, dpkg-query, npm and sudo are stand-ins that record what they were
# asked, so nothing is installed.
#
# usage: test_install_sets.sh
set -euo pipefail
case "${1:-}" in -h | --help) echo "usage: test_install_sets.sh" && exit 0 ;; esac
root="$(cd "$(dirname "$0")/../.." && pwd)"
work="$(mktemp -d "${TMPDIR:-/tmp}/install-sets-test.XXXXXX")"
trap 'rm -rf "$work"' EXIT
failures=0
check() { # <what> <command...>
  if "${@:2}"; then echo "ok: $1"; else
    echo "FAILED: $1"
    failures=$((failures + 1))
  fi
}

twice="$(bash "$root/scripts/install-deps.sh" --list | sort | uniq -d)"
check "no package is in two sets${twice:+ (twice: $twice)}" test -z "$twice"
status=0
bash "$root/scripts/install-deps.sh" --list nosuchset >/dev/null 2>&1 || status=$?
check "an unknown set exits 2" test "$status" -eq 2

# A machine with nothing installed: every question about a package says no.
mkdir "$work/bin"
for tool in apt-get dpkg npm; do
  printf '#!/bin/sh\necho "%s $*" >>"%s/asked"\n' "$tool" "$work" >"$work/bin/$tool"
done
printf '#!/bin/sh\nexit 1\n' >"$work/bin/dpkg-query"
printf '#!/bin/sh\nexec "$@"\n' >"$work/bin/sudo"
chmod +x "$work/bin/"*
PATH="$work/bin:$PATH" bash "$root/scripts/install-deps.sh" demos screenshots >"$work/out" 2>&1 || {
  cat "$work/out"
  failures=$((failures + 1))
}
asked="$(cat "$work/asked" 2>/dev/null || true)"
check "the demos' packages are asked for" grep -q 'apt-get install .*libsdl2-dev.*xvfb' <<<"$asked"
check "no Wine, MinGW-w64, emscripten, chromium, qemu or lintian package" \
  bash -c '! grep -Eq "wine|mingw|emscripten|chromium|qemu|lintian" <<<"$1"' _ "$asked"
check "no architecture added" bash -c '! grep -q -- "--add-architecture" <<<"$1"' _ "$asked"
check "no npm" bash -c '! grep -q "^npm" <<<"$1"' _ "$asked"

[ "$failures" -eq 0 ] || { echo "$failures failed"; exit 1; }

#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# install-deps.sh's sets: no package is listed in two of them, and on a bare
# machine the first look (demos and screenshots) asks apt for no tool of the
# Windows, web or test kit, adds no architecture and runs no npm. apt-get,
# dpkg, dpkg-query, npm and sudo are stand-ins that record what they were
# asked, so nothing is installed. An apt-get update that fails, as it does
# while a mirror syncs, is tried again before the install.
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
for tool in dpkg npm; do
  printf '#!/bin/sh\necho "%s $*" >>"%s/asked"\n' "$tool" "$work" >"$work/bin/$tool"
done
# The first update fails, as it does while a mirror syncs.
printf '#!/bin/sh\necho "apt-get $*" >>"%s/asked"\ncase "$*" in *update*) [ -e "%s/synced" ] || { touch "%s/synced"; exit 100; } ;; esac\n' \
  "$work" "$work" "$work" >"$work/bin/apt-get"
printf '#!/bin/sh\nexit 1\n' >"$work/bin/dpkg-query"
printf '#!/bin/sh\nexec "$@"\n' >"$work/bin/sudo"
chmod +x "$work/bin/"*
LUMO_APT_WAITS=0 PATH="$work/bin:$PATH" bash "$root/scripts/install-deps.sh" demos screenshots >"$work/out" 2>&1 || {
  cat "$work/out"
  failures=$((failures + 1))
}
asked="$(cat "$work/asked" 2>/dev/null || true)"
check "the demos' packages are asked for" grep -q 'apt-get .* install .*libsdl2-dev.*xvfb' <<<"$asked"
check "no Wine, MinGW-w64, emscripten, chromium, qemu or lintian package" \
  bash -c '! grep -Eq "wine|mingw|emscripten|chromium|qemu|lintian" <<<"$1"' _ "$asked"
check "a failed update is tried again" test "$(grep -c '^apt-get .*update' <<<"$asked")" -eq 2
check "no architecture added" bash -c '! grep -q -- "--add-architecture" <<<"$1"' _ "$asked"
check "no npm" bash -c '! grep -q "^npm" <<<"$1"' _ "$asked"

# Every package installed, some for two architectures, and no i386 yet: the
# architecture is added, and apt is not asked to fetch anything.
rm -f "$work/asked"
printf '#!/bin/sh\nprintf "install ok installed\\ninstall ok installed\\n"\n' >"$work/bin/dpkg-query"
PATH="$work/bin:$PATH" bash "$root/scripts/install-deps.sh" windows >"$work/out" 2>&1 || {
  cat "$work/out"
  failures=$((failures + 1))
}
asked="$(cat "$work/asked" 2>/dev/null || true)"
check "i386 added" grep -q -- "--add-architecture i386" <<<"$asked"
check "nothing fetched when nothing is missing" bash -c '! grep -q "^apt-get" <<<"$1"' _ "$asked"

[ "$failures" -eq 0 ] || { echo "$failures failed"; exit 1; }

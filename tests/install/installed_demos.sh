#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The demos as a user gets them from `cmake --install`: installs the "demos"
# component into a scratch prefix, moves the prefix elsewhere (nothing may
# point back at the build tree or the first prefix), checks the layout and
# the desktop entries, then runs the installed programs with
# run_installed.sh: twistview's first picture and fumes' smoke on a private
# virtual display, each ended with Escape.
#
# usage: installed_demos.sh <native-build-dir> <scratch-dir>
# Exits 77 (skipped) when Xvfb, xdotool or ImageMagick is missing.
#
# Strict mode, yet a failed check deliberately does not end the run: each is
# counted (ok, bad) and the summary at the end decides the exit status.
set -euo pipefail
usage="usage: installed_demos.sh <native-build-dir> <scratch-dir>"
case "${1:-}" in -h | --help) echo "$usage" && exit 0 ;; esac
build="$(cd "${1:?$usage}" && pwd)"
scratch="${2:?$usage}"
root="$(cd "$(dirname "$0")/../.." && pwd)"

for tool in Xvfb xdotool import convert python3 nm; do
  command -v "$tool" >/dev/null || { echo "installed_demos: no $tool, skipped"; exit 77; }
done

rm -rf "$scratch"
mkdir -p "$scratch"
scratch="$(cd "$scratch" && pwd)"
failures=0
ok() { echo "  ok: $*"; }
bad() {
  echo "  FAIL: $*"
  failures=$((failures + 1))
}

if ! cmake --install "$build" --component demos --prefix "$scratch/first" >"$scratch/install.log" 2>&1; then
  cat "$scratch/install.log"
  echo "installed_demos: cmake --install failed"
  exit 1
fi
mv "$scratch/first" "$scratch/prefix"
prefix="$scratch/prefix"

# Exactly the demos, their private libraries and desktop files: no tests,
# test seams or fake modules.
unexpected=$(cd "$prefix" && find . -type f | sed 's|^\./||' | { grep -Ev '^(bin/(fumes|twistview)|lib/lumo/(liblumo_platform\.so|GdiPlus\.dll)|share/applications/(screensavers/)?(fumes|twistview)\.desktop|share/xscreensaver/config/(fumes|twistview)\.xml|share/icons/hicolor/[0-9]+x[0-9]+/apps/(fumes|twistview)\.png|share/doc/lumo-demos/(copyright|changelog\.gz)|share/man/man6/(fumes|twistview)\.6\.gz)$' || true; })
[ -z "$unexpected" ] && ok "only the demos' files are installed" || bad "unexpected files installed: $unexpected"
# The seams are a library of their own that only tests link: none of their
# entry points may ride along in the shipped platform library.
# (grep reads all of nm's output: with -q nm could die of a closed pipe.)
if nm -D --defined-only "$prefix/lib/lumo/liblumo_platform.so" | grep '_ZN4lumo4test' >/dev/null; then
  bad "the platform library exports test seams"
else
  ok "the platform library carries no test seams"
fi
for f in bin/fumes bin/twistview lib/lumo/liblumo_platform.so lib/lumo/GdiPlus.dll \
  share/icons/hicolor/32x32/apps/twistview.png share/icons/hicolor/256x256/apps/fumes.png; do
  [ -f "$prefix/$f" ] || bad "$f is not installed"
done
if command -v desktop-file-validate >/dev/null; then
  if desktop-file-validate "$prefix"/share/applications/*.desktop; then ok "desktop entries are valid"; else
    bad "desktop-file-validate complains"
  fi
fi

# The moved prefix runs, with its pictures, from a folder outside the tree.
bash "$root/tests/install/run_installed.sh" "$prefix" "$scratch" || bad "the installed programs do not run as they should"

if [ "$failures" -eq 0 ]; then
  echo "installed_demos: all checks passed"
  exit 0
fi
echo "installed_demos: $failures checks failed; screenshots and logs in $scratch"
exit 1

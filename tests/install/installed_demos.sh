#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The demos as a user gets them from `cmake --install`: installs the "demos"
# component into a scratch prefix, moves the prefix elsewhere (nothing may
# point back at the build tree or the first prefix), checks the layout and
# the desktop entries, then starts the installed twistview from a folder
# outside the build tree, whose bogus GdiPlus.dll must not be picked up, and
# finds its first picture on a private virtual display; then starts the
# installed fumes and ends it with Escape.
#
#   installed_demos.sh <native-build-dir> <scratch-dir>
# Exits 77 (skipped) when Xvfb, xdotool or ImageMagick is missing.
set -u
build="$(cd "${1:?native build directory}" && pwd)"
scratch="${2:?scratch directory}"
root="$(cd "$(dirname "$0")/../.." && pwd)"
check="$root/tests/e2e/twistview_check.py"

for tool in Xvfb xdotool xwininfo import convert python3 nm; do
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
unexpected=$(cd "$prefix" && find . -type f | sed 's|^\./||' | grep -Ev '^(bin/(fumes|twistview)|lib/lumo/(liblumo_platform\.so|GdiPlus\.dll)|share/applications/(fumes|twistview)\.desktop|share/icons/hicolor/[0-9]+x[0-9]+/apps/(fumes|twistview)\.png|share/doc/lumo-demos/(copyright|changelog\.gz)|share/man/man6/(fumes|twistview)\.6\.gz)$')
[ -z "$unexpected" ] && ok "only the demos' files are installed" || bad "unexpected files installed: $unexpected"
# The seams are a library of their own that only tests link: none of their
# entry points may ride along in the shipped platform library.
if nm -D --defined-only "$prefix/lib/lumo/liblumo_platform.so" | grep -q '_ZN4lumo4test'; then
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

# A folder outside the build tree, holding a file the loader must not take
# for the codec module.
work="$scratch/elsewhere"
mkdir -p "$work"
echo "not a module" >"$work/GdiPlus.dll"

xvfb_pid=""
program_pid=""
cleanup() {
  [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
}
trap cleanup EXIT
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$scratch/display" >"$scratch/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$scratch/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n1 "$scratch/display")"
unset LD_LIBRARY_PATH

window=""
start() { # <title-regex> <program>: sets program_pid and window
  (cd "$work" && exec "$2") >"$scratch/$(basename "$2").log" 2>&1 &
  program_pid=$!
  window=""
  for _ in $(seq 120); do
    window=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1)
    [ -n "$window" ] && return 0
    kill -0 "$program_pid" 2>/dev/null || return 1
    sleep 0.25
  done
  return 1
}
stop() { # ends the program with Escape; 0 when it ended with status 0
  xdotool mousemove --window "$window" 200 200 key Escape
  for _ in $(seq 100); do
    if ! kill -0 "$program_pid" 2>/dev/null; then
      wait "$program_pid"
      local status=$?
      program_pid=""
      return "$status"
    fi
    sleep 0.1
  done
  return 124
}

echo "== installed twistview"
if start "^twistview - tovak\$" "$prefix/bin/twistview"; then
  sleep 1.5
  import -window "$window" "$scratch/twistview.png" 2>/dev/null
  read -r _ expected < <(python3 "$check" expect "$root/twistview/velro1.jpg")
  got=$(python3 "$check" centre "$scratch/twistview.png")
  if [ "$got" = "$expected" ]; then ok "the first picture is on screen (centre index $got)"; else
    bad "centre index $got, expected $expected (128 is the no-picture fill)"
  fi
  stop && ok "Escape ends twistview" || bad "twistview did not end with status 0"
else
  bad "no twistview window"
  cat "$scratch/twistview.log"
fi

echo "== installed fumes"
if start "^fumes - tovak" "$prefix/bin/fumes"; then
  ok "fumes window appeared"
  sleep 1
  kill -0 "$program_pid" 2>/dev/null && ok "fumes keeps running" || bad "fumes ended by itself"
  import -window "$window" "$scratch/fumes.png" 2>/dev/null
  stop && ok "Escape ends fumes" || bad "fumes did not end with status 0"
else
  bad "no fumes window"
  cat "$scratch/fumes.log"
fi

if [ "$failures" -eq 0 ]; then
  echo "installed_demos: all checks passed; screenshots in $scratch"
  exit 0
fi
echo "installed_demos: $failures checks failed; screenshots and logs in $scratch"
exit 1

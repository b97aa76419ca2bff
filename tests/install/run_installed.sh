#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Starts installed demos as a user would, on a private virtual display, from a
# folder outside the build tree whose bogus GdiPlus.dll must not be picked up:
# twistview must show its first picture, fumes its rising smoke, and Escape
# must end each with status 0.
#
# usage: run_installed.sh <prefix> <scratch-dir>
# <prefix> holds bin/twistview and bin/fumes. Exits 77 (skipped) when Xvfb,
# xdotool or ImageMagick is missing.
#
# Strict mode, yet a failed check deliberately does not end the run: each is
# counted (ok, bad) and the summary at the end decides the exit status.
set -euo pipefail
usage="usage: run_installed.sh <prefix> <scratch-dir>"
case "${1:-}" in -h | --help) echo "$usage" && exit 0 ;; esac
prefix="$(cd "${1:?$usage}" && pwd)"
scratch="${2:?$usage}"
root="$(cd "$(dirname "$0")/../.." && pwd)"
check="$root/tests/e2e/twistview_check.py"

for tool in Xvfb xdotool import convert python3; do
  command -v "$tool" >/dev/null || { echo "run_installed: no $tool, skipped"; exit 77; }
done

mkdir -p "$scratch"
scratch="$(cd "$scratch" && pwd)"
failures=0
ok() { echo "  ok: $*"; }
bad() {
  echo "  FAIL: $*"
  failures=$((failures + 1))
}

work="$scratch/elsewhere"
mkdir -p "$work"
echo "not a module" >"$work/GdiPlus.dll"

program_pid=""
cleanup() {
  if [ -n "$program_pid" ]; then kill "$program_pid" 2>/dev/null || true; fi
}
trap cleanup EXIT
# shellcheck source=../../scripts/xvfb.sh
source "$root/scripts/xvfb.sh"
xvfb_start "$scratch/xvfb.log"
unset LD_LIBRARY_PATH

window=""
start() { # <title-regex> <program>: sets program_pid and window
  (cd "$work" && exec "$2") >"$scratch/$(basename "$2").log" 2>&1 &
  program_pid=$!
  window=""
  for _ in $(seq 120); do
    window=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1) || true
    [ -n "$window" ] && return 0
    kill -0 "$program_pid" 2>/dev/null || return 1
    sleep 0.25
  done
  return 1
}
stop() { # ends the program with Escape; 0 when it ended with status 0 within 10 s
  xdotool mousemove --window "$window" 200 200 key Escape || return 1
  local tenths=0 status=0
  while kill -0 "$program_pid" 2>/dev/null; do
    [ "$tenths" -lt 100 ] || return 124
    sleep 0.1
    tenths=$((tenths + 1))
  done
  wait "$program_pid" || status=$?
  program_pid=""
  return "$status"
}

echo "== installed twistview"
if start "^twistview - tovak\$" "$prefix/bin/twistview"; then
  read -r _ expected < <(python3 "$check" expect "$root/twistview/velro1.jpg")
  # A loaded machine may take a while for the first frames.
  for _ in $(seq 15); do
    sleep 1
    import -window "$window" "$scratch/twistview.png" 2>/dev/null || true
    got=$(python3 "$check" centre "$scratch/twistview.png") || true
    [ "$got" = "$expected" ] && break
  done
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
  # Smoke rises from random sources along the bottom: the lower half is lit.
  for _ in $(seq 15); do
    sleep 1
    import -window "$window" "$scratch/fumes.png" 2>/dev/null || true
    level=$(convert "$scratch/fumes.png" -gravity south -crop 100%x50%+0+0 +repage -colorspace Gray \
      -format '%[fx:mean]' info: 2>/dev/null) || true
    awk -v a="${level:-0}" 'BEGIN { exit !(a > 0.05) }' && break
  done
  kill -0 "$program_pid" 2>/dev/null && ok "fumes keeps running" || bad "fumes ended by itself"
  if awk -v a="${level:-0}" 'BEGIN { exit !(a > 0.05) }'; then ok "smoke rises (mean brightness $level)"; else
    bad "no smoke in the lower half (mean brightness ${level:-none})"
  fi
  stop && ok "Escape ends fumes" || bad "fumes did not end with status 0"
else
  bad "no fumes window"
  cat "$scratch/fumes.log"
fi

if [ "$failures" -eq 0 ]; then
  echo "run_installed: all checks passed; screenshots in $scratch"
  exit 0
fi
echo "run_installed: $failures checks failed; screenshots and logs in $scratch"
exit 1

#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# End to end: the real twistview natively and twistview.exe under Wine, each
# on a private virtual display. Checks title and client size, that frames
# change and use only the window palette, that a key switches the picture,
# that left and right clicks toggle the filter and feedback, and that Escape
# and the close box both end the program. Natively a short second run has
# every wide level of the fast paths turned off (LUMO_DISABLE) and checks
# the same picture with the plain forms. Screenshots stay in the artefact
# directory.
#
# usage: twistview_e2e.sh <native-build-dir> <windows-build-dir> <artefact-dir>
# Pass "-" for a build directory to leave that half out.
#
# Strict mode, yet a failed check deliberately does not end the run: each is
# counted (ok, bad) and the summary at the end decides the exit status.
set -euo pipefail
usage="usage: twistview_e2e.sh <native-build-dir> <windows-build-dir> <artefact-dir>"
case "${1:-}" in -h | --help) echo "$usage" && exit 0 ;; esac
absolute() { if [ "$1" = "-" ]; then echo -; else (cd "$1" && pwd); fi; }
native_dir="$(absolute "${1:?$usage}")"
windows_dir="$(absolute "${2:?$usage}")"
artefacts="${3:?$usage}"
mkdir -p "$artefacts"
artefacts="$(cd "$artefacts" && pwd)"
root="$(cd "$(dirname "$0")/../.." && pwd)"
check="$root/tests/e2e/twistview_check.py"
pictures=("$root/twistview/velro1.jpg" "$root/twistview/velro2.jpg")
title="twistview - tovak"

failures=()
passes=0
ok() {
  echo "  ok: $*"
  passes=$((passes + 1))
}
bad() {
  echo "  FAIL: $*"
  failures+=("$current: $*")
}

program_pid=""
cleanup() {
  if [ -n "$program_pid" ]; then kill "$program_pid" 2>/dev/null || true; fi
  if [ "$windows_dir" != - ]; then
    WINEPREFIX="${LUMO_WINEPREFIX:-$windows_dir/wineprefix}" wineserver -k >/dev/null 2>&1 || true
  fi
}
trap cleanup EXIT
# A display of our own, so that no other window takes keys or focus; it
# ends after cleanup.
# shellcheck source=../../scripts/xvfb.sh
source "$root/scripts/xvfb.sh"
xvfb_start

# Expected centre indices: point and bilinear sample of each picture.
read -r point0 bilinear0 < <(python3 "$check" expect "${pictures[0]}")
read -r point1 bilinear1 < <(python3 "$check" expect "${pictures[1]}")

start_program() { # <command...>; sets program_pid and window
  "$@" >"$out/program.log" 2>&1 &
  program_pid=$!
  window=""
  for _ in $(seq 240); do
    window=$(xdotool search --onlyvisible --name "^$title\$" 2>/dev/null | head -n 1) || true
    [ -n "$window" ] && break
    kill -0 "$program_pid" 2>/dev/null || break
    sleep 0.5
  done
  [ -n "$window" ]
}

shot() { # <name>: screenshot of the client area; a missing one fails the checks on it
  import -window "$window" "$out/$1.png" 2>/dev/null || true
}

centre() { python3 "$check" centre "$out/$1.png"; }

expect_centre() { # <shot> <value> <what>
  local got
  got=$(centre "$1") || true
  if [ "$got" = "$2" ]; then ok "$3 (centre index $got)"; else bad "$3: centre index $got, expected $2"; fi
}

palette_ok() { # <shot>
  local report
  if report=$(python3 "$check" palette "$out/$1.png"); then ok "$1: only window-palette colours ($report)"; else
    bad "$1: $report"
  fi
}

wait_end() { # <seconds>; 0 when the program ended with status 0
  local status=0
  for _ in $(seq $(($1 * 10))); do
    if ! kill -0 "$program_pid" 2>/dev/null; then
      wait "$program_pid" || status=$?
      program_pid=""
      return "$status"
    fi
    sleep 0.1
  done
  return 124
}

# What the user does; one that cannot be done is a failed check.
left_click() { xdotool mousemove --window "$window" "$1" 300 click 1 || bad "left click at $1"; }
right_click() { xdotool mousemove --window "$window" "$1" 300 click 3 || bad "right click at $1"; }
# Keys go to the window under the pointer (no window manager, pointer focus).
press() { xdotool mousemove --window "$window" 200 200 key "$1" || bad "key $1"; }

# end_program: what is left of the program, ended.
end_program() {
  if [ -n "$program_pid" ]; then kill "$program_pid" 2>/dev/null || true; fi
  program_pid=""
}

escape_ends() {
  press Escape
  if wait_end 15; then ok "Escape ends the program (status 0)"; else bad "Escape: program did not end with status 0 ($?)"; fi
  end_program
}

run_platform() { # <name> <width-range> <height-range> <command...>
  current=$1
  out="$artefacts/$1"
  mkdir -p "$out"
  local min_w=$2 min_h=$3
  shift 3
  echo "== twistview, $current"
  if ! start_program "$@"; then
    bad "no window titled \"$title\" appeared"
    cat "$out/program.log"
    return
  fi
  ok "window \"$title\" appeared"

  local name size w h
  name=$(xwininfo -id "$window" | sed -n 's/^xwininfo: Window id: [^ ]* "\(.*\)"$/\1/p') || true
  [ "$name" = "$title" ] && ok "title \"$name\"" || bad "title \"$name\""
  w=$(xwininfo -id "$window" | awk '/^  Width:/ {print $2}') || true
  h=$(xwininfo -id "$window" | awk '/^  Height:/ {print $2}') || true
  size="${w}x${h}"
  if [ "$w" -ge "$min_w" ] && [ "$w" -le 768 ] && [ "$h" -ge "$min_h" ] && [ "$h" -le 536 ]; then
    ok "client area $size"
  else
    bad "client area $size"
  fi

  sleep 1.5
  shot 01_start
  palette_ok 01_start
  expect_centre 01_start "$bilinear0" "first picture, bilinear filter"
  sleep 0.7
  shot 02_later
  palette_ok 02_later
  local changed
  changed=$(python3 "$check" differ "$out/01_start.png" "$out/02_later.png") || true
  if awk "BEGIN {exit !($changed > 0.05)}"; then ok "frames change over time ($changed of the pixels)"; else
    bad "frames do not change ($changed of the pixels)"
  fi

  press space
  sleep 0.8
  shot 03_key
  palette_ok 03_key
  expect_centre 03_key "$bilinear1" "a key switches to the second picture"
  local seen
  seen=$(python3 "$check" picture "$out/03_key.png" "${pictures[@]}") || true
  [ "${seen%% *}" = 1 ] && ok "the frame's grey levels are the second picture's ($seen)" ||
    bad "the frame's grey levels are not the second picture's ($seen)"

  left_click 300
  sleep 0.8
  shot 04_point
  palette_ok 04_point
  expect_centre 04_point "$point1" "left click turns the filter off"
  left_click 340
  sleep 0.8
  shot 05_bilinear
  expect_centre 05_bilinear "$bilinear1" "left click turns the filter on again"

  right_click 380
  sleep 0.8
  shot 06_feedback
  palette_ok 06_feedback
  # A still pixel averaged with its own earlier values settles one below.
  expect_centre 06_feedback "$((bilinear1 > 0 ? bilinear1 - 1 : 0))" "right click turns feedback on"
  right_click 420
  sleep 0.8
  shot 07_no_feedback
  expect_centre 07_no_feedback "$bilinear1" "right click turns feedback off again"

  press a
  sleep 0.8
  shot 08_key_again
  expect_centre 08_key_again "$bilinear0" "another key switches back to the first picture"

  escape_ends

  if ! start_program "$@"; then
    bad "no window on the second start"
    return
  fi
  sleep 1
  shot 09_before_close
  python3 "$check" close "$window" || bad "the close box could not be asked"
  if wait_end 15; then ok "the close box ends the program (status 0)"; else
    bad "close box: program did not end with status 0 ($?)"
  fi
  end_program
}

# Every level the fast paths have but the plain one (see LumoFastPath.h).
all_wide_off="avx512 avx2 sse41 sse2 mmx neon"

# A short run with the plain forms only: the picture, the filter, feedback
# and Escape as above, and each family saying it took its plain form.
run_plain() { # <command...>
  current="native, plain forms"
  out="$artefacts/native_plain"
  mkdir -p "$out"
  echo "== twistview, $current"
  if ! LUMO_DISABLE="$all_wide_off" start_program "$@"; then
    bad "no window titled \"$title\" appeared"
    cat "$out/program.log"
    return
  fi
  sleep 1.5
  shot 01_start
  palette_ok 01_start
  expect_centre 01_start "$bilinear0" "first picture, bilinear filter"
  left_click 300
  sleep 0.8
  shot 02_point
  expect_centre 02_point "$point0" "left click turns the filter off"
  left_click 340
  right_click 380
  sleep 0.8
  shot 03_feedback
  expect_centre 03_feedback "$((bilinear0 > 0 ? bilinear0 - 1 : 0))" "right click turns feedback on"
  escape_ends
  local family
  for family in "rotating zoom" "average row" "palette expansion"; do
    if grep -q "^lumo: $family: plain form" "$out/program.log"; then ok "$family ran its plain form"; else
      bad "$family did not report its plain form"
    fi
  done
}

if [ "$native_dir" = - ]; then
  echo "== twistview, native: left out"
elif [ -x "$native_dir/bin/twistview" ]; then
  run_platform native 768 536 "$native_dir/bin/twistview"
  run_plain "$native_dir/bin/twistview"
else
  current=native
  bad "$native_dir/bin/twistview is not built"
fi

if [ "$windows_dir" = - ]; then
  echo "== twistview, wine: left out"
elif [ -f "$windows_dir/bin/twistview.exe" ]; then
  export LUMO_WINEPREFIX="${LUMO_WINEPREFIX:-$windows_dir/wineprefix}"
  # A Wine server left from earlier tests may belong to another display.
  bash "$root/scripts/wine-end.sh" "$LUMO_WINEPREFIX"
  # Windows sizes the window with the dialog frame but draws the thicker
  # sizing frame, so the client area comes out a few pixels smaller.
  run_platform wine 760 528 "$root/scripts/wine-run.sh" "$windows_dir/bin/twistview.exe"
else
  current=wine
  bad "$windows_dir/bin/twistview.exe is not built"
fi

echo
if [ "${#failures[@]}" -eq 0 ]; then
  echo "twistview e2e: all $passes checks passed; screenshots in $artefacts"
  exit 0
fi
printf '  %s\n' "${failures[@]}"
echo "twistview e2e: ${#failures[@]} checks failed, $passes passed; screenshots in $artefacts"
exit 1

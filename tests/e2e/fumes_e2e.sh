#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# End-to-end run of the real fumes programs as a user would drive them: the
# native build under a virtual X server, and the Windows build under Wine on
# the same server. For each: window title and client size, smoke on screen,
# a left-button drag, a right click, S with a path typed into the real file
# dialog, the saved BMP, saves that fail (a read-only folder, a full disk)
# told in a message box with the old file intact, a cancelled dialog telling
# nothing, and Escape ending the program with exit code 0.
# Natively a short second run has every wide level of the fast paths turned
# off (LUMO_DISABLE): smoke on screen, a drag, Escape, and each family saying
# it took its plain form.
#
# usage: fumes_e2e.sh <native-build-dir> <windows-build-dir> <artefact-dir>
# Pass "-" for a build directory to leave that half out. Screenshots, saved
# pictures and logs stay in the artefact directory.
#
# The failing saves need a read-only folder and a full disk of their own:
# small file systems mounted in a private mount namespace, which ends with
# this script. That takes root (CI runs as root); without it the folder is
# made read-only by its permissions and the full disk is reported as skipped,
# with the reason, in the summary.
#
# Strict mode, yet a failed check deliberately does not end the run: each is
# counted (check) and the summary at the end decides the exit status.
set -euo pipefail
usage="usage: fumes_e2e.sh <native-build-dir> <windows-build-dir> <artefact-dir>"
case "${1:-}" in -h | --help) echo "$usage" && exit 0 ;; esac
if [ -z "${FUMES_E2E_NAMESPACE:-}" ]; then
  export FUMES_E2E_NAMESPACE=none
  if [ "$(id -u)" -eq 0 ] && unshare --mount --propagation private true 2>/dev/null; then
    FUMES_E2E_NAMESPACE=private exec unshare --mount --propagation private bash "$0" "$@"
  fi
fi

native_dir="${1:?$usage}"
windows_dir="${2:?$usage}"
artefacts="${3:?$usage}"
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
mkdir -p "$artefacts"
artefacts="$(cd "$artefacts" && pwd)"
absolute() { if [ "$1" = "-" ] || [ ! -d "$1" ]; then echo "$1"; else (cd "$1" && pwd); fi; }
native_dir="$(absolute "$native_dir")"
windows_dir="$(absolute "$windows_dir")"

caption="fumes - tovak; click and drag to draw fumes"
work="$(mktemp -d "${TMPDIR:-/tmp}/fumes-e2e.XXXXXX")"
program_pid=""
program_log=""

log() { echo "fumes_e2e: $*"; }

cleanup() {
  if [ -n "$program_pid" ] && kill -0 "$program_pid" 2>/dev/null; then
    kill "$program_pid" 2>/dev/null || true
  fi
  umount "$work/read-only" "$work/full" 2>/dev/null || true
  chmod -R u+w "$work" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
# shellcheck source=../../scripts/xvfb.sh
source "$root/scripts/xvfb.sh"

# wait_until <seconds> <command...>: polls the command until it succeeds.
wait_until() {
  local limit="$1"
  shift
  local end=$((SECONDS + limit))
  while ! "$@" >/dev/null 2>&1; do
    [ "$SECONDS" -ge "$end" ] && return 1
    sleep 0.2
  done
  return 0
}

# ---- folders where saving fails -------------------------------------------

readonly_dir="$work/read-only"
full_dir="$work/full"
readonly_skip=""
full_skip=""
prepare_failure_folders() {
  mkdir -p "$readonly_dir" "$full_dir"
  if [ "$FUMES_E2E_NAMESPACE" = private ]; then
    mount -t tmpfs -o ro,size=64k,mode=0755 lumo-read-only "$readonly_dir" ||
      readonly_skip="a read-only file system could not be mounted"
    mount -t tmpfs -o size=512k,mode=0755 lumo-full "$full_dir" ||
      full_skip="a small file system could not be mounted"
  elif [ "$(id -u)" -ne 0 ]; then
    # Permissions hold for everyone but root.
    chmod a-w "$readonly_dir"
    full_skip="a full disk needs a private mount namespace, which needs root"
  else
    readonly_skip="no private mount namespace (unshare refused)"
    full_skip="$readonly_skip"
  fi
}

# fill_disk <old-file>: the full disk holds <old-file> as picture.bmp and
# not one byte more.
fill_disk() {
  rm -f "$full_dir"/*
  cp "$1" "$full_dir/picture.bmp" || return 1
  # Writes until the disk is full, which dd reports as its failure.
  dd if=/dev/zero of="$full_dir/filler" bs=4k >/dev/null 2>&1 || true
  [ "$(df --output=avail -B1 "$full_dir" | tail -n1 | tr -d ' ')" -eq 0 ]
}

# ---- checks of one half --------------------------------------------------

half=""
half_failures=0
half_skips=0
half_skip_reasons=()
skip() {
  log "[$half] SKIPPED: $1 ($2)"
  half_skips=$((half_skips + 1))
  half_skip_reasons+=("$1: $2")
}
check() {
  local what="$1"
  shift
  if "$@"; then
    log "[$half] ok: $what"
  else
    log "[$half] FAILED: $what"
    half_failures=$((half_failures + 1))
  fi
}

# A screenshot for the artefacts; a missing one fails no check.
shot() { import -window root "$artefacts/${half}_$1.png" 2>/dev/null || true; }

# What the user does; one that cannot be done fails a check.
xdo() { xdotool "$@" || check "xdotool $1 could be done" false; }

# The first window named so; nothing when there is none.
window_named() { xdotool search --name "$1" 2>/dev/null | head -n1 || true; }
main_window() { window_named "^fumes - tovak"; }
dialog_window() { window_named "^Save Bitmap"; }
message_box() { window_named "^fumes\$"; }
have_message_box() { [ -n "$(message_box)" ]; }
no_message_box() { [ -z "$(message_box)" ]; }
have_main_window() { [ -n "$(main_window)" ]; }
# Stops waiting as soon as the program has ended without a window.
window_or_exit() { have_main_window || program_gone; }
have_dialog() { [ -n "$(dialog_window)" ]; }
no_dialog() { [ -z "$(dialog_window)" ]; }

# Focus may fail (a window gone): the checks that follow tell.
focus() {
  timeout 5 xdotool windowfocus --sync "$1" >/dev/null 2>&1 || xdotool windowfocus "$1" >/dev/null 2>&1 || true
  sleep 0.2
}

client_size() { xwininfo -id "$1" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h}' || true; }

# Mean brightness (0..1) of a region of a picture: <png> <geometry>; nothing
# when the picture cannot be read.
brightness() { convert "$1" -crop "$2" +repage -colorspace Gray -format '%[fx:mean]' info: 2>/dev/null || true; }
brighter_than() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a > b) }'; }

# Waits for the smoke to rise, saves the window as <file> and checks that
# smoke shows in its lower half.
rising_smoke() { # <window> <file>
  sleep 2
  shot 01_start
  import -window "$1" "$2" 2>/dev/null || true
  local level
  level="$(brightness "$2" 800x250+0+250)"
  check "smoke rises from the bottom (mean brightness ${level:-none})" brighter_than "${level:-0}" 0.05
}

# Drags a line with the left button across the window at y 300, lets the
# smoke rise from it, and saves the window as <file>.
drag_line() { # <window> <file>
  focus "$1"
  local args=(mousemove --window "$1" 150 300 mousedown 1)
  local x
  for x in $(seq 150 10 650); do
    args+=(mousemove --window "$1" "$x" 300 sleep 0.01)
  done
  args+=(mouseup 1)
  xdo "${args[@]}"
  sleep 1.5
  shot 02_drawn
  import -window "$1" "$2" 2>/dev/null || true
}

file_has_size() { [ -f "$1" ] && [ "$(stat -c %s "$1")" -eq "$2" ]; }
program_gone() { ! kill -0 "$program_pid" 2>/dev/null; }

# Left, top, width and height of a window on the screen.
geometry() {
  xwininfo -id "$1" | awk '/Absolute upper-left X:/ {x=$4} /Absolute upper-left Y:/ {y=$4}
    /Width:/ {w=$2} /Height:/ {h=$2} END {print x, y, w, h}' || true
}

# check_bmp <file> <window-capture.png> <window geometry> <dialog geometry>:
# an ordinary bottom-up 8-bit BMP of 800 x 500 with the second scheme's
# colour table, showing the frame that stood on screen while the dialog was
# open (compared where the dialog did not cover the window).
check_bmp() {
  local bmp="$1" capture="$2"
  convert "$capture" -depth 8 rgb:"$work/capture.rgb" 2>/dev/null || true
  python3 - "$bmp" "$work/capture.rgb" "$3" "$4" <<'EOF'
import struct, sys
data = open(sys.argv[1], "rb").read()
wx, wy, _, _ = (int(v) for v in sys.argv[3].split())
dx, dy, dw, dh = (int(v) for v in sys.argv[4].split())
dx -= wx
dy -= wy
problems = []
def want(cond, text):
    if not cond:
        problems.append(text)
want(len(data) == 401078, f"file length {len(data)}, expected 401078")
if len(data) >= 1078:
    magic, size, _, _, offbits = struct.unpack("<2sIHHI", data[:14])
    hsize, width, height, planes, bpp, comp, image = struct.unpack("<IiiHHII", data[14:38])
    want(magic == b"BM" and size == len(data) and offbits == 1078, "file header")
    want((hsize, width, planes, bpp, comp) == (40, 800, 1, 8, 0), "info header")
    want(height == 500, f"height {height}, expected +500 (bottom-up)")
    palette = data[54:1078]
    def entry(i):
        b, g, r, _ = palette[4 * i:4 * i + 4]
        return (r, g, b)
    keys = {0: (0, 0, 0), 120: (0, 0, 255), 136: (0, 0, 128), 255: (0, 0, 0)}
    for index, rgb in keys.items():
        want(entry(index) == rgb, f"colour {index} is {entry(index)}, expected {rgb}")
    try:
        shown = open(sys.argv[2], "rb").read()
    except OSError:
        shown = b""
    if len(shown) == 800 * 500 * 3 and len(data) == 401078:
        # Only pixels lit in the file or on screen count, so a black window
        # does not pass for the picture.
        lit = compared = same = 0
        for y in range(500):
            row = data[1078 + (499 - y) * 800:1078 + (500 - y) * 800]
            for x in range(800):
                colour = entry(row[x])
                if colour != (0, 0, 0):
                    lit += 1
                if dx <= x < dx + dw and dy <= y < dy + dh:
                    continue
                o = (y * 800 + x) * 3
                on_screen = tuple(shown[o:o + 3])
                if colour == (0, 0, 0) and on_screen == (0, 0, 0):
                    continue
                compared += 1
                if colour == on_screen:
                    same += 1
        share = 100.0 * same / compared if compared else 0.0
        print(f"  saved picture: {lit} lit pixels; of {compared} lit pixels visible during the dialog "
              f"{share:.1f}% equal to the window")
        want(lit > 0, "the saved picture is all black")
        want(compared >= 100, "too little of the window was visible to compare")
        want(share >= 95.0, "the saved picture is not the frame on screen (or is stored top-down)")
    else:
        problems.append("no window capture to compare with")
for p in problems:
    print("  " + p)
sys.exit(1 if problems else 0)
EOF
}

# Escape on the main window closes the program with exit code 0.
escape_ends_program() {
  local w
  w="$(main_window)"
  if [ -n "$w" ]; then
    focus "$w"
    xdo key Escape
  fi
  if wait_until 20 program_gone; then
    local rc=0
    wait "$program_pid" || rc=$?
    check "Escape ends the program with exit code 0 (got $rc)" test "$rc" -eq 0
  else
    check "Escape ends the program within 20s" false
  fi
  program_pid=""
}

# Says on standard output, not only in the artefacts, why no window came:
# whether the program still runs and the end of its log.
no_window_report() {
  shot "no_window"
  xwininfo -root -tree >"$artefacts/${half}_no_window.txt" 2>&1 || true
  if program_gone; then
    local rc=0
    wait "$program_pid" || rc=$?
    log "[$half] the program ended without a window (exit code $rc); its log ends:"
  else
    log "[$half] the program runs but shows no window; its log ends:"
  fi
  tail -n 15 "$program_log" 2>/dev/null | sed 's/^/    /' || true
}

# drive <save-path> <text-to-type> <window-timeout> <move-dialog yes|no>:
# the user session on the program started as $program_pid.
drive() {
  local save_path="$1" typed_path="$2" window_timeout="$3" move_dialog="$4"
  wait_until "$window_timeout" window_or_exit || true
  if ! have_main_window; then
    no_window_report
    check "a window appears within ${window_timeout}s" false
    return
  fi
  local w
  w="$(main_window)"
  check "window title is the caption" test "$(xdotool getwindowname "$w")" = "$caption"
  local size
  size="$(client_size "$w")"
  check "client area is 800x500 (got $size)" test "$size" = "800x500"

  rising_smoke "$w" "$work/start.png"

  # Drag a line with the left button: the picture is cleared and smoke now
  # rises from the line only, so the bottom strip goes dark.
  drag_line "$w" "$work/drawn.png"
  local bottom line
  bottom="$(brightness "$work/drawn.png" 800x60+0+440)"
  line="$(brightness "$work/drawn.png" 500x60+150+250)"
  check "after the drag the bottom is dark (${bottom:-none})" brighter_than 0.02 "${bottom:-1}"
  check "after the drag smoke rises from the line (${line:-none})" brighter_than "${line:-0}" 0.01

  # Right click: the other colour scheme.
  xdo mousemove --window "$w" 700 450 click 3
  sleep 1
  shot 03_other_scheme

  # S opens the real file dialog; the frame stands still while it is open.
  rm -f "$save_path"
  focus "$w"
  xdo key s
  if ! wait_until 30 have_dialog; then
    shot 04_no_dialog
    check "S opens the \"Save Bitmap\" dialog" false
  else
    check "S opens the \"Save Bitmap\" dialog" true
    local d
    d="$(dialog_window)"
    sleep 1.5
    if [ "$move_dialog" = yes ]; then
      # The chooser opens over the picture; move it below so the frame
      # standing still behind it can be seen and compared.
      xdo windowmove "$d" 0 560
      sleep 1
    fi
    shot 04_dialog
    import -window "$w" "$artefacts/${half}_frame_during_dialog.png" 2>/dev/null || true
    local window_at dialog_at
    window_at="$(geometry "$w")"
    dialog_at="$(geometry "$d")"
    focus "$d"
    xdo type --delay 30 "$typed_path"
    sleep 0.3
    xdo key Return
    check "the dialog closes" wait_until 20 no_dialog
    if wait_until 20 file_has_size "$save_path" 401078; then
      check "a BMP of 401078 bytes is written" true
    else
      check "a BMP of 401078 bytes is written ($(stat -c %s "$save_path" 2>/dev/null || echo none))" false
    fi
    if [ -f "$save_path" ]; then
      cp "$save_path" "$artefacts/${half}_saved.bmp"
      convert "$save_path" "$artefacts/${half}_saved.png" 2>/dev/null || true
      check "the BMP is bottom-up 8-bit with the current scheme and shows the frame" \
        check_bmp "$save_path" "$artefacts/${half}_frame_during_dialog.png" "$window_at" "$dialog_at"
    fi
  fi
  sleep 1
  shot 05_after_save

  if [ -f "$save_path" ]; then
    fail_to_save "a read-only folder" 06_read_only "$readonly_dir/picture.bmp" "$save_path"
    fail_to_save "a full disk" 07_full_disk "$full_dir/picture.bmp" "$save_path"
  fi
  cancel_tells_nothing

  escape_ends_program
}

# The path as the user types it into this half's dialog.
typed_form() {
  if [ "$half" = wine ]; then
    local p="${1//\//\\}"
    echo "Z:$p"
  else
    echo "$1"
  fi
}

# ask_to_save <typed path>: S, the path into the dialog, Return. False when
# the dialog did not open.
ask_to_save() {
  focus "$(main_window)"
  xdo key s
  wait_until 30 have_dialog || return 1
  local d
  d="$(dialog_window)"
  sleep 1
  focus "$d"
  xdo type --delay 30 "$1"
  sleep 0.3
  xdo key Return
  return 0
}

# The message boxes' texts so far: the stand-in's record natively, Wine's
# trace of the boxes it showed; nothing before the first.
told_texts() {
  if [ "$half" = wine ]; then
    grep -o 'MSGBOX_OnInit L".*"' "$program_log" 2>/dev/null | sed 's/^MSGBOX_OnInit L"//; s/"$//; s/\\\\/\\/g' || true
  else
    grep '^--text=' "$work/message-box.log" 2>/dev/null | sed 's/^--text=//' || true
  fi
}

# fail_to_save <what> <shot> <path> <old picture>: a save into <path> fails;
# a message box owned by the window names the path and the system's reason,
# the file there stays as it was, and nothing else is left behind.
fail_to_save() {
  local what="$1" name="$2" path="$3" old="$4" reason_to_skip="$readonly_skip"
  [ "$path" = "$full_dir/picture.bmp" ] && reason_to_skip="$full_skip"
  if [ -n "$reason_to_skip" ]; then
    skip "a save into $what is told" "$reason_to_skip"
    return
  fi
  if [ "$path" = "$full_dir/picture.bmp" ]; then
    check "the disk is full and holds the old picture" fill_disk "$old"
  fi
  local before_sum before_count
  before_sum="$(md5sum "$path" 2>/dev/null | cut -d' ' -f1)" || true
  before_count="$(told_texts | wc -l)"
  if ! ask_to_save "$(typed_form "$path")"; then
    check "S opens the dialog for a save into $what" false
    return
  fi
  if ! wait_until 30 have_message_box; then
    shot "${name}_no_box"
    check "a save into $what shows a message box" false
    return
  fi
  sleep 1
  shot "$name"
  local text
  text="$(told_texts | tail -n +"$((before_count + 1))" | tail -n1)"
  log "[$half] told: $text"
  local reason
  reason="${text#"Could not save the picture to $(typed_form "$path"): "}"
  check "the box names the path and a reason" test "$reason" != "$text" -a -n "$reason"
  if [ "$half" != wine ] && [ "$what" = "a full disk" ]; then
    check "the reason is the full disk" test "$reason" = "There is not enough space on the disk."
  fi
  check "the box is owned by the program's window" owned_by_main_window "$(message_box)"
  focus "$(message_box)"
  xdo key Return
  check "the box closes" wait_until 20 no_message_box
  check "the program runs on" test -n "$(main_window)" -a -z "$(program_gone && echo gone)"
  check "the old file there is intact" test "$(md5sum "$path" 2>/dev/null | cut -d' ' -f1)" = "$before_sum"
  check "nothing else is left there" test -z "$(find "$(dirname "$path")" -name '~bmp*' 2>/dev/null)"
}

# owned_by_main_window <window>: the window manager is told to keep it above
# the program's window.
owned_by_main_window() {
  local owner
  owner="$(xprop -id "$1" WM_TRANSIENT_FOR 2>/dev/null | awk '{print $NF}')" || true
  [ -n "$owner" ] && [ "$((owner))" -eq "$(main_window)" ]
}

# Cancelling the dialog writes nothing and tells nothing.
cancel_tells_nothing() {
  local before_count
  before_count="$(told_texts | wc -l)"
  focus "$(main_window)"
  xdo key s
  if ! wait_until 30 have_dialog; then
    check "S opens the dialog to cancel it" false
    return 0
  fi
  sleep 1
  focus "$(dialog_window)"
  xdo key Escape
  check "the cancelled dialog closes" wait_until 20 no_dialog
  sleep 2
  check "a cancelled dialog shows no message box" no_message_box
  check "a cancelled dialog tells nothing" test "$(told_texts | wc -l)" -eq "$before_count"
}

run_native() {
  half="native"
  half_failures=0
  local exe="$native_dir/bin/fumes"
  if [ ! -x "$exe" ]; then
    check "native program exists at $exe" false
    return
  fi
  # Without a display: one clear line on standard error, a non-zero exit.
  local rc=0
  env -u DISPLAY -u WAYLAND_DISPLAY -u LUMO_HEADLESS SDL_VIDEODRIVER=x11 timeout 20 "$exe" \
    >"$work/nodisplay.out" 2>"$work/nodisplay.err" || rc=$?
  cp "$work/nodisplay.err" "$artefacts/native_no_display.err"
  check "without a display it exits non-zero (got $rc)" test "$rc" -ne 0 -a "$rc" -ne 124 -a "$rc" -lt 128
  check "without a display it says so in one line" test "$(wc -l <"$work/nodisplay.err")" -eq 1

  # The real dialog is zenity; keep its settings out of the user's home. The
  # message boxes are zenity's too, through a stand-in that records their
  # arguments first.
  mkdir -p "$work/home"
  cat >"$work/message-box" <<'BOX'
#!/bin/sh
for a in "$@"; do printf '%s\n' "$a"; done >>"${0}.log"
exec zenity "$@"
BOX
  chmod +x "$work/message-box"
  local out="$work/native out.bmp"
  HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_DATA_HOME="$work/home/.local/share" \
    XDG_CACHE_HOME="$work/home/.cache" NO_AT_BRIDGE=1 LUMO_MESSAGE_BOX="$work/message-box" \
    "$exe" >"$artefacts/native_program.log" 2>&1 &
  program_pid=$!
  program_log="$artefacts/native_program.log"
  drive "$out" "$out" 30 yes
  run_native_plain
}

# Every level the fast paths have but the plain one (see LumoFastPath.h).
all_wide_off="avx512 avx2 sse41 sse2 mmx neon"

# drive_plain <log>: the short session of the plain-forms run.
drive_plain() {
  local log="$1"
  wait_until 30 window_or_exit || true
  if ! have_main_window; then
    no_window_report
    check "a window appears within 30s" false
    return
  fi
  local w line
  w="$(main_window)"
  rising_smoke "$w" "$work/plain_start.png"
  drag_line "$w" "$work/plain_drawn.png"
  line="$(brightness "$work/plain_drawn.png" 500x60+150+250)"
  check "after the drag smoke rises from the line (${line:-none})" brighter_than "${line:-0}" 0.01
  escape_ends_program
  local family
  for family in "smoke passes" "palette expansion"; do
    check "$family ran its plain form" grep -q "^lumo: $family: plain form" "$log"
  done
}

run_native_plain() {
  half="native-plain"
  local exe="$native_dir/bin/fumes"
  [ -x "$exe" ] || return 0
  LUMO_DISABLE="$all_wide_off" "$exe" >"$artefacts/native_plain_program.log" 2>&1 &
  program_pid=$!
  program_log="$artefacts/native_plain_program.log"
  drive_plain "$artefacts/native_plain_program.log"
}

run_wine() {
  half="wine"
  half_failures=0
  local exe="$windows_dir/bin/fumes.exe"
  if [ ! -f "$exe" ]; then
    check "Windows program exists at $exe" false
    return
  fi
  check "fumes.exe carries its MAINICON icon" python3 -c '
import sys
data = open(sys.argv[1], "rb").read()
sys.exit(0 if "MAINICON".encode("utf-16-le") in data else 1)' "$exe"
  local out="$work/wine_out.bmp"
  local typed="Z:${out//\//\\}"
  export LUMO_WINEPREFIX="${LUMO_WINEPREFIX:-$windows_dir/wineprefix}"
  # A Wine server left from the unit tests belongs to another display, and
  # one still shutting down can swallow the program's start: begin with none.
  start_wine "$exe" "$artefacts/wine_program.log"
  # A fresh Wine prefix is created on first use, which takes a while.
  wait_until 180 window_or_exit || true
  if ! have_main_window; then
    # Wine itself sometimes loses a start on a loaded host. Say so, and give
    # the program one more start; a second failure fails the check.
    no_window_report
    log "[$half] starting it once more with a fresh Wine server"
    if [ -n "$program_pid" ]; then kill "$program_pid" 2>/dev/null || true; fi
    start_wine "$exe" "$artefacts/wine_program_second_start.log"
  fi
  drive "$out" "$typed" 120 no
}

# start_wine <exe> <log>: the program on a Wine server of its own.
start_wine() {
  bash "$root/scripts/wine-end.sh" "$LUMO_WINEPREFIX"
  program_log="$2"
  # Wine's trace of its message boxes tells their text.
  WINEDEBUG="-all,trace+msgbox" "$root/scripts/wine-run.sh" "$1" >"$program_log" 2>&1 &
  program_pid=$!
}

summary=()
failed=0
prepare_failure_folders
if ! xvfb_start "$artefacts/xvfb.log"; then
  log "SUMMARY: FAILED (no virtual X server)"
  exit 1
fi
for which in native wine; do
  dir="$native_dir"
  [ "$which" = wine ] && dir="$windows_dir"
  if [ "$dir" = "-" ]; then
    summary+=("$which skipped")
    continue
  fi
  half_skips=0
  half_skip_reasons=()
  "run_$which"
  skipped=""
  [ "$half_skips" -eq 0 ] || skipped=" ($half_skips checks SKIPPED: $(IFS=';'; echo "${half_skip_reasons[*]}"))"
  if [ "$half_failures" -eq 0 ]; then
    summary+=("$which passed$skipped")
  else
    summary+=("$which FAILED ($half_failures checks)")
    failed=1
  fi
done
log "artefacts in $artefacts"
joined="$(IFS=';'; echo "${summary[*]}")"
if [ "$failed" -eq 0 ]; then
  log "SUMMARY: PASSED (${joined//;/, })"
else
  log "SUMMARY: FAILED (${joined//;/, })"
fi
exit "$failed"

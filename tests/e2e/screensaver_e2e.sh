#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Both programs as screensavers, under Xvfb. Natively:
#   -window-id on a window this script makes (tests/e2e/x_window.py): the
#     effect fills it, follows a resize, and SIGTERM ends it with 0;
#   a real xscreensaver daemon, run unprivileged with a private HOME whose
#     ~/.xscreensaver selects one hack, as the README tells users: -activate
#     shows the effect on the root window, -deactivate ends the hack within a
#     second, and neither process nor shared memory is left.
# Under Wine, for a Windows build: each .scr's /s covers the screen, a
# 1-pixel move leaves it, a 20-pixel move (fumes: also a key, a click) ends it
# with 0 within a second; /p HWND fills a window of tests/screensaver's
# saver_probe and ends with 0 when that goes; fumes' /c dialog takes the
# second scheme, and the next /s shows its colours.
# Screenshots go to the artefact directory.
#
# usage: screensaver_e2e.sh <native-build-dir> <windows-build-dir> <artefact-dir>
# Pass "-" for a build directory to leave that half out.
set -euo pipefail
usage="usage: screensaver_e2e.sh <native-build-dir> <windows-build-dir> <artefact-dir>"
case "${1:-}" in -h | --help) echo "$usage" && exit 0 ;; esac
native="${1:?$usage}"
windows="${2:?$usage}"
art="${3:?$usage}"
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
check="$here/screensaver_check.py"
mkdir -p "$art"
work="$(mktemp -d "${TMPDIR:-/tmp}/screensaver-e2e.XXXXXX")"
chmod 755 "$work"
cleanup() {
  [ -n "${daemon_pid:-}" ] && kill "$daemon_pid" 2>/dev/null
  [ -n "${hack_pid:-}" ] && kill -KILL "$hack_pid" 2>/dev/null
  [ -n "${wine_pid:-}" ] && kill "$wine_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
# shellcheck source=scripts/xvfb.sh
source "$root/scripts/xvfb.sh"
xvfb_start "$work/xvfb.log"
export SDL_VIDEODRIVER=x11
unset LUMO_HEADLESS
failures=0
bad() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}

# ---- Windows, under Wine ----

# wine_start <log> <program> <args...>: in the background, pid in wine_pid.
wine_start() {
  local log="$1"
  shift
  bash "$root/scripts/wine-run.sh" "$@" >"$log" 2>&1 &
  wine_pid=$!
}

# wine_ended <what> <tenths>: the program ended in that time with status 0.
wine_ended() {
  local status=0
  if ! gone "$wine_pid" "$2"; then
    bad "$1: still running after $(($2 / 10)).$(($2 % 10)) s"
    kill "$wine_pid" 2>/dev/null || true
  fi
  wait "$wine_pid" || status=$?
  [ "$status" -eq 0 ] || bad "$1: ends with status $status"
  wine_pid=""
}

# shows <png> <check arguments...>: a screenshot of the root window passes
# screensaver_check.py within 30 s (an emulated processor draws slowly);
# the last one taken stays as <png>.
shows() {
  local png="$1" i
  shift
  for ((i = 0; i < 10; i++)); do
    import -window root "$png"
    python3 "$check" "${@:1:2}" "$png" "${@:3}" && return 0
    sleep 3
  done
  return 1
}

# x_window_named <name> <tenths>: an X window of that name is mapped in time.
x_window_named() {
  local i
  for ((i = 0; i < $2; i++)); do
    xwininfo -root -tree 2>/dev/null | grep -qF "\"$1\": (" && return 0
    sleep 0.1
  done
  return 1
}

# full_screen <scr> <what> <ending...>: /s covers the screen; a 1-pixel move
# leaves it; the ending (an xdotool command) ends it within a second.
full_screen() {
  local scr="$1" what="$2"
  shift 2
  xdotool mousemove 640 512
  wine_start "$work/$what.log" "$scr" /s
  if ! x_window_named "$program" 1200; then
    bad "$what: no full-screen window"
    kill "$wine_pid" 2>/dev/null || true
    wait "$wine_pid" 2>/dev/null || true
    return
  fi
  sleep 2
  if [ "$program" = fumes ]; then
    shows "$art/$what.png" fumes "$scheme" 0 0 1280 1024 || bad "$what: no smoke over the screen"
  else
    shows "$art/$what.png" twistview - 0 0 1280 1024 || bad "$what: no picture over the screen"
  fi
  xdotool mousemove_relative 1 0
  sleep 1
  [ -n "$(ps -o stat= -p "$wine_pid" | grep -v Z)" ] || bad "$what: a 1-pixel move ended it"
  "$@"
  wine_ended "$what, after xdotool $*" 10
}

windows_mode() {
  local dir="$1" flavour program scheme scr
  export LUMO_WINEPREFIX="${LUMO_WINEPREFIX:-$dir/wineprefix-screensaver}"
  probe="$dir/bin/saver_probe.exe"
  flavour="$(basename "$dir")"
  bash "$root/scripts/wine-end.sh" "$LUMO_WINEPREFIX"
  for program in fumes twistview; do
    scr="$dir/bin/$program.scr"
    [ -f "$scr" ] || { bad "no $scr"; continue; }
    bash "$root/scripts/wine-run.sh" "$probe" prefix "$program" || bad "cannot set up the prefix"
    scheme=1
    full_screen "$scr" "$program-scr-$flavour" xdotool mousemove_relative 20 0
    if [ "$program" = fumes ]; then
      full_screen "$scr" "$program-scr-$flavour-key" xdotool key space
      full_screen "$scr" "$program-scr-$flavour-click" xdotool click 1
    fi

    # /p: a child filling the probe's window, ending when that goes.
    local said="$work/$program-parent.txt"
    rm -f "$said"
    bash "$root/scripts/wine-run.sh" "$probe" parent "Z:${said//\//\\}" 12 >"$work/parent.log" 2>&1 &
    local parent_pid=$! hwnd="" i
    for ((i = 0; i < 600; i++)); do
      # (The probe writes Windows line ends.)
      hwnd="$(sed -n 's/^hwnd \([0-9]*\).*/\1/p' "$said" 2>/dev/null || true)"
      [ -n "$hwnd" ] && break
      sleep 0.1
    done
    if [ -z "$hwnd" ]; then
      bad "$program /p: the probe made no window"
    else
      wine_start "$work/$program-preview.log" "$scr" /p "$hwnd"
      local shot=""
      for ((i = 0; i < 600; i++)); do
        grep -q '^destroyed' "$said" 2>/dev/null && break
        # (Under Wine the child's pixels never reach the screen: the probe's
        # window, white, is what shows.)
        if [ -z "$shot" ] && grep -q '^fills' "$said" 2>/dev/null; then
          import -window root "$art/$program-scr-$flavour-preview.png"
          shot=1
        fi
        sleep 0.1
      done
      grep -q '^fills 320x240' "$said" || bad "$program /p: no child filling the window ($(cat "$said"))"
      wine_ended "$program /p, after its parent went" 10
    fi
    wait "$parent_pid" || bad "$program /p: the probe failed"

    # /c: the dialog, a changed option, and the next /s with it.
    if [ "$program" = fumes ]; then
      wine_start "$work/$program-settings.log" "$scr" /c
      if ! x_window_named "fumes settings" 1200; then
        bad "fumes /c: no dialog"
      elif ! bash "$root/scripts/wine-run.sh" "$probe" choose "fumes settings" 100 1; then
        bad "fumes /c: the second scheme cannot be chosen in its dialog"
      fi
      wine_ended "fumes /c, after OK" 50
      scheme=2
      full_screen "$scr" "$program-scr-$flavour-scheme2" xdotool mousemove_relative 20 0
      bash "$root/scripts/wine-run.sh" "$probe" prefix "$program" || true
    fi
  done
  bash "$root/scripts/wine-end.sh" "$LUMO_WINEPREFIX"
}

# No shared-memory segment made by process $1 is left.
no_segments_of() {
  ! ipcs -m -p | awk -v pid="$1" '$3 == pid { found = 1 } END { exit !found }'
}

# gone <pid> <tenths>: the process has ended within that time (a child of
# ours may wait as a zombie for its status to be taken).
gone() {
  local i
  for ((i = 0; i < $2; i++)); do
    case "$(ps -o stat= -p "$1" 2>/dev/null)" in "" | Z*) return 0 ;; esac
    sleep 0.1
  done
  return 1
}

window_mode() {
  local program args scheme
  for program in fumes twistview; do
    case "$program" in
      fumes) args=(-scheme 2) ;;
      twistview) args=(-picture 2 --delay 20000) ;;
    esac
    coproc WINDOW { /usr/bin/python3 "$here/x_window.py" 100 100 400 300; }
    local id
    read -r id <&"${WINDOW[0]}"
    "$bin/$program" -window-id "$id" "${args[@]}" 2>"$work/$program.err" &
    hack_pid=$!
    sleep 3
    if [ "$program" = fumes ]; then
      shows "$art/$program-window.png" fumes 2 100 100 400 300 || bad "$program does not fill its window"
    else
      shows "$art/$program-window.png" twistview - 100 100 400 300 || bad "$program does not fill its window"
    fi
    echo "size 600 200" >&"${WINDOW[1]}"
    read -r _ <&"${WINDOW[0]}"
    sleep 2
    if [ "$program" = fumes ]; then
      shows "$art/$program-resized.png" fumes 2 100 100 600 200 || bad "$program does not follow the resize"
    else
      shows "$art/$program-resized.png" twistview - 100 100 600 200 || bad "$program does not follow the resize"
    fi
    kill -TERM "$hack_pid"
    local status=0
    wait "$hack_pid" || status=$?
    [ "$status" -eq 0 ] || bad "$program ends with $status on SIGTERM: $(cat "$work/$program.err")"
    no_segments_of "$hack_pid" || bad "$program left a shared-memory segment"
    hack_pid=""
    exec {WINDOW[1]}>&-
    wait "$WINDOW_PID" 2>/dev/null || true
  done
}

# as_nobody <command...>: unprivileged, with the private HOME and the
# programs first on PATH, as the daemon refuses to start hacks as root.
as_nobody() {
  setpriv --reuid=65534 --regid=65534 --clear-groups \
    env -i HOME="$work/home" PATH="$work/bin:/usr/bin:/bin" DISPLAY="$DISPLAY" SDL_VIDEODRIVER=x11 "$@"
}

daemon_mode() {
  if ! command -v xscreensaver >/dev/null || ! command -v setpriv >/dev/null; then
    echo "the daemon test needs xscreensaver and setpriv (scripts/install-deps.sh installs them)"
    return 1
  fi
  # The build folder may be closed to other users: the programs go to one
  # that is not, the codec module beside them, the platform library found
  # through LD_LIBRARY_PATH.
  mkdir -p "$work/bin" "$work/home"
  cp "$bin/fumes" "$bin/twistview" "$bin/GdiPlus.dll" "$bin"/liblumo_platform.so* "$work/bin/"
  chmod -R a+rX "$work/bin"
  local program line
  for program in fumes twistview; do
    # The user's steps from the README: the hack's line in ~/.xscreensaver.
    cat >"$work/home/.xscreensaver" <<CONF
timeout: 1:00:00
cycle: 0
lock: False
splash: False
fade: False
unfade: False
mode: one
selected: 0
programs: $program --root
CONF
    chown -R 65534:65534 "$work/home"
    local i start
    for start in first second; do
      as_nobody LD_LIBRARY_PATH="$work/bin" xscreensaver -no-splash >"$work/daemon.log" 2>&1 &
      daemon_pid=$!
      for ((i = 0; i < 100; i++)); do
        as_nobody xscreensaver-command -time >/dev/null 2>&1 && break 2
        sleep 0.1
      done
      # A daemon that does not answer within 10 s (a loaded host, or the last
      # one's processes still going): said, ended, and started once more.
      echo "the daemon's $start start does not answer: $(cat "$work/daemon.log")"
      kill "$daemon_pid" 2>/dev/null || true
      wait "$daemon_pid" 2>/dev/null || true
      pkill -u 65534 -x xscreensaver 2>/dev/null || true
      pkill -u 65534 -f xscreensaver-gfx 2>/dev/null || true
      sleep 1
    done
    as_nobody xscreensaver-command -activate >/dev/null
    hack_pid=""
    for ((i = 0; i < 50; i++)); do
      hack_pid="$(pgrep -u 65534 -x "$program" || true)"
      [ -n "$hack_pid" ] && break
      sleep 0.1
    done
    if [ -z "$hack_pid" ]; then
      bad "the daemon did not start $program: $(cat "$work/daemon.log")"
    else
      sleep 3
      if [ "$program" = fumes ]; then
        shows "$art/$program-xscreensaver.png" fumes 1 0 0 1280 1024 || bad "no smoke on the screen"
      else
        shows "$art/$program-xscreensaver.png" twistview - 0 0 1280 1024 || bad "no picture on the screen"
      fi
      as_nobody xscreensaver-command -deactivate >/dev/null
      gone "$hack_pid" 10 || bad "$program still runs a second after -deactivate"
      no_segments_of "$hack_pid" || bad "$program left a shared-memory segment"
    fi
    as_nobody xscreensaver-command -exit >/dev/null 2>&1 || true
    gone "$daemon_pid" 50 || kill "$daemon_pid"
    wait "$daemon_pid" 2>/dev/null || true
    daemon_pid=""
    # The daemon's display half (xscreensaver-gfx) may outlive it a moment;
    # the next daemon starts once it has gone.
    for ((i = 0; i < 50; i++)); do
      pgrep -u 65534 -f xscreensaver-gfx >/dev/null || break
      sleep 0.1
    done
    # The daemon's launcher ends without waiting for its hack, which is then
    # init's to reap: a hack that has ended may wait as a zombie of PID 1 here,
    # where PID 1 reaps slowly or not at all. Anything else is left over.
    if ps -o ppid=,stat=,comm= -u 65534 | awk -v p="$program" '$3 == p && !($2 ~ /^Z/ && $1 == 1) { f = 1 } END { exit !f }'; then
      bad "a $program process is left: $(ps -o pid,ppid,stat,etime,args -u 65534)"
    fi
    hack_pid=""
  done
}

if [ "$native" != - ]; then
  bin="$(cd "$native" && pwd)/bin"
  echo "-- native: -window-id"
  window_mode
  echo "-- native: the xscreensaver daemon"
  daemon_mode || bad "the daemon test cannot run"
fi
if [ "$windows" != - ]; then
  windows_mode "$(cd "$windows" && pwd)"
fi
if [ "$failures" -eq 0 ]; then
  echo "screensaver_e2e: all checks passed"
  exit 0
fi
echo "screensaver_e2e: $failures checks failed"
exit 1

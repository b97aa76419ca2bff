#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# A private virtual X display (Xvfb, 1280 x 1024, 24 bits), started the one
# way every script and test here starts one: Xvfb takes a free display number
# itself and says which (-displayfd), so no lock files are scanned and two
# runs never take the same display. scripts/xvfb.py does the same for the
# Python scripts.
#
# usage: xvfb.sh <command> [args...]
#   Runs the command on a display of its own and ends the display after it.
#   The exit status is the command's; 125 when no display could be started.
#
# Sourced: xvfb_start [log file] starts a display, exports DISPLAY and ends
# the display when the shell exits. A script with an EXIT trap of its own
# sets it first: xvfb_start keeps it and runs it before ending the display.
# xvfb_stop ends the display earlier.

xvfb_pid=""
xvfb_previous_exit=""

# xvfb_start [log file]: Xvfb's messages go to the log (default: nowhere).
# shellcheck disable=SC2120 # the scripts that source this pass the log
xvfb_start() {
  local log="${1:-/dev/null}" fifo number=""
  [ -z "$xvfb_pid" ] || xvfb_stop
  if ! command -v Xvfb >/dev/null; then
    echo "xvfb: Xvfb is not installed" >&2
    return 1
  fi
  fifo="$(mktemp -d "${TMPDIR:-/tmp}/lumo-xvfb.XXXXXX")" || return 1
  mkfifo "$fifo/display"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo/display" </dev/null >/dev/null 2>"$log" &
  xvfb_pid=$!
  # Xvfb writes the number once it accepts connections; EOF if it fails.
  read -r -t 60 number <"$fifo/display" || true
  rm -rf "$fifo"
  if [ -z "$number" ] || ! kill -0 "$xvfb_pid" 2>/dev/null; then
    echo "xvfb: the virtual X server did not start${1:+ (see $1)}" >&2
    xvfb_stop
    return 1
  fi
  export DISPLAY=":$number"
  if [ "$(trap -p EXIT)" != "trap -- '_xvfb_on_exit' EXIT" ]; then
    xvfb_previous_exit="$(trap -p EXIT)"
    trap _xvfb_on_exit EXIT
  fi
}

# xvfb_stop: ends the display and waits until it is gone.
xvfb_stop() {
  [ -n "$xvfb_pid" ] || return 0
  kill "$xvfb_pid" 2>/dev/null || true
  wait "$xvfb_pid" 2>/dev/null || true
  xvfb_pid=""
}

# The script's own EXIT trap first, whatever it meets, then the display.
_xvfb_on_exit() {
  if [ -n "$xvfb_previous_exit" ]; then
    eval "set -- $xvfb_previous_exit"
    eval "$3" || true
  fi
  xvfb_stop
}

# xvfb_run <command> [args...]: the command on a display of its own, with
# the caller's standard input; a TERM or INT is passed on to it.
xvfb_run() {
  xvfb_start || return 125
  local child status=0
  "$@" <&0 &
  child=$!
  trap 'kill -TERM "$child" 2>/dev/null || true' TERM INT HUP
  wait "$child" || status=$?
  # A signal ends the first wait early: the command's own status follows.
  while kill -0 "$child" 2>/dev/null; do wait "$child" || status=$?; done
  trap - TERM INT HUP
  return "$status"
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  set -euo pipefail
  if [ $# -eq 0 ] || [ "$1" = -h ] || [ "$1" = --help ]; then
    echo "usage: xvfb.sh <command> [args...]"
    [ $# -gt 0 ] && exit 0
    exit 2
  fi
  xvfb_run "$@"
fi

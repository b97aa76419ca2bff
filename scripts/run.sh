#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The main job: install what is missing, build natively and for Windows, then
# show fumes and twistview. Without a display both run on a virtual one for a
# few seconds and their screenshots are saved instead.
#
# usage: scripts/run.sh
set -euo pipefail
case "${1:-}" in -h | --help) echo "usage: scripts/run.sh" && exit 0 ;; esac
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" native windows windows64

bin="$root/build/native/bin"
programs=()
for p in fumes twistview; do
  if [ -x "$bin/$p" ]; then
    programs+=("$p")
  else
    echo "run: $p is not built yet"
  fi
  for flavour in windows windows64; do
    exe="$root/build/$flavour/bin/$p.exe"
    if [ -f "$exe" ]; then echo "run: Windows build ($flavour): $exe"; fi
  done
done
[ "${#programs[@]}" -gt 0 ] || { echo "run: no program to show yet"; exit 0; }

if [ -n "${DISPLAY:-}" ]; then
  echo "run: starting ${programs[*]} (Escape ends each)"
  pids=()
  for p in "${programs[@]}"; do
    "$bin/$p" & pids+=($!)
  done
  status=0
  for pid in "${pids[@]}"; do wait "$pid" || status=$?; done
  exit "$status"
fi

out="$root/artifacts/run"
mkdir -p "$out"
echo "run: no display; running ${programs[*]} on a virtual display for a few seconds"
bash "$root/scripts/xvfb.sh" bash -c '
  set -euo pipefail
  out="$1"; bin="$2"; shift 2
  for p in "$@"; do
    "$bin/$p" & pid=$!
    sleep 4
    id=$(xdotool search --sync --onlyvisible --pid "$pid" 2>/dev/null | head -n 1) || true
    if [ -n "$id" ]; then
      if import -window "$id" "$out/$p.png"; then echo "run: screenshot of $p: $out/$p.png"; fi
      xdotool key --window "$id" Escape 2>/dev/null || true
    fi
    for _ in 1 2 3 4 5 6 7 8 9 10; do kill -0 "$pid" 2>/dev/null || break; sleep 0.5; done
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
' _ "$out" "$bin" "${programs[@]}"

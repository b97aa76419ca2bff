#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The first look: installs and builds only what showing the demos needs, then
# shows fumes and twistview. Without a display both run on a virtual one for
# a few seconds and their screenshots are saved to artifacts/run/ instead.
#
# usage: scripts/run.sh [--windows | --web [port]]
#   (none)     the native programs
#   --windows  the i686 Windows programs under Wine (through qemu where this
#              host runs no 32-bit code)
#   --web      builds the web site and serves it, as scripts/web.sh does
set -euo pipefail
usage="usage: scripts/run.sh [--windows | --web [port]]
  (none)     build and show the native fumes and twistview
  --windows  build the i686 Windows programs and show them under Wine
  --web      build the web site and serve it on this machine (scripts/web.sh)"
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
flavour=native
case "${1:-}" in
  -h | --help) echo "$usage" && exit 0 ;;
  --web) shift && exec "$root/scripts/web.sh" "$@" ;;
  --windows) flavour=windows ;;
  "") ;;
  *) echo "$usage" >&2 && exit 2 ;;
esac
jobs="${LUMO_JOBS:-$(nproc)}"
sets=(demos)
[ "$flavour" = native ] || sets=(windows)
[ -n "${DISPLAY:-}" ] || sets+=(screenshots)
"$root/scripts/install-deps.sh" "${sets[@]}"

# The same tree the test command uses: it turns the tests and benchmarks
# back on and builds what is missing.
echo "== configure and build: $flavour (the programs only)"
cmake --preset "$flavour" -DLUMO_BUILD_TESTS=OFF -DLUMO_BUILD_BENCH=OFF >/dev/null
targets=(fumes twistview)
# Natively the picture codec is a module loaded at run time; on Windows it is
# the system's.
[ "$flavour" = windows ] || targets+=(lumo_gdiplus)
cmake --build --preset "$flavour" -j "$jobs" --target "${targets[@]}"

bin="$root/build/$flavour/bin"
if [ "$flavour" = windows ]; then
  # Wine's loader is the process; the program is found by its window title.
  programs=(fumes.exe twistview.exe)
  prefix="$root/build/windows/wineprefix-run"
  wine() { bash "$root/scripts/i386-run.sh" --prefix "$prefix" env LUMO_WINEPREFIX="$prefix" \
    bash "$root/scripts/wine-run.sh" "$@"; }
  start() { wine "$bin/$1"; }
  if [ ! -f "$prefix/system.reg" ]; then
    echo "run: making a Wine prefix for the programs (once)"
    wine cmd /c exit >/dev/null 2>&1 || true
  fi
else
  programs=(fumes twistview)
  start() { "$bin/$1"; }
fi

if [ -n "${DISPLAY:-}" ]; then
  echo "run: starting ${programs[*]} (Escape ends each)"
  pids=()
  for p in "${programs[@]}"; do
    start "$p" & pids+=($!)
  done
  status=0
  for pid in "${pids[@]}"; do wait "$pid" || status=$?; done
  exit "$status"
fi

out="$root/artifacts/run"
[ "$flavour" = native ] || out="$out/$flavour"
mkdir -p "$out"
echo "run: no display; running ${programs[*]} on a virtual display for a few seconds"
# shellcheck source=xvfb.sh
source "$root/scripts/xvfb.sh"
xvfb_start
for p in "${programs[@]}"; do
  name="${p%.exe}"
  start "$p" & pid=$!
  # Found by its title, which starts with the program's name: under Wine the
  # window is not the started process's. A first frame follows within a few
  # seconds.
  id=$(timeout 120 xdotool search --sync --onlyvisible --name "^$name - " 2>/dev/null | head -n 1) || true
  sleep 2
  if [ -n "$id" ] && import -window "$id" "$out/$name.png"; then
    echo "run: screenshot of $name: $out/$name.png"
  else
    echo "run: $name showed no window"
  fi
  [ -z "$id" ] || xdotool key --window "$id" Escape 2>/dev/null || true
  for _ in $(seq 20); do kill -0 "$pid" 2>/dev/null || break; sleep 0.5; done
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
done

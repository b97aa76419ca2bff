#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Configures and builds the given presets (default: native and windows).
#
# usage: build.sh [preset...]
set -euo pipefail
case "${1:-}" in -h | --help) echo "usage: build.sh [preset...]" && exit 0 ;; esac
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
jobs="${LUMO_JOBS:-$(nproc)}"
presets=("$@")
[ "${#presets[@]}" -gt 0 ] || presets=(native windows)
for preset in "${presets[@]}"; do
  echo "== configure and build: $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
done

#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Configures and builds the given presets (default: native and windows).
set -euo pipefail
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

#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the web site of both programs (the "web" preset) and serves it on
# this machine until Ctrl+C:
#   scripts/web.sh [port]        (default 8000)
# It prints the address to open. The site itself is static files in
# build/web/site; any static web host serves it the same way.
set -euo pipefail
case "${1:-}" in -h | --help) echo "usage: scripts/web.sh [port]" && exit 0 ;; esac
root="$(cd "$(dirname "$0")/.." && pwd)"
port="${1:-8000}"
"$root/scripts/install-deps.sh" web
# The site alone: the test command turns the tests and the benchmark page
# back on in the same tree.
cmake --preset web -DLUMO_BUILD_TESTS=OFF -DLUMO_BUILD_BENCH=OFF >/dev/null
cmake --build --preset web -j "${LUMO_JOBS:-2}" --target lumo_web_site
site="$root/build/web/site"
echo "web: twistview and fumes at http://127.0.0.1:$port/ (Ctrl+C stops)"
# Python's own server knows the types a browser wants (.wasm included).
exec python3 -m http.server "$port" --bind 127.0.0.1 --directory "$site"

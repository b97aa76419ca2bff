#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs what the build and the tests need on Debian 12. Safe to run again:
# it only calls apt-get when a package is missing.
#
# usage: install-deps.sh
set -euo pipefail
case "${1:-}" in -h | --help) echo "usage: install-deps.sh" && exit 0 ;; esac

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi

PACKAGES=(
  build-essential cmake ninja-build pkg-config git clang clang-format
  libclang-rt-14-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  libsdl2-dev libx11-dev libxext-dev libfreetype-dev libfontconfig-dev fontconfig
  libjpeg62-turbo-dev libpng-dev zlib1g-dev libpixman-1-dev
  fonts-dejavu-core fonts-wine
  g++-mingw-w64-i686 mingw-w64-tools binutils-mingw-w64-i686
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine64
  xvfb xauth xdotool x11-utils imagemagick zenity python3 python3-matplotlib
  dpkg-dev lintian desktop-file-utils zip
  emscripten chromium
)
# Node.js and npm run the web build's tests; a Node.js from elsewhere (with
# its own npm) serves as well as Debian's.
command -v node >/dev/null || PACKAGES+=(nodejs)
command -v npm >/dev/null || PACKAGES+=(npm)
I386_PACKAGES=(wine wine32:i386)
# The screensaver tests: a real xscreensaver daemon, and Debian's python3-xlib
# for the window the -window-id test hands to a hack.
PACKAGES+=(xscreensaver xscreensaver-data python3-xlib)

# qemu-user 8 or later, from the release's backports suite: the i686 tests
# run through it where the kernel runs no 32-bit code, and the processor-model
# runs everywhere. Without it those suites are skipped, with the reason.
"$(dirname "$0")/install-qemu.sh" || echo "install-deps: no qemu-user 8 or later; the test command will skip what needs it"

missing=()
for p in "${PACKAGES[@]}" "${I386_PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

need_i386=0
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  need_i386=1
fi

if [ "${#missing[@]}" -eq 0 ] && [ "$need_i386" -eq 0 ]; then
  echo "install-deps: every Debian package is already installed"
else
  export DEBIAN_FRONTEND=noninteractive
  if [ "$need_i386" -eq 1 ]; then
    echo "install-deps: adding the i386 architecture for Wine"
    $SUDO dpkg --add-architecture i386
  fi
  echo "install-deps: installing ${missing[*]}"
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The browser tests' npm packages, exactly as their lock file pins them;
# again only when the lock file changed. They drive Debian's Chromium, so no
# browser is downloaded.
e2e="$(cd "$(dirname "$0")/.." && pwd)/tests/e2e/web"
stamp="$e2e/node_modules/.lumo-lock"
lock="$(sha256sum "$e2e/package-lock.json" | cut -d' ' -f1)"
if [ "$(cat "$stamp" 2>/dev/null)" != "$lock" ]; then
  echo "install-deps: installing the browser tests' npm packages"
  (cd "$e2e" && PUPPETEER_SKIP_DOWNLOAD=1 npm ci --no-audit --no-fund --loglevel=error)
  echo "$lock" >"$stamp"
fi

#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs what the build and the tests need on Debian 12, by purpose, so
# that the first look at the demos waits for no test tool. Safe to run again:
# it only calls apt-get when a package is missing.
#
# usage: install-deps.sh [--list] [SET...]
#   demos        build and run the native programs: compilers, cmake, ninja,
#                SDL2, FreeType, fontconfig and a font, libjpeg-turbo,
#                libpng, zenity for the file dialog
#   screenshots  a virtual display and its screenshots: Xvfb, xdotool,
#                ImageMagick
#   windows      the i686 Windows programs under Wine: MinGW-w64 (i686),
#                Wine with the i386 architecture, and qemu-user where this
#                host runs no 32-bit code
#   web          the WebAssembly build: emscripten, terser
#   tests        the rest of the test command: sanitizers, GoogleTest and
#                Benchmark, the x86-64 Windows flavour, Chromium and the
#                browser tests' npm packages, qemu-user for the processor
#                models, the packaging tools, xscreensaver and python3-xlib
#                for the screensaver tests, the arm64 cross build
#                (scripts/install-arm64.sh)
# No SET means every set, as the test command wants. --list prints the
# Debian packages of the sets, one a line, and installs nothing.
set -euo pipefail
usage="usage: install-deps.sh [--list] [demos|screenshots|windows|web|tests...]"
case "${1:-}" in -h | --help) echo "$usage" && exit 0 ;; esac
here="$(cd "$(dirname "$0")" && pwd)"
list=0
if [ "${1:-}" = --list ]; then
  list=1
  shift
fi
sets=("$@")
[ "${#sets[@]}" -gt 0 ] || sets=(demos screenshots windows web tests)

# Every set builds with these.
PACKAGES=(build-essential cmake ninja-build pkg-config python3)
I386_PACKAGES=()
qemu=""   # "always", "where needed" or empty
npm_ci=0
for set in "${sets[@]}"; do
  case "$set" in
    demos)
      PACKAGES+=(libsdl2-dev libx11-dev libxext-dev libfreetype-dev libfontconfig-dev fontconfig
        fonts-dejavu-core libjpeg62-turbo-dev libpng-dev zlib1g-dev zenity)
      ;;
    screenshots) PACKAGES+=(xvfb xauth xdotool x11-utils imagemagick) ;;
    windows)
      PACKAGES+=(g++-mingw-w64-i686 mingw-w64-tools binutils-mingw-w64-i686 wine64 fonts-wine)
      I386_PACKAGES+=(wine wine32:i386)
      [ "$qemu" = always ] || qemu="where needed"
      ;;
    web)
      # terser shrinks the pages' JavaScript (cmake/LumoWeb.cmake).
      PACKAGES+=(emscripten node-terser)
      # Node.js runs the web build's tests; one from elsewhere serves as well.
      command -v node >/dev/null || PACKAGES+=(nodejs)
      ;;
    tests)
      PACKAGES+=(git clang clang-format libclang-rt-14-dev
        googletest libgtest-dev libgmock-dev libbenchmark-dev libpixman-1-dev
        g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
        python3-matplotlib dpkg-dev lintian desktop-file-utils zip chromium)
      command -v npm >/dev/null || PACKAGES+=(npm)
      # The screensaver tests: a real xscreensaver daemon, and Debian's
      # python3-xlib for the window the -window-id test hands to a hack.
      PACKAGES+=(xscreensaver xscreensaver-data python3-xlib)
      # The processor-model runs go through qemu on every host.
      qemu=always
      npm_ci=1
      ;;
    *) echo "install-deps: no set '$set'; $usage" >&2 && exit 2 ;;
  esac
done

if [ "$list" -eq 1 ]; then
  printf '%s\n' "${PACKAGES[@]}" "${I386_PACKAGES[@]}"
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi

# qemu-user 8 or later, from the release's backports suite: the i686 tests
# run through it where the kernel runs no 32-bit code, and the processor-model
# runs everywhere. Without it those suites are skipped, with the reason.
if [ "$qemu" = "where needed" ] && bash "$here/i386-probe.sh" >/dev/null; then
  qemu=""
fi
if [ -n "$qemu" ]; then
  "$here/install-qemu.sh" || echo "install-deps: no qemu-user 8 or later; what needs it will be skipped"
fi
# The arm64 cross build, for the tests (scripts/install-arm64.sh); without it
# its suites are skipped, with the reason.
if [[ " ${sets[*]} " == *" tests "* ]]; then
  "$here/install-arm64.sh" || echo "install-deps: no arm64 cross build; its suites will be skipped"
fi

# Whole answers are compared, not piped into grep -q: under pipefail a grep
# that stops early can fail the pipe, and a present package would count as
# missing. dpkg-query says one line per architecture the package is known for.
missing=()
for p in "${PACKAGES[@]}" "${I386_PACKAGES[@]}"; do
  status="$(dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null)" || true
  [[ $'\n'"$status"$'\n' == *$'\n'"install ok installed"$'\n'* ]] || missing+=("$p")
done

need_i386=0
foreign="$(dpkg --print-foreign-architectures)"
if [ "${#I386_PACKAGES[@]}" -gt 0 ] && [[ $'\n'"$foreign"$'\n' != *$'\n'i386$'\n'* ]]; then
  need_i386=1
fi

if [ "${#missing[@]}" -eq 0 ] && [ "$need_i386" -eq 0 ]; then
  echo "install-deps: every Debian package of ${sets[*]} is already installed"
else
  if [ "$need_i386" -eq 1 ]; then
    echo "install-deps: adding the i386 architecture for Wine"
    $SUDO dpkg --add-architecture i386
  fi
  # The architecture alone needs no fresh lists: nothing is installed for it.
  if [ "${#missing[@]}" -gt 0 ]; then
    echo "install-deps: installing ${missing[*]}"
    if ! "$here/apt-install.sh" "${missing[@]}"; then
      echo "install-deps: could not install ${missing[*]}" >&2
      exit 1
    fi
  fi
fi

# The browser tests' npm packages, exactly as their lock file pins them;
# again only when the lock file changed. They drive Debian's Chromium, so no
# browser is downloaded.
if [ "$npm_ci" -eq 1 ]; then
  e2e="$(dirname "$here")/tests/e2e/web"
  stamp="$e2e/node_modules/.lumo-lock"
  lock="$(sha256sum "$e2e/package-lock.json" | cut -d' ' -f1)"
  if [ "$(cat "$stamp" 2>/dev/null)" != "$lock" ]; then
    echo "install-deps: installing the browser tests' npm packages"
    (cd "$e2e" && PUPPETEER_SKIP_DOWNLOAD=1 npm ci --no-audit --no-fund --loglevel=error)
    echo "$lock" >"$stamp"
  fi
fi

#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs what the arm64 preset needs on Debian 12 x86-64: Debian's aarch64
# cross toolchain and, through multiarch, the arm64 builds of the libraries
# the native layer, the tests and the benchmarks link. qemu-aarch64 (for
# running them) comes with scripts/install-qemu.sh.
#
# Safe to run again: apt-get runs only when something is missing. Exit
# status 1, with the reason on stderr, when it cannot be had; the test
# command then skips the arm64 suites and says why.
#
# usage: install-arm64.sh [--check]
#   --check   installs nothing; prints "yes" when all of it is installed, else
#             "no: <what is missing>" (exit status 1)
set -euo pipefail
usage="usage: install-arm64.sh [--check]"
check=0
case "${1:-}" in
  -h | --help) echo "$usage" && exit 0 ;;
  --check) check=1 ;;
  "") ;;
  *) echo "$usage" >&2 && exit 2 ;;
esac
export LC_ALL=C

say() { echo "install-arm64: $*" >&2; }
here="$(cd "$(dirname "$0")" && pwd)"

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"

PACKAGES=(
  crossbuild-essential-arm64
  libsdl2-dev:arm64 libx11-dev:arm64 libxext-dev:arm64
  libfreetype-dev:arm64 libfontconfig-dev:arm64
  libjpeg62-turbo-dev:arm64 libpng-dev:arm64 zlib1g-dev:arm64
  libbenchmark-dev:arm64 libpixman-1-dev:arm64
)

missing=()
for p in "${PACKAGES[@]}"; do
  # One line per architecture the package is known for.
  status="$(dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null)" || true
  [[ $'\n'"$status"$'\n' == *$'\n'"install ok installed"$'\n'* ]] || missing+=("$p")
done
if [ "$check" -eq 1 ]; then
  if [ "${#missing[@]}" -eq 0 ]; then echo yes && exit 0; fi
  echo "no: the arm64 build needs ${missing[*]} (scripts/install-arm64.sh installs them)"
  exit 1
fi
[ "${#missing[@]}" -gt 0 ] || exit 0

foreign="$(dpkg --print-foreign-architectures)"
if [[ $'\n'"$foreign"$'\n' != *$'\n'arm64$'\n'* ]]; then
  say "adding the arm64 architecture"
  $SUDO dpkg --add-architecture arm64
fi
say "installing ${missing[*]}"
if ! "$here/apt-install.sh" "${missing[@]}"; then
  say "the arm64 packages could not be installed"
  exit 1
fi

#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds what the packages need, writes every package into dist/ with
# dist/SHA256SUMS over them, and checks them (scripts/check_packages.sh):
#   lumo-demos_<version>_<arch>.deb   the demos, desktop entries and icons
#   lumo-dev_<version>_<arch>.deb     headers, static library, CMake config
#                                     (for this machine, and for arm64 where
#                                     its cross build can be had)
#   lumo-demos-<version>-windows-i686.zip     from the preset "windows"
#   lumo-demos-<version>-windows-x86_64.zip   from "windows64", where the
#                                             project has that preset
#   lumo-demos-<version>-web.zip              the static site of the preset
#                                             "web", for any static web host
# The Debian packages come from a hardened release build of their own
# (build/package, no tests; build/package-arm64 for arm64). The zips take
# the programs of the Windows presets' builds, which the test command has
# already made; each holds fumes.exe, twistview.exe, their screensavers
# fumes.scr and twistview.scr, README.txt and LICENSE.txt. The web zip holds the
# site's files and LICENSE.txt.
#
# usage: scripts/package.sh
set -euo pipefail
case "${1:-}" in -h | --help) echo "usage: scripts/package.sh" && exit 0 ;; esac
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
jobs="${LUMO_JOBS:-2}"
dist="$root/dist"

# The test command has installed everything already, just before.
[ "${LUMO_DEPS_READY:-}" = 1 ] || "$root/scripts/install-deps.sh"
mkdir -p "$dist"

# Every package this run writes, by file name, for the checksums.
written=()
publish() { # <file>: copies it into dist/
  cp "$1" "$dist/"
  written+=("$(basename "$1")")
  echo "package: $dist/$(basename "$1")"
}

# debs <build dir> [cmake options...]: the Debian packages of a hardened
# release build of their own (no tests), published. DEB_HOST_ARCH, where
# set, names the architecture they are for.
debs() {
  local pkgbuild="$1"
  shift
  (
    # Debian's hardening flags: stack protector, fortified calls, full RELRO.
    # CMake reads them from the environment when it first configures.
    eval "$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --export=sh)"
    # No debugging information: the package has no -dbgsym companion.
    export CXXFLAGS="$CPPFLAGS ${CXXFLAGS//-g /}" CFLAGS="$CPPFLAGS ${CFLAGS//-g /}"
    cmake -S "$root" -B "$pkgbuild" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DLUMO_BUILD_TESTS=OFF -DLUMO_BUILD_BENCH=OFF -DLUMO_BUILD_FUZZ=OFF "$@" >/dev/null
  )
  cmake --build "$pkgbuild" -j "$jobs"
  rm -f "$pkgbuild"/*.deb
  (cd "$pkgbuild" && cpack -G DEB)
  local deb
  for deb in "$pkgbuild"/*.deb; do
    publish "$deb"
    dpkg-deb --field "$deb" Package Version Architecture Depends | sed 's/^/  /'
  done
}

echo "== Debian packages"
debs "$root/build/package"
# The one version of everything: the CMake project's.
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' "$root/build/package/CMakeCache.txt")

# The same packages for arm64, cross-compiled, where the toolchain and the
# arm64 libraries are installed and arm64 programs run here (their checks
# run them); the test command counts them as skipped otherwise.
arm64_ready="$("$root/scripts/install-arm64.sh" --check)" || true
[ "${arm64_ready%%:*}" = no ] || arm64_ready="$(bash "$root/scripts/arm64-run.sh" --check)" || true
if [ "${arm64_ready%%:*}" = no ]; then
  echo "== Debian packages for arm64: skipped: ${arm64_ready#no: }"
else
  echo "== Debian packages for arm64 (cross-compiled)"
  DEB_HOST_ARCH=arm64 debs "$root/build/package-arm64" \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-aarch64-linux-gnu.cmake"
fi

# crlf <input> <output> [sed expressions...]: Windows line ends, so that
# every editor shows the lines.
crlf() {
  local input="$1" output="$2"
  shift 2
  sed "$@" -e 's/$/\r/' "$input" >"$output"
}

# new_stage <preset> <name>: an empty folder build/<preset>/zip/<name> to
# gather a zip's files in.
new_stage() {
  local stage="$root/build/$1/zip/$2"
  rm -rf "$stage"
  mkdir -p "$stage"
  echo "$stage"
}

# zip_stage <stage>: the folder zipped beside it as <name>.zip, published.
zip_stage() {
  local name
  name="$(basename "$1")"
  rm -f "$1/../$name.zip"
  (cd "$1/.." && zip -q -X -r "$name.zip" "$name")
  publish "$1/../$name.zip"
}

make_zip() { # <preset> <flavour>
  local preset="$1" flavour="$2"
  echo "== Windows zip: $flavour (preset $preset)"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs" --target fumes twistview fumes_scr twistview_scr
  local stage
  stage="$(new_stage "$preset" "lumo-demos-$version-windows-$flavour")"
  cp "$root/build/$preset/bin/fumes.exe" "$root/build/$preset/bin/twistview.exe" \
    "$root/build/$preset/bin/fumes.scr" "$root/build/$preset/bin/twistview.scr" "$stage/"
  crlf "$root/packaging/windows/README.txt" "$stage/README.txt" -e "s/@LUMO_VERSION@/$version/" \
    -e "s/@LUMO_FLAVOUR@/$flavour/"
  crlf "$root/LICENSE" "$stage/LICENSE.txt"
  zip_stage "$stage"
}

make_zip windows i686
# (grep reads it all: with -q cmake could die of a closed pipe.)
if cmake --list-presets 2>/dev/null | grep '"windows64"' >/dev/null; then
  make_zip windows64 x86_64
else
  echo "== Windows zip: x86_64 skipped (the project has no preset \"windows64\")"
fi

echo "== web site zip (preset web)"
cmake --preset web >/dev/null
cmake --build --preset web -j "$jobs" --target lumo_web_site
web_stage="$(new_stage web "lumo-demos-$version-web")"
cp -R "$root/build/web/site/." "$web_stage/"
cp "$root/LICENSE" "$web_stage/LICENSE.txt"
zip_stage "$web_stage"

(cd "$dist" && sha256sum "${written[@]}" >SHA256SUMS)
echo "package: $dist/SHA256SUMS"

"$root/scripts/check_packages.sh" "$dist"

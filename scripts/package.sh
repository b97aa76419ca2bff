#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds what the packages need and writes every package into dist/:
#   lumo-demos_<version>_<arch>.deb   the demos, desktop entries and icons
#   lumo-dev_<version>_<arch>.deb     headers, static library, CMake config
#   lumo-demos-<version>-windows-i686.zip     from the preset "windows"
#   lumo-demos-<version>-windows-x86_64.zip   from "windows64", where the
#                                             project has that preset
#   lumo-demos-<version>-web.zip              the static site of the preset
#                                             "web", for any static web host
# The Debian packages come from a release build of their own (build/package,
# no tests), checked with lintian when it is installed; each zip holds
# fumes.exe, twistview.exe and README.txt, and its programs must import
# system DLLs only.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
jobs="${LUMO_JOBS:-2}"
dist="$root/dist"

"$root/scripts/install-deps.sh"
mkdir -p "$dist"
version=$(sed -n 's/^project(Lumo VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)

echo "== Debian packages"
pkgbuild="$root/build/package"
(
  # Debian's hardening flags: stack protector, fortified calls, full RELRO.
  # CMake reads them from the environment when it first configures.
  eval "$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --export=sh)"
  # No debugging information: the package has no -dbgsym companion.
  export CXXFLAGS="$CPPFLAGS ${CXXFLAGS//-g /}" CFLAGS="$CPPFLAGS ${CFLAGS//-g /}"
  cmake -S "$root" -B "$pkgbuild" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DLUMO_BUILD_TESTS=OFF -DLUMO_BUILD_BENCH=OFF -DLUMO_BUILD_FUZZ=OFF >/dev/null
)
cmake --build "$pkgbuild" -j "$jobs"
rm -f "$pkgbuild"/*.deb
(cd "$pkgbuild" && cpack -G DEB)
for deb in "$pkgbuild"/*.deb; do
  cp "$deb" "$dist/"
  echo "package: $dist/$(basename "$deb")"
  dpkg-deb --field "$deb" Package Version Architecture Depends | sed 's/^/  /'
done
if command -v lintian >/dev/null; then
  # Errors fail the packaging; warnings are shown.
  lintian --fail-on error "$pkgbuild"/*.deb
fi

# Imports of a PE file that are not system DLLs (the runtime is static).
foreign_imports() {
  "$1" -p "$2" | sed -n 's/^[[:space:]]*DLL Name: //p' |
    grep -viE '^(kernel32|user32|gdi32|comdlg32|ole32|oleaut32|advapi32|shell32|msvcrt|gdiplus|ws2_32|winmm)\.dll$|^api-ms-win-' || true
}

make_zip() { # <preset> <flavour> <objdump>
  local preset="$1" flavour="$2" objdump="$3"
  echo "== Windows zip: $flavour (preset $preset)"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs" --target fumes twistview
  local bin="$root/build/$preset/bin"
  local name="lumo-demos-$version-windows-$flavour"
  local stage="$root/build/$preset/zip/$name"
  rm -rf "$stage"
  mkdir -p "$stage"
  local exe bad
  for exe in fumes.exe twistview.exe; do
    bad=$(foreign_imports "$objdump" "$bin/$exe")
    if [ -n "$bad" ]; then
      echo "package: $exe of $flavour imports non-system DLLs: $bad" >&2
      exit 1
    fi
    cp "$bin/$exe" "$stage/"
  done
  # Windows line ends, so that every editor shows the lines.
  sed -e "s/@LUMO_VERSION@/$version/" -e "s/@LUMO_FLAVOUR@/$flavour/" -e 's/$/\r/' \
    "$root/packaging/windows/README.txt" >"$stage/README.txt"
  rm -f "$dist/$name.zip"
  (cd "$stage/.." && zip -q -X -r "$dist/$name.zip" "$name")
  echo "package: $dist/$name.zip"
}

make_zip windows i686 i686-w64-mingw32-objdump
if cmake --list-presets 2>/dev/null | grep -q '"windows64"'; then
  make_zip windows64 x86_64 x86_64-w64-mingw32-objdump
else
  echo "== Windows zip: x86_64 skipped (the project has no preset \"windows64\")"
fi

echo "== web site zip (preset web)"
cmake --preset web >/dev/null
cmake --build --preset web -j "$jobs" --target lumo_web_site
web_name="lumo-demos-$version-web"
web_stage="$root/build/web/zip/$web_name"
rm -rf "$web_stage"
mkdir -p "$web_stage"
cp -R "$root/build/web/site/." "$web_stage/"
rm -f "$dist/$web_name.zip"
(cd "$web_stage/.." && zip -q -X -r "$dist/$web_name.zip" "$web_name")
echo "package: $dist/$web_name.zip"

echo "package: done; dist/ holds:"
ls -l "$dist"

#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Checks the packages that scripts/package.sh wrote, as dist/SHA256SUMS lists
# them (package.sh runs this last):
#   - the checksums hold, and the two Debian packages, the i686 zip and the
#     web zip are among the packages, all of the project's version;
#   - each .deb: lintian without errors or warnings, exactly the files of
#     packaging/debian/<package>.contents, no maintainer scripts and no
#     conffiles (so that removing it leaves nothing in dpkg), and the
#     copyright file of the tree;
#   - the copyright file passes lintian's machine-readable (DEP-5) checks
#     against the files of the tree;
#   - lumo-demos, unpacked with dpkg-deb -x into a scratch folder: its
#     programs are built for the package's architecture, say their version,
#     and show their pictures under Xvfb (arm64 ones under qemu, through
#     scripts/arm64-run.sh);
#   - where arm64 packages are among them, both are, as for this machine;
#   - each Windows zip: exactly the files of packaging/windows/zip.contents,
#     programs and screensavers that import system DLLs only and carry a version resource
#     naming the product, the program, the project's version and the
#     copyright, and the licence with Windows line ends;
#   - the web zip: exactly the files of packaging/web/zip.contents, pages
#     that load their own program, WebAssembly modules, and the licence.
#
# usage: check_packages.sh [dist-dir]
# A new kind of package gets its own check_<kind> and a line in the case
# below; a package no check knows fails.
#
# Strict mode, yet a failed check deliberately does not end the run: each is
# counted (ok, bad) and the summary at the end decides the exit status.
set -euo pipefail
case "${1:-}" in -h | --help) echo "usage: check_packages.sh [dist-dir]" && exit 0 ;; esac
root="$(cd "$(dirname "$0")/.." && pwd)"
dist="$(cd "${1:-$root/dist}" && pwd)"
scratch="$root/build/package-check"
rm -rf "$scratch"
mkdir -p "$scratch"
version=$(sed -n 's/^project(Lumo VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
arch=$(dpkg --print-architecture)

failures=0
ok() { echo "  ok: $*"; }
bad() {
  echo "  FAIL: $*"
  failures=$((failures + 1))
}

# same_files <what> <expected list> <actual list>: lists are one path a
# line; '#' lines and blank lines of the expected list are comments.
same_files() {
  if diff <(grep -v '^#' "$2" | sed '/^$/d' | sort) <(sort "$3") >"$scratch/diff"; then
    ok "$1: exactly the files of ${2#"$root"/}"
  else
    bad "$1: files differ from ${2#"$root"/} (< missing, > stray):"
    grep '^[<>]' "$scratch/diff" | sed 's/^/      /' || true
  fi
}

# elf_machine <file>: the ELF file's machine number (e_machine), in hex.
elf_machine() { od -An -tx2 -j18 -N2 "$1" | tr -d ' '; }

check_deb() { # <package file>
  local deb="$1" name status deb_arch
  name=$(dpkg-deb --field "$deb" Package)
  deb_arch=$(dpkg-deb --field "$deb" Architecture)
  echo "== $name ($(basename "$deb"))"
  [ "$(dpkg-deb --field "$deb" Version)" = "$version" ] && ok "version $version" ||
    bad "version $(dpkg-deb --field "$deb" Version), not $version"

  status=0
  lintian --fail-on error,warning "$deb" >"$scratch/lintian.log" 2>&1 || status=$?
  grep -v 'running with root privileges' "$scratch/lintian.log" >"$scratch/lintian.tags" || true
  if [ "$status" -eq 0 ] && ! grep -q '^[EW]:' "$scratch/lintian.tags"; then
    ok "lintian: no errors, no warnings"
  else
    bad "lintian (status $status):"
    sed 's/^/      /' "$scratch/lintian.tags"
  fi

  dpkg-deb --contents "$deb" | awk '$1 !~ /^d/ { print $6 }' >"$scratch/files"
  if [ -f "$root/packaging/debian/$name.contents" ]; then
    same_files "contents" "$root/packaging/debian/$name.contents" "$scratch/files"
  else
    bad "no list packaging/debian/$name.contents"
  fi
  local dir empty=""
  for dir in $(dpkg-deb --contents "$deb" | awk '$1 ~ /^d/ { print $6 }'); do
    grep -qF -- "$dir" "$scratch/files" || empty+=" $dir"
  done
  [ -z "$empty" ] && ok "no empty directories" || bad "empty directories:$empty"

  local control
  control=$(dpkg-deb --ctrl-tarfile "$deb" | tar -t | { grep -vxE '\./|\./(control|md5sums)' || true; } | tr '\n' ' ')
  [ -z "$control" ] && ok "no maintainer scripts, no conffiles" || bad "control area holds $control"

  if dpkg-deb --fsys-tarfile "$deb" | tar -xO "./usr/share/doc/$name/copyright" 2>/dev/null |
    cmp -s - "$root/packaging/debian/copyright"; then
    ok "copyright file of the tree"
  else
    bad "usr/share/doc/$name/copyright is not packaging/debian/copyright"
  fi

  if [ "$name" = lumo-demos ]; then
    local unpacked="$scratch/${name}_$deb_arch" runner=() machine
    dpkg-deb -x "$deb" "$unpacked"
    # Each architecture's programs, as its ELF files name it, and how they run.
    case "$deb_arch" in
      amd64) machine=003e ;;
      arm64) machine=00b7 runner=(bash "$root/scripts/arm64-run.sh") ;;
      *) machine="" ;;
    esac
    [ "$deb_arch" = "$arch" ] && runner=()
    local program first
    for program in twistview fumes; do
      [ -n "$machine" ] && [ "$(elf_machine "$unpacked/usr/bin/$program")" = "$machine" ] &&
        ok "$program is built for $deb_arch" || bad "$program is not built for $deb_arch"
      first=$("${runner[@]}" "$unpacked/usr/bin/$program" --version 2>&1 | head -n1) || true
      [ "$first" = "$program $version" ] && ok "$program --version: $first" ||
        bad "$program --version says '$first'"
    done
    status=0
    "${runner[@]}" bash "$root/tests/install/run_installed.sh" "$unpacked/usr" "$scratch/run-$deb_arch" |
      sed 's/^/  /' ||
      status=${PIPESTATUS[0]}
    [ "$status" -eq 0 ] && ok "the unpacked programs show their pictures" ||
      bad "the unpacked programs do not run as they should (status $status)"
  fi
}

# The machine-readable copyright checks of lintian read a source package:
# one is made of the tree's files with the copyright file as its own.
check_dep5() {
  echo "== copyright file (DEP-5)"
  local source="$scratch/source/lumo-$version"
  mkdir -p "$source/debian/source"
  # Files git lists but the working tree lacks (deleted, not yet committed)
  # are left out.
  (cd "$root" && git ls-files -z | xargs -0 cp --parents -t "$source" 2>/dev/null) || true
  cp "$root/packaging/debian/copyright" "$source/debian/copyright"
  echo "3.0 (native)" >"$source/debian/source/format"
  cat >"$source/debian/control" <<EOF
Source: lumo
Maintainer: Lumo developers <developers@lumo.example.org>
Section: graphics
Priority: optional
Standards-Version: 4.6.2

Package: lumo-demos
Architecture: any
Description: software-rendered graphics demos
 Only here to check the copyright file.
EOF
  printf 'lumo (%s) unstable; urgency=medium\n\n  * Copyright check.\n\n -- %s  %s\n' "$version" \
    "Lumo developers <developers@lumo.example.org>" "$(date -R)" >"$source/debian/changelog"
  printf '#!/usr/bin/make -f\n%%:\n\tdh $@\n' >"$source/debian/rules"
  chmod +x "$source/debian/rules"
  if ! (cd "$scratch/source" && dpkg-source --build "lumo-$version" >"$scratch/dpkg-source.log" 2>&1); then
    bad "no source package to check it in:"
    sed 's/^/      /' "$scratch/dpkg-source.log"
    return
  fi
  lintian --check-part debian/copyright/dep5 --pedantic --info --display-experimental \
    "$scratch/source/lumo_$version.dsc" 2>&1 | { grep -v 'running with root privileges' || true; } >"$scratch/dep5.tags"
  if [ -s "$scratch/dep5.tags" ]; then
    bad "lintian's DEP-5 checks:"
    sed 's/^/      /' "$scratch/dep5.tags"
  else
    ok "lintian's DEP-5 checks: nothing to say"
  fi
}

# zip_files <zip> <top folder>: the zip's files into $scratch/files, one a
# line, relative to its top folder; any outside it are listed as such.
zip_files() {
  python3 -c 'import sys, zipfile; print("\n".join(zipfile.ZipFile(sys.argv[1]).namelist()))' "$1" |
    { grep -v '/$' || true; } >"$scratch/entries"
  sed -n "s|^$2/||p" "$scratch/entries" >"$scratch/files"
  { grep -v "^$2/" "$scratch/entries" || true; } | sed 's/^/outside the top folder: /' >>"$scratch/files"
}

# Imports of a PE file that are not system DLLs (the runtime is static).
foreign_imports() { # <objdump> <program>
  "$1" -p "$2" | sed -n 's/^[[:space:]]*DLL Name: //p' |
    grep -viE '^(kernel32|user32|gdi32|comdlg32|ole32|oleaut32|advapi32|shell32|msvcrt|gdiplus|ws2_32|winmm)\.dll$|^api-ms-win-' || true
}

# version_value <rc text> <name>: a string of the version resource.
version_value() { sed -n "s/^ *VALUE \"$2\", \"\\(.*\\)\"\$/\\1/p" "$1"; }

check_windows_zip() { # <package file>
  local zip="$1" name flavour triple
  name=$(basename "$zip" .zip)
  flavour=${name##*-windows-}
  echo "== $name.zip"
  [ "$name" = "lumo-demos-$version-windows-$flavour" ] && ok "version $version" || bad "not of version $version"
  case "$flavour" in
    i686) triple=i686-w64-mingw32 ;;
    x86_64) triple=x86_64-w64-mingw32 ;;
    *)
      bad "no Windows flavour $flavour"
      return
      ;;
  esac

  zip_files "$zip" "$name"
  same_files "contents" "$root/packaging/windows/zip.contents" "$scratch/files"

  local unpacked="$scratch/$name"
  python3 -m zipfile -e "$zip" "$scratch"
  local program exe rc bad_imports numbers
  numbers="${version//./, }, 0"
  local file
  # The screensavers (.scr) are programs like the others.
  for file in fumes.exe twistview.exe fumes.scr twistview.scr; do
    program="${file%.*}"
    exe="$unpacked/$file"
    [ -f "$exe" ] || continue
    bad_imports=$(foreign_imports "$triple-objdump" "$exe")
    [ -z "$bad_imports" ] && ok "$file imports system DLLs only" ||
      bad "$file imports non-system DLLs: $(echo $bad_imports)"

    rc="$scratch/$name-$file.rc"
    # A program without resources fails the check below.
    "$triple-windres" --input "$exe" --output "$rc" --output-format rc 2>/dev/null || true
    local found
    found="$(version_value "$rc" ProductName) | $(version_value "$rc" FileDescription) |"
    found+=" $(version_value "$rc" FileVersion) | $(version_value "$rc" ProductVersion) |"
    found+=" $(version_value "$rc" OriginalFilename) | $(version_value "$rc" LegalCopyright) |"
    found+=" $(sed -n 's/^ *FILEVERSION //p' "$rc")"
    # shellcheck disable=SC2053
    if [[ "$found" == "Lumo demos | $program: "?*" | $version | $version | $file | Copyright (c) "*"the Lumo developers; MIT licence | $numbers" ]]; then
      ok "$file version resource: $found"
    else
      bad "$file version resource: '$found'"
    fi
  done

  if tr -d '\r' <"$unpacked/LICENSE.txt" | cmp -s - "$root/LICENSE" && grep -q $'\r$' "$unpacked/LICENSE.txt"; then
    ok "LICENSE.txt is the licence, with Windows line ends"
  else
    bad "LICENSE.txt is not the licence with Windows line ends"
  fi
  grep -q "^Version $version, $flavour\." "$unpacked/README.txt" && ok "README.txt names version and flavour" ||
    bad "README.txt does not name version $version, $flavour"
}

check_web_zip() { # <package file>
  local zip="$1" name program
  name=$(basename "$zip" .zip)
  echo "== $name.zip"
  [ "$name" = "lumo-demos-$version-web" ] && ok "version $version" || bad "not of version $version"
  zip_files "$zip" "$name"
  same_files "contents" "$root/packaging/web/zip.contents" "$scratch/files"

  local unpacked="$scratch/$name"
  python3 -m zipfile -e "$zip" "$scratch"
  for program in fumes twistview; do
    grep -q "href=\"$program.html\"" "$unpacked/index.html" && ok "index.html links $program.html" ||
      bad "index.html does not link $program.html"
    grep -q "<script async src=\"$program.js\"></script>" "$unpacked/$program.html" &&
      ok "$program.html loads $program.js" || bad "$program.html does not load $program.js"
    [ "$(head -c 4 "$unpacked/$program.wasm" | od -An -tx1 | tr -d ' ')" = 0061736d ] &&
      ok "$program.wasm is a WebAssembly module" || bad "$program.wasm is not a WebAssembly module"
  done
  cmp -s "$unpacked/LICENSE.txt" "$root/LICENSE" && ok "LICENSE.txt is the licence" || bad "LICENSE.txt is not the licence"
}

echo "== checksums"
packages=()
if [ -s "$dist/SHA256SUMS" ]; then
  mapfile -t packages < <(sed 's/^[0-9a-f]* [ *]//' "$dist/SHA256SUMS")
  if (cd "$dist" && sha256sum --check --strict --quiet SHA256SUMS); then
    ok "SHA256SUMS holds for ${#packages[@]} packages"
  else
    bad "SHA256SUMS does not hold"
  fi
else
  bad "no dist/SHA256SUMS"
fi
for required in "lumo-demos_${version}_$arch.deb" "lumo-dev_${version}_$arch.deb" \
  "lumo-demos-$version-windows-i686.zip" "lumo-demos-$version-web.zip"; do
  printf '%s\n' "${packages[@]}" | grep -xF "$required" >/dev/null || bad "$required is not among the packages"
done

if printf '%s\n' "${packages[@]}" | grep '_arm64\.deb$' >/dev/null; then
  for required in "lumo-demos_${version}_arm64.deb" "lumo-dev_${version}_arm64.deb"; do
    printf '%s\n' "${packages[@]}" | grep -xF "$required" >/dev/null || bad "$required is not among the packages"
  done
fi

for package in "${packages[@]}"; do
  case "$package" in
    *.deb) check_deb "$dist/$package" ;;
    lumo-demos-*-windows-*.zip) check_windows_zip "$dist/$package" ;;
    lumo-demos-*-web.zip) check_web_zip "$dist/$package" ;;
    *) bad "$package: no check knows this kind of package" ;;
  esac
done
check_dep5

if [ "$failures" -eq 0 ]; then
  echo "check_packages: all checks passed"
  exit 0
fi
echo "check_packages: $failures checks failed; details in $scratch"
exit 1

#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs qemu-user 8 or later (qemu-i386) from the backports suite of the
# Debian release this machine runs. The i686 Windows tests run through it on
# hosts whose kernel executes no 32-bit code, and the processor-model runs
# use it on every host. Debian 12's own qemu (7.2) cannot start Wine.
#
# The suite is added beside the machine's own Debian entry (same archive,
# same key), and pinned so that nothing but the qemu packages comes from it.
# Safe to run again. Exit status 1, with the reason on stderr, when it cannot
# be had; the test command then skips what needs it and says why.
#
# usage: install-qemu.sh
set -euo pipefail
case "${1:-}" in -h | --help) echo "usage: install-qemu.sh" && exit 0 ;; esac
export LC_ALL=C

say() { echo "install-qemu: $*" >&2; }
here="$(cd "$(dirname "$0")" && pwd)"

# qemu_ok: qemu-i386 is there and is version 8 or later.
qemu_ok() {
  local version
  version="$(qemu-i386 --version 2>/dev/null | sed -n 's/^qemu-i386 version \([0-9][0-9]*\)\..*/\1/p')" || true
  [ -n "$version" ] && [ "$version" -ge 8 ]
}

if qemu_ok; then
  exit 0
fi

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"

# shellcheck source=/dev/null
codename="$(. /etc/os-release 2>/dev/null && echo "${VERSION_CODENAME:-}")" || true
if [ -z "$codename" ]; then
  say "this machine names no Debian release (/etc/os-release has no VERSION_CODENAME)"
  exit 1
fi
backports="$codename-backports"
sources_dir="$(apt-config shell d Dir::Etc::sourceparts/d | sed -n "s/^d='\(.*\)'$/\1/p")"
prefs_dir="$(apt-config shell d Dir::Etc::preferencesparts/d | sed -n "s/^d='\(.*\)'$/\1/p")"
sources_dir="${sources_dir:-/etc/apt/sources.list.d/}"
prefs_dir="${prefs_dir:-/etc/apt/preferences.d/}"
list_file="$(apt-config shell f Dir::Etc::sourcelist/f | sed -n "s/^f='\(.*\)'$/\1/p")"
list_file="${list_file:-/etc/apt/sources.list}"

# debian_entry: "<archive URI> <signed-by or ->" of the first enabled binary
# entry for the release itself, in either of apt's two formats.
debian_entry() {
  local file
  for file in "$sources_dir"*.sources; do
    [ -f "$file" ] || continue
    # deb822: stanzas separated by blank lines; field names in any case.
    awk -v want="$codename" '
      BEGIN { RS = ""; FS = "\n" }
      {
        types = ""; uris = ""; suites = ""; signed = "-"; enabled = "yes"
        for (i = 1; i <= NF; i++) {
          line = $i
          if (line ~ /^#/) continue
          split(line, kv, ":")
          key = tolower(kv[1])
          value = substr(line, length(kv[1]) + 2)
          gsub(/^[ \t]+|[ \t]+$/, "", value)
          if (key == "types") types = value
          else if (key == "uris") uris = value
          else if (key == "suites") suites = value
          else if (key == "signed-by" && value != "") signed = value
          else if (key == "enabled") enabled = tolower(value)
        }
        if (enabled == "no" || (" " types " ") !~ / deb / || (" " suites " ") !~ (" " want " ")) next
        split(uris, u, /[ \t]+/)
        print u[1], signed
        exit
      }' "$file" | head -n1
  done
  for file in "$list_file" "$sources_dir"*.list; do
    [ -f "$file" ] || continue
    # One-line format: deb [options] URI suite components...
    awk -v want="$codename" '
      $1 != "deb" { next }
      {
        signed = "-"; i = 2
        if ($2 ~ /^\[/) {
          while (i <= NF) {
            opt = $i; gsub(/[][]/, "", opt)
            if (opt ~ /^signed-by=/) signed = substr(opt, 11)
            if ($i ~ /\]$/) { i++; break }
            i++
          }
        }
        if ($(i + 1) == want) { print $i, signed; exit }
      }' "$file" | head -n1
  done
}

entry="$(debian_entry | head -n1)"
if [ -z "$entry" ]; then
  say "no apt entry for Debian $codename found to add $backports beside"
  exit 1
fi
uri="${entry% *}"
signed="${entry##* }"

# grep -c says 0 and fails where nothing matches.
# shellcheck disable=SC2016 # apt's own field syntax, not the shell's
configured="$(apt-get indextargets --format '$(RELEASE)' 'Identifier: Packages' 2>/dev/null | grep -cx "$backports")" ||
  true
if [ "$configured" -eq 0 ]; then
  say "adding $backports from $uri, pinned to the qemu packages"
  {
    echo "# Added by the Lumo demos' scripts/install-qemu.sh: qemu-user for the i686 tests."
    echo "Types: deb"
    echo "URIs: $uri"
    echo "Suites: $backports"
    echo "Components: main"
    if [ "$signed" != "-" ]; then echo "Signed-By: $signed"; fi
  } | $SUDO tee "${sources_dir}lumo-qemu-backports.sources" >/dev/null
  # The first record that matches a package decides: qemu ones may come from
  # the suite, nothing else ever does.
  cat <<EOF | $SUDO tee "${prefs_dir}lumo-qemu-backports" >/dev/null
# Added by the Lumo demos' scripts/install-qemu.sh.
Package: qemu-*
Pin: release n=$backports
Pin-Priority: 500

Package: *
Pin: release n=$backports
Pin-Priority: -1
EOF
fi

if ! "$here/apt-install.sh" "qemu-user/$backports"; then
  say "qemu-user could not be installed from $backports"
  exit 1
fi
if ! qemu_ok; then
  say "qemu-i386 is not version 8 or later even after installing qemu-user from $backports"
  exit 1
fi
say "$(qemu-i386 --version | head -n1)"

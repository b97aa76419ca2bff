#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Refreshes apt's package lists. While a Debian mirror syncs, it can serve an
# index whose size does not match its Release file ("Mirror sync in
# progress?"), and apt-get update fails for a few minutes; so this tries
# again, waiting longer each time, and says so.
#
# usage: apt-update.sh
# Exit 0 once the lists were refreshed, 1 when every try failed (apt then
# keeps what it could fetch, and the caller may still try its install).
# LUMO_APT_WAITS lists the seconds to wait before each further try.
set -euo pipefail
case "${1:-}" in -h | --help) echo "usage: apt-update.sh" && exit 0 ;; esac
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
read -r -a waits <<<"${LUMO_APT_WAITS:-15 30 60}"
try=0
while :; do
  if $SUDO apt-get -o DPkg::Lock::Timeout=900 -o Acquire::Retries=3 update -qq; then
    exit 0
  fi
  if [ "$try" -ge "${#waits[@]}" ]; then
    echo "apt-update: apt-get update failed $((try + 1)) times; giving up" >&2
    exit 1
  fi
  echo "apt-update: apt-get update failed; trying again in ${waits[$try]} s" >&2
  sleep "${waits[$try]}"
  try=$((try + 1))
done

#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs Debian packages after refreshing apt's lists. While a Debian
# mirror syncs, it can serve an index whose size does not match its Release
# file ("Mirror sync in progress?"), and apt-get update fails for a while; so
# the update is tried again, waiting longer each time, and when every try
# fails the install goes on with the lists apt could fetch.
#
# usage: apt-install.sh PACKAGE...
# Exit 0 once installed, 1 when the install failed (apt says why).
# LUMO_APT_WAITS lists the seconds to wait before each further update.
set -euo pipefail
case "${1:-}" in -h | --help | "") echo "usage: apt-install.sh PACKAGE..." && exit 0 ;; esac
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
# Through env, since sudo would drop an exported DEBIAN_FRONTEND.
apt=(env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900 -o Acquire::Retries=3)
read -r -a waits <<<"${LUMO_APT_WAITS:-15 30 60}"
try=0
until $SUDO "${apt[@]}" update -qq; do
  if [ "$try" -ge "${#waits[@]}" ]; then
    echo "apt-install: apt-get update failed $((try + 1)) times; installing from the lists apt has" >&2
    break
  fi
  echo "apt-install: apt-get update failed; trying again in ${waits[$try]} s" >&2
  sleep "${waits[$try]}"
  try=$((try + 1))
done
$SUDO "${apt[@]}" install -y -qq --no-install-recommends "$@"

#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The committed icons are exactly what their scripts write, and a PNG drawn
# at a size other than the design's has that size: the Windows resources,
# the desktop theme and the web site all take their icons from the scripts.
#
# usage: test_icons.sh
set -euo pipefail
if [[ ${1:-} == -h || ${1:-} == --help ]]; then
  sed -n 's/^# usage: //p' "$0"
  exit 0
fi
root=$(cd "$(dirname "$0")/../.." && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
status=0
for pair in twistview:twistview/make_icon.py:twistview/twistview.ico fumes:fumes/tools/make_icon.py:fumes/fumes.ico; do
  IFS=: read -r name script icon <<<"$pair"
  python3 "$root/$script" "$scratch/$name.ico" >/dev/null
  if ! cmp -s "$scratch/$name.ico" "$root/$icon"; then
    echo "FAIL: $icon is not what $script writes"
    status=1
  fi
  python3 "$root/$script" --png 192 "$scratch/$name.png"
  size=$(python3 -c 'import struct,sys; d=open(sys.argv[1],"rb").read(24); print("%dx%d" % struct.unpack(">II", d[16:24]))' "$scratch/$name.png")
  if [[ $size != 192x192 ]]; then
    echo "FAIL: $script --png 192 drew $size"
    status=1
  fi
  if python3 "$root/$script" --png 0 "$scratch/zero.png" 2>/dev/null; then
    echo "FAIL: $script accepts a size of 0"
    status=1
  fi
done
[[ $status == 0 ]] && echo "icons: both committed icons are their scripts' output"
exit $status

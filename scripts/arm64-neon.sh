#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The arm64 build's fast paths under qemu-aarch64: the differential tests of
# every family (each neon form byte for byte against its plain reference),
# and each family's report of the form it took, which must be neon: AdvSIMD
# is part of every aarch64 processor. The logs go to the given folder.
#
# usage: arm64-neon.sh <arm64 build dir> <log dir>
set -euo pipefail
usage="usage: arm64-neon.sh <arm64 build dir> <log dir>"
case "${1:-}" in -h | --help) echo "$usage" && exit 0 ;; esac
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
build="$(realpath -m "${1:?$usage}")"
logs="$(realpath -m "${2:?$usage}")"
programs=(test_BlendFast fumes_fast_tests test_TwistRenderFast test_gdi_palette_rows)
forms=("average row: neon" "smoke passes: neon" "rotating zoom: neon" "palette expansion: neon")

echo "arm64 fast paths, through $(qemu-aarch64 --version 2>/dev/null | head -n1)"
mkdir -p "$logs"
rm -f "$logs"/*.log
failures=0
fail() {
  echo "  FAIL: $*"
  failures=$((failures + 1))
}
# An x86 level turned off changes nothing here but makes each family say
# which form it took.
export LUMO_DISABLE=avx512
for program in "${programs[@]}"; do
  log="$logs/$program.log"
  if timeout 600 bash "$here/arm64-run.sh" "$build/bin/$program" >"$log" 2>&1; then
    echo "  ok: $program ($(grep -m1 -o '\[  PASSED  \] [0-9]* tests\?' "$log" || echo "no count"))"
  else
    fail "$program (log: $log)"
    tail -n 20 "$log" | sed 's/^/    /'
  fi
done
reported="$(cat "$logs"/*.log | sed -n 's/^lumo: \([a-z ]*: [a-z0-9]*\) form .*/\1/p' | sort -u)"
for form in "${forms[@]}"; do
  if grep -qx "$form" <<<"$reported"; then
    echo "  ok: $form form"
  else
    fail "expected \"$form form\"; the families said: $(tr '\n' ';' <<<"$reported")"
  fi
done
if [ "$failures" -eq 0 ]; then
  echo "arm64 fast paths: all checks passed"
  exit 0
fi
echo "arm64 fast paths: $failures checks failed"
exit 1

#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs the i686 test programs of the processor record, the blend and the
# fast-path families on an older processor emulated by qemu (QEMU_CPU), where
# the host's SSE and wider are not there: the MMX kernel and the plain path
# then run on a real instruction set without them. Always through qemu, also
# on hosts that run 32-bit code themselves. Checks that:
#   - every program passes, the record's own test naming the model's exact
#     features (no SSE);
#   - every family took the form the model allows, as its report says;
#   - the blend follows pfMMX (test_LumoBlend checks the bytes).
#
# usage: i386-models.sh <model> <windows build dir> <log dir>
#   pentium2        MMX, no SSE
#   pentium2,-mmx   a P6 with CMOV but no MMX (plain pentium lacks CMOV,
#                   which the i686 build uses)
#
# Strict mode, yet a failed check deliberately does not end the run: each is
# counted (fail) and the summary at the end decides the exit status.
set -euo pipefail
usage="usage: i386-models.sh <model> <windows build dir> <log dir>"
case "${1:-}" in -h | --help) echo "$usage" && exit 0 ;; esac
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
model="${1:?$usage}"
build="$(realpath -m "${2:?$usage}")"
logs="$(realpath -m "${3:?$usage}")"

case "$model" in
  pentium2)
    what="MMX, no SSE"
    features="CmpXchg8B CMov MMX"
    average=mmx
    ;;
  pentium2,-mmx)
    what="no MMX"
    features="CmpXchg8B CMov"
    average=plain
    ;;
  *)
    echo "i386-models: no expectations for the processor model '$model'" >&2
    exit 2
    ;;
esac
programs=(test_Processor test_LumoBlend test_BlendFast fumes_fast_tests test_TwistRenderFast)
# Without SSE2 every family but the average row has only its plain form.
forms=("average row: $average" "smoke passes: plain" "rotating zoom: plain")

echo "processor model: $model ($what), through $(qemu-i386 --version 2>/dev/null | head -n1)"
mkdir -p "$logs"
rm -f "$logs"/*.log
failures=0
fail() {
  echo "  FAIL: $*"
  failures=$((failures + 1))
}

# No such model has AVX-512; turning it off changes no choice, but makes
# every family say on standard error which form it took.
export QEMU_CPU="$model" LUMO_DISABLE=avx512 LUMO_EXPECT_FEATURES="$features"
for program in "${programs[@]}"; do
  log="$logs/$program.log"
  if timeout 600 bash "$here/i386-run.sh" --qemu --prefix "$build/wineprefix" -- \
    bash "$here/wine-run.sh" "$build/bin/$program.exe" >"$log" 2>&1; then
    echo "  ok: $program ($(grep -m1 -o '\[  PASSED  \] [0-9]* tests\?' "$log" || echo "no count"))"
  else
    fail "$program (log: $log)"
    tail -n 20 "$log" | sed 's/^/    /'
  fi
done
grep -q "^\[       OK \] DetectProcessor.StartUpRecordHoldsTheNamedModelsFeatures" "$logs/test_Processor.log" ||
  fail "the processor record was not checked against \"$features\""

reported="$(cat "$logs"/*.log | sed -n 's/^lumo: \([a-z ]*: [a-z0-9]*\) form .*/\1/p' | tr -d '\r' | sort -u)"
for form in "${forms[@]}"; do
  if grep -qx "$form" <<<"$reported"; then
    echo "  ok: $form form"
  else
    fail "expected \"$form form\"; the families said: $(tr '\n' ';' <<<"$reported")"
  fi
done
extra="$(grep -vxF -f <(printf '%s\n' "${forms[@]}") <<<"$reported")" || true
[ -z "$extra" ] || fail "forms this model cannot run: $(tr '\n' ';' <<<"$extra")"

if [ "$failures" -eq 0 ]; then
  echo "processor model $model: all checks passed"
  exit 0
fi
echo "processor model $model: $failures checks failed"
exit 1

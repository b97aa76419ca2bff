#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# A long fuzz run of picture loading (LoadDIBFromMemory through the binding,
# the COM stream and the codec module), under ASan and UBSan. The corpus it
# grows is kept in build/fuzz/corpus and taken up again by the next run;
# findings land in build/fuzz/artifacts, and so does any input that took a
# second or more, which fails the run as a finding does.
#
#   scripts/fuzz.sh               a million executions
#   scripts/fuzz.sh 1800          half an hour instead
#   scripts/fuzz.sh 0 -jobs=2     any further libFuzzer options are passed on
set -euo pipefail
case "${1:-}" in -h | --help) echo "usage: scripts/fuzz.sh [seconds] [libFuzzer options...]" && exit 0 ;; esac
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
budget="${1:-0}"
shift || true
cmake --preset sanitize >/dev/null
cmake --build --preset sanitize -j "${LUMO_JOBS:-2}" --target fuzz_LoadDIBFromMemory
work="$root/build/fuzz"
mkdir -p "$work/corpus" "$work/artifacts"
if [ "$budget" -gt 0 ]; then limit=(-max_total_time="$budget"); else limit=(-runs=1000000); fi
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
log="$work/last-run.log"
# New inputs go to the first folder; the committed pictures only seed it.
# A finding fails the fuzzer; the figures below are still printed.
set +e
env --unset=DISPLAY "$root/build/sanitize/bin/fuzz_LoadDIBFromMemory" "$work/corpus" \
  "$root/tests/graphics/pictures" "${limit[@]}" -timeout=10 -report_slow_units=1 -rss_limit_mb=2048 \
  -max_len=65536 -artifact_prefix="$work/artifacts/" -print_final_stats=1 "$@" 2>&1 | tee "$log"
status=${PIPESTATUS[0]}
set -e
stat() { grep -o "stat::$1: *[0-9]*" "$log" | tail -n1 | awk '{print $2}' || true; }
slowest="$(stat slowest_unit_time_sec)"
echo "fuzz: $(stat number_of_executed_units) executions in ${SECONDS} s, slowest input ${slowest:-?} s," \
  "peak $(stat peak_rss_mb) MB; $(grep -o 'cov: [0-9]* ft: [0-9]*' "$log" | tail -n1 || true)"
[ "$status" -eq 0 ] || exit "$status"
if [ "${slowest:-0}" -ge 1 ]; then
  echo "fuzz: an input took ${slowest} s, a second or more: see $work/artifacts/slow-unit-*" >&2
  exit 1
fi

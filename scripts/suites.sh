# SPDX-License-Identifier: MIT
# shellcheck shell=bash
# Suite bookkeeping for the test command, sourced by scripts/test.sh: runs
# each suite, counts it, and runs the i686 ones through scripts/i386-run.sh:
# directly where the host executes 32-bit code, under qemu in a private
# namespace elsewhere, and skipped with the reason where neither can be had.
# Ends with one line:
#   suites: N passed, M failed, K skipped
# Written for callers in strict mode (set -euo pipefail), whose options it
# leaves as they are: a failing suite is counted, never the end of the run.
if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  echo "usage: source scripts/suites.sh (the test command's suite bookkeeping)"
  exit 0
fi

suites_passed=0
suites_failed=0
suites_skipped=0
suites_failures=()
suites_skips=()
suites_here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# Empty where i686 suites run; otherwise why they cannot.
suites_i386_skip=""
# Empty where the processor-model runs (always under qemu) can run.
suites_models_skip=""

# suites_probe_i386: asks scripts/i386-probe.sh once, then the runner how
# i686 programs and the processor models would run, and says what it found.
# LUMO_I386_VIA_QEMU=1 takes the qemu route even where the host needs none.
# Each answer's status says the same as its text ("no: ..." exits 1).
suites_probe_i386() {
  local answer
  answer="$(bash "$suites_here/i386-probe.sh")" || true
  echo "32-bit x86 execution on this host: $answer"
  answer="$(bash "$suites_here/i386-run.sh" --check)" || true
  echo "i686 programs run: $answer"
  suites_i386_skip=""
  if [ "${answer%%:*}" = no ]; then suites_i386_skip="${answer#no: }"; fi
  answer="$(bash "$suites_here/i386-run.sh" --check --qemu)" || true
  echo "processor models run: $answer"
  suites_models_skip=""
  if [ "${answer%%:*}" = no ]; then suites_models_skip="${answer#no: }"; fi
}

# suite <name> <command...>
suite() {
  local name="$1" start=$SECONDS
  shift
  echo "== $name"
  if "$@"; then
    suites_passed=$((suites_passed + 1))
    echo "-- $name: passed in $((SECONDS - start)) s"
  else
    suites_failed=$((suites_failed + 1))
    suites_failures+=("$name")
    echo "-- $name: FAILED in $((SECONDS - start)) s"
  fi
}

# suite_skip <name> <reason>
suite_skip() {
  echo "== $1: skipped: $2"
  suites_skipped=$((suites_skipped + 1))
  suites_skips+=("$1: $2")
}

# suite_i386 <name> [--prefix <wine prefix>] <command...>: a suite that
# needs 32-bit execution, run through scripts/i386-run.sh (which ends the
# prefix's Wine server before its namespace closes).
suite_i386() {
  local name="$1"
  shift
  if [ -n "$suites_i386_skip" ]; then
    suite_skip "$name" "$suites_i386_skip"
  else
    suite "$name" bash "$suites_here/i386-run.sh" "$@"
  fi
}

# suite_model <model> <windows build dir> <log dir>: the i686 tests of the
# processor record, the blend and the fast paths on an emulated processor.
suite_model() {
  local name="processor model $1 (i686 tests under qemu, QEMU_CPU=$1)"
  if [ -n "$suites_models_skip" ]; then
    suite_skip "$name" "$suites_models_skip"
  else
    suite "$name" bash "$suites_here/i386-models.sh" "$@"
  fi
}

# Empty where the arm64 build and its runs under qemu can be had; otherwise
# why they cannot.
suites_arm64_skip=""

# suites_probe_arm64: whether the arm64 preset's packages are installed
# (scripts/install-arm64.sh --check) and how arm64 programs would run
# (scripts/arm64-run.sh --check); says what it found.
suites_probe_arm64() {
  local answer
  answer="$(bash "$suites_here/install-arm64.sh" --check)" || true
  suites_arm64_skip=""
  if [ "${answer%%:*}" = no ]; then suites_arm64_skip="${answer#no: }"; fi
  answer="$(bash "$suites_here/arm64-run.sh" --check)" || true
  echo "arm64 programs run: $answer"
  if [ -z "$suites_arm64_skip" ] && [ "${answer%%:*}" = no ]; then suites_arm64_skip="${answer#no: }"; fi
  [ -z "$suites_arm64_skip" ] || echo "arm64 suites: skipped: $suites_arm64_skip"
}

# suite_arm64 <name> <command...>: a suite of the arm64 build, skipped with
# the reason where it cannot be had.
suite_arm64() {
  local name="$1"
  shift
  if [ -n "$suites_arm64_skip" ]; then
    suite_skip "$name" "$suites_arm64_skip"
  else
    suite "$name" "$@"
  fi
}

# suites_summary: the closing lines; status 0 only when nothing failed.
suites_summary() {
  echo
  [ "$suites_skipped" -eq 0 ] || printf 'skipped: %s\n' "${suites_skips[@]}"
  [ "$suites_failed" -eq 0 ] || printf 'failed: %s\n' "${suites_failures[@]}"
  echo "suites: $suites_passed passed, $suites_failed failed, $suites_skipped skipped"
  [ "$suites_failed" -eq 0 ]
}

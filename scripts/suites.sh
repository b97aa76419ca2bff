# SPDX-License-Identifier: MIT
# Suite bookkeeping for the test command, sourced by scripts/test.sh: runs
# each suite, counts it, and skips the i686 ones with the probe's reason where
# the host executes no 32-bit code. Ends with one line:
#   suites: N passed, M failed, K skipped

suites_passed=0
suites_failed=0
suites_skipped=0
suites_failures=()
suites_skips=()
# Empty where i686 suites run; otherwise why they cannot.
suites_i386_skip=""

# suites_probe_i386: asks scripts/i386-probe.sh once and says what it found.
suites_probe_i386() {
  local here answer
  here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
  answer="$(bash "$here/i386-probe.sh")"
  echo "32-bit x86 execution on this host: $answer"
  case "$answer" in
    no:*) suites_i386_skip="${answer#no: }" ;;
    *) suites_i386_skip="" ;;
  esac
}

# suite <name> <command...>
suite() {
  local name="$1"
  shift
  echo "== $name"
  if "$@"; then
    suites_passed=$((suites_passed + 1))
  else
    suites_failed=$((suites_failed + 1))
    suites_failures+=("$name")
  fi
}

# suite_skip <name> <reason>
suite_skip() {
  echo "== $1: skipped: $2"
  suites_skipped=$((suites_skipped + 1))
  suites_skips+=("$1: $2")
}

# suite_i386 <name> <command...>: a suite that needs 32-bit execution.
suite_i386() {
  if [ -n "$suites_i386_skip" ]; then
    suite_skip "$1" "$suites_i386_skip"
  else
    suite "$@"
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

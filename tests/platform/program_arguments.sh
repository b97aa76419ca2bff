#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The native programs' command line: --version and --help answer and exit 0,
# the help's controls are the README's and its screensaver options the
# manual page's, and anything else is refused with one line and status 2,
# before any window is made.
#
# usage: program_arguments.sh <bin-dir> <version> <repository root>
#
# Strict mode, yet a failed check deliberately does not end the run: each is
# counted (bad) and the summary at the end decides the exit status.
set -euo pipefail
usage="usage: program_arguments.sh <bin-dir> <version> <repository root>"
case "${1:-}" in -h | --help) echo "$usage" && exit 0 ;; esac
bin="${1:?$usage}"
version="${2:?$usage}"
root="${3:?$usage}"
work="$(mktemp -d "${TMPDIR:-/tmp}/program-arguments.XXXXXX")"
trap 'rm -rf "$work"' EXIT
# No display: answering must not need one.
unset DISPLAY WAYLAND_DISPLAY
failures=0
bad() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}

# run <program> <args...>: status in $status, output in $work/out and $work/err
run() {
  status=0
  "$bin/$1" "${@:2}" >"$work/out" 2>"$work/err" || status=$?
}

# The controls of <program> as the README lists them, one per line.
readme_controls() {
  sed -n "/^\*\*$1\*\*\$/,/^\$/p" "$root/README.md" | sed -n 's/^- //p'
}
# The controls of the help, continuation lines joined to their first line.
help_controls() {
  sed -n '/^Controls:$/,/^$/p' "$work/out" | sed '1d;/^$/d' |
    awk '/^    / { sub(/^ +/, ""); line = line " " $0; next } { if (line != "") print line; sub(/^ +/, ""); line = $0 } END { if (line != "") print line }'
}

for program in twistview fumes; do
  run "$program" --version
  [ "$status" -eq 0 ] || bad "$program --version exits $status"
  [ "$(head -n1 "$work/out")" = "$program $version" ] || bad "$program --version begins '$(head -n1 "$work/out")'"
  grep -q '^Licence: MIT' "$work/out" || bad "$program --version has no licence line"
  [ -s "$work/err" ] && bad "$program --version wrote to standard error: $(cat "$work/err")"

  run "$program" --help
  [ "$status" -eq 0 ] || bad "$program --help exits $status"
  [ "$(head -n1 "$work/out")" = "Usage: $program [--help | --version]" ] || bad "$program --help has no usage line"
  if ! diff <(readme_controls "$program") <(help_controls) >"$work/diff"; then
    bad "$program --help and the README list other controls:"
    cat "$work/diff"
  fi
  for option in help version; do
    grep -qxF ".B \\-\\-$option" "$root/packaging/linux/$program.6" ||
      bad "the manual page of $program does not give --$option"
  done

  # The screensaver hack's options, in the help and the manual page.
  for option in root window-id window delay fps; do
    grep -q "^  -$option\b" "$work/out" || bad "$program --help does not list -$option"
    grep -qF ".B \\-${option//-/\\-}" "$root/packaging/linux/$program.6" ||
      grep -qF ".BI \\-${option//-/\\-} " "$root/packaging/linux/$program.6" ||
      bad "the manual page of $program does not give -$option"
  done
  # Without a display the screensaver says so and fails, making nothing.
  run "$program" -root
  [ "$status" -eq 1 ] || bad "$program -root without a display exits $status, not 1"
  grep -q "no display" "$work/err" || bad "$program -root without a display says: $(cat "$work/err")"
  run "$program" -window-id 0
  [ "$status" -eq 2 ] || bad "$program -window-id 0 exits $status, not 2"

  # Anything else: one line on standard error, nothing on standard output.
  for args in --bogus -h "" "--help --version" "--version extra" $'--x\nin two lines'; do
    if [[ "$args" == "--help --version" || "$args" == "--version extra" ]]; then
      # shellcheck disable=SC2086
      run "$program" $args
    else
      run "$program" "$args"
    fi
    shown="${args//$'\n'/\\n}"
    [ "$status" -eq 2 ] || bad "$program '$shown' exits $status, not 2"
    [ -s "$work/out" ] && bad "$program '$shown' wrote to standard output"
    [ "$(wc -l <"$work/err")" -eq 1 ] || bad "$program '$shown' wrote $(wc -l <"$work/err") lines to standard error"
    grep -q "^$program: .*--help" "$work/err" || bad "$program '$shown' does not point to --help: $(cat "$work/err")"
  done

  # An answer that cannot be written is a failure.
  if [ -w /dev/full ]; then
    status=0
    "$bin/$program" --version >/dev/full 2>"$work/err" || status=$?
    [ "$status" -ne 0 ] || bad "$program --version into a full disk exits 0"
  fi
done

if [ "$failures" -eq 0 ]; then
  echo "program_arguments: all checks passed"
  exit 0
fi
echo "program_arguments: $failures checks failed"
exit 1

#!/usr/bin/env bash
# Every test: install what is missing, build native, sanitizer and Windows
# builds, run the unit tests of each (Windows ones under Wine), then the
# end-to-end scripts that drive the real programs under Xvfb.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
"$root/scripts/install-deps.sh" || exit 1
"$root/scripts/build.sh" native sanitize windows || exit 1

artefacts="$root/artifacts"
mkdir -p "$artefacts"

# One virtual display and one Wine server for the whole run: starting either
# per test is slow.
xvfb_pid=""
if [ -z "${DISPLAY:-}" ]; then
  for n in $(seq 90 140); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    export DISPLAY=":$n"
    break
  done
  for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
fi
export LUMO_WINEPREFIX="$root/build/windows/wineprefix"
cleanup() {
  WINEPREFIX="$LUMO_WINEPREFIX" wineserver -k >/dev/null 2>&1 || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
}
trap cleanup EXIT

passed=0
failed=0
failures=()
run() {
  local name="$1"
  shift
  echo "== $name"
  if "$@"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    failures+=("$name")
  fi
}

run "unit tests (native)" ctest --preset native
run "unit tests (ASan+UBSan)" ctest --preset sanitize
run "unit tests (Windows, under Wine)" ctest --preset windows
for e2e in "$root"/tests/e2e/*_e2e.sh; do
  [ -f "$e2e" ] || continue
  name="$(basename "$e2e" .sh)"
  run "end to end: $name" bash "$e2e" "$root/build/native" "$root/build/windows" "$artefacts/$name"
done

echo
[ "$failed" -eq 0 ] || printf 'failed: %s\n' "${failures[@]}"
echo "suites: $passed passed, $failed failed"
[ "$failed" -eq 0 ]

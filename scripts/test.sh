#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Every test: install what is missing, build native, sanitizer, both
# Windows flavours and the web, run the unit tests of each (Windows ones
# under Wine, the web's under node) and the presenter's tests under
# ThreadSanitizer, then the end-to-end scripts that drive the real programs
# under Xvfb, once natively and once for each Windows flavour, and the web
# pages in headless Chromium.
#
# The i686 Windows runs go through scripts/i386-run.sh: directly where the
# host executes 32-bit x86 code, under qemu-i386 in a private namespace where
# it does not (LUMO_I386_VIA_QEMU=1 takes that route anyway). Two more runs
# of their processor and blend tests use qemu's older processor models on
# every host. What cannot run is reported as skipped, with the reason.
#
# usage: scripts/test.sh
# Strict mode, yet the run deliberately goes on after a failing suite: each
# runs inside `suite` (scripts/suites.sh), which counts it; the last line
# says how many passed, failed and were skipped, and the exit status is 0
# only when none failed.
set -euo pipefail
case "${1:-}" in -h | --help) echo "usage: scripts/test.sh" && exit 0 ;; esac
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" native sanitize windows windows64 web
# shellcheck source=suites.sh
source "$root/scripts/suites.sh"
# shellcheck source=xvfb.sh
source "$root/scripts/xvfb.sh"
suites_probe_i386

artefacts="$root/artifacts"
mkdir -p "$artefacts"

cleanup() {
  for flavour in windows windows64; do
    WINEPREFIX="$root/build/$flavour/wineprefix" wineserver -k >/dev/null 2>&1 || true
  done
}
trap cleanup EXIT
# One virtual display for the whole run (the Windows unit tests need one):
# starting one per test is slow. Ended on exit, after cleanup.
[ -n "${DISPLAY:-}" ] || xvfb_start

suite "unit tests (native)" ctest --preset native
suite "unit tests (ASan+UBSan)" ctest --preset sanitize
# The presenter's tests under ThreadSanitizer, built on their own: any report
# fails the suite. clang 14's ThreadSanitizer cannot place its shadow memory
# on kernels that randomise addresses more widely than usual, so the tests run
# without address randomisation wherever the system allows that.
tsan_suite() {
  "$root/scripts/build.sh" tsan || return 1
  local fixed=()
  if setarch "$(uname -m)" -R true 2>/dev/null; then fixed=(setarch "$(uname -m)" -R); fi
  "${fixed[@]}" ctest --preset tsan
}
suite "presenter tests (ThreadSanitizer)" tsan_suite
suite_i386 "unit tests (Windows i686, under Wine)" --prefix "$root/build/windows/wineprefix" ctest --preset windows
suite_model pentium2 "$root/build/windows" "$artefacts/models/pentium2"
suite_model pentium2,-mmx "$root/build/windows" "$artefacts/models/pentium2-no-mmx"
suite "unit tests (Windows x86-64, under Wine)" ctest --preset windows64
suite "unit tests (WebAssembly, under node)" ctest --preset web
for e2e in "$root"/tests/e2e/*_e2e.sh; do
  [ -f "$e2e" ] || continue
  name="$(basename "$e2e" .sh)"
  suite "end to end: $name, native" bash "$e2e" "$root/build/native" - "$artefacts/$name/native"
  suite_i386 "end to end: $name, Windows i686" --prefix "$root/build/windows/wineprefix-$name" \
    bash "$e2e" - "$root/build/windows" "$artefacts/$name/i686"
  suite "end to end: $name, Windows x86-64" bash "$e2e" - "$root/build/windows64" "$artefacts/$name/x86_64"
done
# fast_paths: the page's ?disable= switch and the forms each family names.
for program in twistview fumes fast_paths; do
  suite "end to end: $program, web in Chromium" \
    node "$root/tests/e2e/web/$program.mjs" "$root/build/web/site" "$artefacts/web/$program"
done
# ---- Linux on arm64: the cross build, its unit tests (and one short run of
# every benchmark case) under qemu-aarch64, and both programs' end-to-end
# halves through scripts/arm64-run.sh on this run's display. Skipped, with
# the reason, where the cross toolchain, the arm64 libraries or qemu-aarch64
# cannot be had.
suites_probe_arm64
suite_arm64 "build (arm64, cross-compiled)" "$root/scripts/build.sh" arm64
suite_arm64 "unit tests (arm64, under qemu-aarch64)" ctest --preset arm64
suite_arm64 "fast paths (arm64): every family's neon form under qemu-aarch64" \
  bash "$root/scripts/arm64-neon.sh" "$root/build/arm64" "$artefacts/arm64-neon"
# The two programs' halves: the screensaver script's daemon runs as an
# unprivileged user, which the runner's namespace (only root mapped) cannot
# become.
for name in fumes_e2e twistview_e2e; do
  suite_arm64 "end to end: $name, arm64 under qemu-aarch64" \
    bash "$root/scripts/arm64-run.sh" bash "$root/tests/e2e/$name.sh" "$root/build/arm64" - "$artefacts/$name/arm64"
done
[ -z "$suites_arm64_skip" ] || suite_skip "packages: the arm64 Debian packages" "$suites_arm64_skip"
# ---- end of arm64

# The packages, built from the builds above and checked (scripts/check_packages.sh).
suite "packages: build, lintian, contents, checksums, unpacked programs" \
  env LUMO_DEPS_READY=1 "$root/scripts/package.sh"

suites_summary

#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""The display goes away under a running program.

Each program given runs on a private Xvfb, presenting through the shared
images with the presenter's thread forced on, forced off, and through SDL's
window surface alone; once it has presented for a moment the X server is
killed. The program must end within a second, with a non-zero exit status and
exactly one line of its own on standard error:

    <program>: lost the connection to the display

(under ThreadSanitizer any report would be more lines).

usage: lost_display.py PROGRAM...
"""
import os
import subprocess
import sys
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))
from xvfb import Display  # noqa: E402  (the one way to start a display)

MODES = [("thread on", {"LUMO_X11_THREAD": "1"}), ("thread off", {"LUMO_X11_THREAD": "0"}),
         ("window surface", {"LUMO_X11_SHM": "0"})]
# The programs start slowly under the sanitizers and on a loaded machine.
START_SECONDS = 60
END_SECONDS = 1.0


def run(program, mode, settings):
    """None when the program ended as it should, else what went wrong."""
    with Display() as display:
        return run_on(display, program, mode, settings)


def run_on(display, program, mode, settings):
    name = os.path.basename(program)
    env = display.env(LUMO_PRESENT_LOG="1", **settings)
    # ThreadSanitizer sleeps a second at exit while other threads live, for
    # them to race with it; the end timed here is the program's own.
    env["TSAN_OPTIONS"] = ":".join(filter(None, [env.get("TSAN_OPTIONS"), "atexit_sleep_ms=0"]))
    proc = subprocess.Popen([program], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    lines = []
    presented = threading.Event()

    def read():
        for line in proc.stderr:
            if line.startswith("lumo-present:"):
                presented.set()
            else:
                lines.append(line.rstrip("\n"))

    reader = threading.Thread(target=read)
    reader.start()
    try:
        if not presented.wait(START_SECONDS):
            return f"presented nothing within {START_SECONDS} s: {lines}"
        time.sleep(0.5)
        display.proc.kill()
        killed = time.monotonic()
        try:
            proc.wait(timeout=30)
        except subprocess.TimeoutExpired:
            return "did not end"
        took = time.monotonic() - killed
        reader.join()
        expected = [f"{name}: lost the connection to the display"]
        if proc.returncode <= 0:
            return f"exit status {proc.returncode}, not a non-zero exit of its own"
        if lines != expected:
            return f"standard error was {lines}, not {expected}"
        if took > END_SECONDS:
            return f"took {took:.2f} s to end"
        print(f"{name}, {mode}: exit {proc.returncode} after {took * 1000:.0f} ms: {lines[0]}")
        return None
    finally:
        if proc.poll() is None:
            proc.kill()
            proc.wait()
        reader.join()


def main():
    if len(sys.argv) < 2 or sys.argv[1] in ("-h", "--help"):
        print(__doc__.strip().splitlines()[-1])
        return 0 if len(sys.argv) >= 2 else 2
    failures = []
    for program in sys.argv[1:]:
        for mode, settings in MODES:
            problem = run(program, mode, settings)
            if problem is not None:
                failures.append(f"{os.path.basename(program)}, {mode}: {problem}")
    for failure in failures:
        print("FAIL:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

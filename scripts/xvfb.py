# SPDX-License-Identifier: MIT
"""A private virtual X display for the Python scripts, started as
scripts/xvfb.sh starts one: Xvfb 1280 x 1024, 24 bits, taking a free
display number itself and saying which (-displayfd).

    from xvfb import Display
    with Display() as display:      # display.name is ":N", display.proc Xvfb
        subprocess.run([...], env=display.env())

A module for the scripts to import, not a program: scripts/xvfb.sh runs a
command on a display of its own.
"""
import os
import shutil
import subprocess


class Display:
    """Xvfb on a display of its own; ended when the `with` block ends.
    preexec_fn runs in the server's process before it starts (to pin it to
    a processor, say)."""

    def __init__(self, preexec_fn=None):
        self.preexec_fn = preexec_fn
        self.proc = None
        self.name = None

    def __enter__(self):
        if shutil.which("Xvfb") is None:
            raise RuntimeError("Xvfb is not installed")
        read_fd, write_fd = os.pipe()
        self.proc = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
            pass_fds=(write_fd,), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL, preexec_fn=self.preexec_fn)
        os.close(write_fd)
        # Xvfb writes the number once it accepts connections; EOF if it fails.
        with os.fdopen(read_fd, "rb") as f:
            number = f.readline().strip()
        if not number:
            self.stop()
            raise RuntimeError("the virtual X server did not start")
        self.name = ":" + number.decode()
        return self

    def __exit__(self, *exc):
        self.stop()

    def stop(self):
        """Ends the server (also one killed already) and waits for it."""
        if self.proc is None:
            return
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
        self.proc.wait()

    def env(self, **extra):
        """The environment for a program on this display, through SDL's X11
        driver rather than headless."""
        env = dict(os.environ, DISPLAY=self.name, SDL_VIDEODRIVER="x11")
        env.pop("LUMO_HEADLESS", None)
        env.update(extra)
        return env


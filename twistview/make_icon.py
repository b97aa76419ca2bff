#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""Regenerates twistview.ico: one 32 x 32 image of 16 colours, a turned
checker pattern in the program's black-to-blue-green-to-white scale.
Needs only the Python standard library; the build uses the committed file.
With --png it draws the same design at another size as a PNG file, for the
desktop icon theme and the web site's pages and app icons (the builds run it).

usage: make_icon.py [OUTPUT.ico] | --png SIZE OUTPUT.png
"""
import math
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "scripts"))
import iconwriter  # noqa: E402  (the icon scripts' ICO, PNG and arguments)


def palette():
    # Sixteen steps from black through (0, 100, 128) to white.
    keys = [(0, 0, 0), (0, 100, 128), (255, 255, 255)]
    entries = []
    for i in range(16):
        t = i / 15 * (len(keys) - 1)
        k = min(int(t), len(keys) - 2)
        f = t - k
        entries.append(tuple(round(a + (c - a) * f) for a, c in zip(keys[k], keys[k + 1])))
    return entries


def index_at(x, y):
    # The picture turned by 30 degrees and tiled, like the program's view.
    # x and y are pixel centres on the 32 x 32 grid; other sizes pass
    # fractions.
    cx, cy = x - 15.5, y - 15.5
    angle = math.radians(30)
    u = cx * math.cos(angle) - cy * math.sin(angle)
    v = cx * math.sin(angle) + cy * math.cos(angle)
    checker = (math.floor(u / 6) + math.floor(v / 6)) & 1
    shade = 1.0 - min(1.0, math.hypot(cx, cy) / 22.0)
    level = 4 + round(shade * 11) if checker else round(shade * 6)
    return max(0, min(15, level))


if __name__ == "__main__":
    sys.exit(iconwriter.main(__doc__, index_at, palette(), Path(__file__).resolve().parent / "twistview.ico"))

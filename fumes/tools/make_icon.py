#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Writes fumes.ico: one 32 x 32, 16-colour image of a plume of smoke rising
from a hot base, in the colours of the program's start-up scheme.

Run it from anywhere. The icon is committed; the build only reads it. With
--png it draws the same design at another size as a PNG file, for the
desktop icon theme and the web site's page (the builds run it).

usage: make_icon.py [OUTPUT.ico] | --png SIZE OUTPUT.png
"""
import math
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "scripts"))
import iconwriter  # noqa: E402  (the icon scripts' ICO, PNG and arguments)

SIZE = 32

# 16 colours (red, green, blue) from no smoke up to the hottest.
COLOURS = [
    (0, 0, 0), (24, 24, 24), (48, 48, 48), (72, 72, 72),
    (96, 96, 96), (128, 128, 128), (160, 160, 64), (192, 192, 32),
    (224, 224, 0), (255, 255, 0), (255, 255, 128), (255, 255, 255),
    (255, 192, 0), (255, 96, 0), (255, 0, 0), (0, 0, 255),
]


def intensity(x, y):
    """0..1 smoke density at pixel (x, y), y = 0 at the top."""
    rise = (SIZE - 1 - y) / (SIZE - 1)          # 0 at the bottom, 1 at the top
    centre = 15.5 + 4.0 * math.sin(rise * 5.0)  # the plume sways as it rises
    width = 2.5 + 7.0 * rise                    # and spreads out
    d = abs(x - centre) / width
    if d >= 1.0:
        return 0.0
    return (1.0 - d * d) * (1.0 - 0.75 * rise)


def colour_index(x, y):
    # x and y are pixel centres on the 32 x 32 grid; other sizes pass
    # fractions.
    if y > SIZE - 3.5:                          # the glowing base
        return 14 if abs(x - 15.5) < 6 else (15 if abs(x - 15.5) < 10 else 0)
    v = intensity(x, y)
    if v <= 0.02:
        return 0
    return min(11, 1 + int(v * 11))


if __name__ == "__main__":
    sys.exit(iconwriter.main(__doc__, colour_index, COLOURS, Path(__file__).resolve().parent.parent / "fumes.ico"))

#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Screenshot checks for the screensaver end-to-end scripts (standard library
only; images are read through ImageMagick's convert).

    screensaver_check.py fumes SCHEME IMG X Y W H   smoke of that scheme fills the rectangle
    screensaver_check.py twistview - IMG X Y W H    the picture fills it, in the window palette
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from twistview_check import read_pnm, window_palette  # noqa: E402


def rect(path, x, y, w, h):
    width, _, data = read_pnm(path, "ppm")
    return [[tuple(data[((y + r) * width + x + c) * 3:((y + r) * width + x + c) * 3 + 3]) for c in range(w)]
            for r in range(h)]


def yellow(p):  # the first scheme's flames: yellow to white through red
    return p[0] > 150 and p[1] > 150 and p[2] < 100


def lime(p):  # the second's: lime (both have blue)
    return p[0] < 100 and p[1] > 150


def check_fumes(scheme, rows):
    # Smoke rises from the bottom, as high as the frame rate carries it (low
    # under an emulated processor): its lowest sixteenth burns across the width.
    band = rows[len(rows) - max(8, len(rows) // 16):]
    mine, other = (yellow, lime) if scheme == 1 else (lime, yellow)
    pixels = [p for row in band for p in row]
    share = sum(map(mine, pixels)) / len(pixels)
    stray = sum(map(other, pixels)) / len(pixels)
    width = len(band[0])
    strips = [any(mine(row[c]) for row in band for c in range(s * width // 8, (s + 1) * width // 8))
              for s in range(8)]
    print(f"scheme {scheme}: {share:.2f} of the bottom sixteenth in its colours, {stray:.3f} in the other's, "
          f"{sum(strips)} of 8 strips burning")
    return share >= 0.05 and stray < 0.01 and all(strips)


def check_twistview(rows):
    palette = set(window_palette())
    pixels = [p for row in rows for p in row]
    outside = sum(p not in palette for p in pixels) / len(pixels)
    lit = sum(p != (0, 0, 0) for p in pixels) / len(pixels)
    # A blank stretch (the window's own background) is no picture.
    width = len(rows[0])
    strips = [len({row[c] for row in rows for c in range(s * width // 8, (s + 1) * width // 8)}) >= 16
              for s in range(8)]
    print(f"twistview: {outside:.4f} of the pixels outside the palette, {lit:.2f} not black, "
          f"{sum(strips)} of 8 strips with the picture")
    return outside == 0 and lit >= 0.5 and all(strips)


def main(argv):
    if len(argv) < 2 or argv[1] in ("-h", "--help"):
        print(__doc__)
        return 0 if len(argv) >= 2 else 2
    if argv[1] == "fumes" and len(argv) == 8:
        x, y, w, h = map(int, argv[4:8])
        return 0 if check_fumes(int(argv[2]), rect(argv[3], x, y, w, h)) else 1
    if argv[1] == "twistview" and len(argv) == 8:
        x, y, w, h = map(int, argv[4:8])
        return 0 if check_twistview(rect(argv[3], x, y, w, h)) else 1
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))

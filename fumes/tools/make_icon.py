#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Writes fumes.ico: one 32 x 32, 16-colour image of a plume of smoke rising
from a hot base, in the colours of the program's start-up scheme.

Run it from anywhere. The icon is committed; the build only reads it. With
--png it draws the same design at another size as a PNG file, for the
desktop icon theme (the native build runs it).

usage: make_icon.py [output path] | --png SIZE OUTPUT.png
"""
import math
import struct
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "scripts"))
import pngwriter  # noqa: E402  (the one PNG writer of the scripts)

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


def build():
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in COLOURS)
    xor_rows = []
    for y in range(SIZE - 1, -1, -1):           # bottom-up rows
        row = bytearray()
        for x in range(0, SIZE, 2):
            row.append((colour_index(x, y) << 4) | colour_index(x + 1, y))
        xor_rows.append(bytes(row))             # 16 bytes: already 4-aligned
    xor = b"".join(xor_rows)
    and_mask = bytes(4 * SIZE)                  # fully opaque
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, 2 * SIZE, 1, 4, 0, len(xor) + len(and_mask), 0, 0, 16, 0)
    image = header + palette + xor + and_mask
    icon_dir = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(image), 6 + 16)
    return icon_dir + entry + image


def build_png(size):
    """The design drawn at size x size as an 8-bit palette PNG."""
    scale = SIZE / size
    rows = [[colour_index((x + 0.5) * scale - 0.5, (y + 0.5) * scale - 0.5) for x in range(size)]
            for y in range(size)]
    return pngwriter.png(size, size, 8, 3, rows, palette=COLOURS)


def main():
    if len(sys.argv) > 1 and sys.argv[1] in ("-h", "--help"):
        print(__doc__.strip().splitlines()[-1])
        return
    if len(sys.argv) == 4 and sys.argv[1] == "--png":
        Path(sys.argv[3]).write_bytes(build_png(int(sys.argv[2])))
        return
    out = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).resolve().parent.parent / "fumes.ico"
    out.write_bytes(build())
    print(f"wrote {out} ({out.stat().st_size} bytes)")


if __name__ == "__main__":
    main()

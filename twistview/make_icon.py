#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""Regenerates twistview.ico: one 32 x 32 image of 16 colours, a turned
checker pattern in the program's black-to-blue-green-to-white scale.
Needs only the Python standard library; the build uses the committed file.
With --png it draws the same design at another size as a PNG file, for the
desktop icon theme (the native build runs it).

usage: make_icon.py [--png SIZE OUTPUT.png]
"""
import math
import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(os.path.dirname(HERE), "scripts"))
import pngwriter  # noqa: E402  (the one PNG writer of the scripts)

SIZE = 32


def palette():
    # Sixteen steps from black through (0, 100, 128) to white, as BGRX.
    keys = [(0, 0, 0), (0, 100, 128), (255, 255, 255)]
    entries = []
    for i in range(16):
        t = i / 15 * (len(keys) - 1)
        k = min(int(t), len(keys) - 2)
        f = t - k
        r, g, b = (round(a + (c - a) * f) for a, c in zip(keys[k], keys[k + 1]))
        entries.append(struct.pack("<BBBB", b, g, r, 0))
    return b"".join(entries)


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


def image_data():
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    rows = []
    for y in range(SIZE - 1, -1, -1):  # bottom-up
        row = bytearray()
        for x in range(0, SIZE, 2):
            row.append((index_at(x, y) << 4) | index_at(x + 1, y))
        rows.append(bytes(row))
    # AND mask: every pixel opaque; rows of 32 bits are already 4-byte aligned.
    mask = bytes(SIZE * SIZE // 8)
    return header + palette() + b"".join(rows) + mask


def png_data(size):
    """The design drawn at size x size as an 8-bit palette PNG."""
    colours = palette()
    rgb = [colours[i : i + 3][::-1] for i in range(0, len(colours), 4)]  # BGRX to RGB
    scale = SIZE / size
    rows = [[index_at((x + 0.5) * scale - 0.5, (y + 0.5) * scale - 0.5) for x in range(size)] for y in range(size)]
    return pngwriter.png(size, size, 8, 3, rows, palette=rgb)


def main():
    if len(sys.argv) > 1 and sys.argv[1] in ("-h", "--help"):
        print(__doc__.strip().splitlines()[-1])
        return
    if len(sys.argv) == 4 and sys.argv[1] == "--png":
        with open(sys.argv[3], "wb") as f:
            f.write(png_data(int(sys.argv[2])))
        return
    data = image_data()
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(data), 6 + 16)
    with open(os.path.join(HERE, "twistview.ico"), "wb") as f:
        f.write(directory + entry + data)


if __name__ == "__main__":
    main()

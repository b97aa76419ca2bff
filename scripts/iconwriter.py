# SPDX-License-Identifier: MIT
"""What the icon scripts share: a design given as a function from a pixel
centre on its 32 x 32 grid to one of 16 palette entries is written as a
one-image, 16-colour ICO file, or drawn at any size as an 8-bit palette PNG
(through pngwriter), and both scripts take the same arguments:

    make_icon.py [OUTPUT.ico]         the ICO (default: the committed file)
    make_icon.py --png SIZE OUT.png   the design at SIZE x SIZE pixels

    import iconwriter
    iconwriter.main(__doc__, index_at, colours, default_ico)

A module for those scripts to import, not a program.
"""
import struct
import sys
from pathlib import Path

import pngwriter

SIZE = 32
LARGEST_PNG = 4096


def ico(index_at, colours):
    """The 32 x 32 design as an ICO file: 4 bits a pixel, rows bottom-up, an
    AND mask that keeps every pixel opaque. `colours`: 16 (r, g, b)."""
    if len(colours) != 16:
        raise ValueError("a 4-bit icon needs 16 colours")
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in colours)
    rows = []
    for y in range(SIZE - 1, -1, -1):
        row = bytearray()
        for x in range(0, SIZE, 2):
            row.append((index_at(x, y) << 4) | index_at(x + 1, y))
        rows.append(bytes(row))  # 16 bytes: already 4-byte aligned
    xor = b"".join(rows)
    mask = bytes(SIZE * SIZE // 8)  # rows of 32 bits are 4-byte aligned too
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, 2 * SIZE, 1, 4, 0, len(xor) + len(mask), 0, 0, 16, 0)
    image = header + palette + xor + mask
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(image), 6 + 16)
    return directory + entry + image


def png(index_at, colours, size):
    """The design drawn at size x size: each pixel takes the design's entry
    at its centre, scaled to the 32 x 32 grid."""
    scale = SIZE / size
    rows = [[index_at((x + 0.5) * scale - 0.5, (y + 0.5) * scale - 0.5) for x in range(size)] for y in range(size)]
    return pngwriter.png(size, size, 8, 3, rows, palette=list(colours))


def usage(doc):
    return doc.strip().splitlines()[-1]


def main(doc, index_at, colours, default_ico, argv=None):
    """The icon scripts' command line; returns the exit status."""
    args = sys.argv[1:] if argv is None else argv
    if args and args[0] in ("-h", "--help"):
        print(usage(doc))
        return 0
    if args and args[0] == "--png":
        if len(args) != 3 or not args[1].isdigit() or not 1 <= int(args[1]) <= LARGEST_PNG:
            print(f"{usage(doc)}\n(SIZE is a number of pixels from 1 to {LARGEST_PNG})", file=sys.stderr)
            return 2
        Path(args[2]).write_bytes(png(index_at, colours, int(args[1])))
        return 0
    if len(args) > 1 or (args and args[0].startswith("-")):
        print(usage(doc), file=sys.stderr)
        return 2
    out = Path(args[0]) if args else Path(default_ico)
    out.write_bytes(ico(index_at, colours))
    print(f"wrote {out} ({out.stat().st_size} bytes)")
    return 0

#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Writes the small test pictures of the picture-loading tests and the fuzz
seed corpus: PNG and BMP files are written byte by byte here, so that every
colour type, depth and header variant is exactly the one named; JPEG files
come from ImageMagick's `convert`. Run from anywhere; it writes beside itself.

Patterns (x, y from the top-left corner):
  indexed:  index = (x + 3*y) % colours, palette entry i = grey ramp over the colours
  grey:     value = (x*19 + y*37) & 255
  colour:   red = x*19 & 255, green = y*37 & 255, blue = (x*y*5) & 255
  alpha:    (x*29 + y*11) & 255
  JPEG:     24 x 16 pixels in flat 8 x 8 blocks, block (bx, by) grey 20 + 60*bx + 70*by

usage: make_pictures.py
"""
import os
import struct
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "..", "scripts"))
import pngwriter  # noqa: E402  (the one PNG writer of the scripts)

if len(sys.argv) > 1:
    print(__doc__.strip().splitlines()[-1])
    sys.exit(0 if sys.argv[1] in ("-h", "--help") else 2)

W, H = 13, 7


def grey(x, y):
    return (x * 19 + y * 37) & 255


def colour(x, y):
    return (x * 19) & 255, (y * 37) & 255, (x * y * 5) & 255


def alpha(x, y):
    return (x * 29 + y * 11) & 255


def write(name, data):
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(data)


# ---- PNG ----
def png(colour_type, depth, rows, plte=None, trns=None):
    """rows: list of lists of samples (already split into channels)."""
    return pngwriter.png(W, H, depth, colour_type, rows, palette=plte, transparency=trns)


def ramp(colours):
    step = 255 // (colours - 1)
    return [(i * step, i * step, 255 - i * step) for i in range(colours)]


def indexed_rows(colours):
    return [[(x + 3 * y) % colours for x in range(W)] for y in range(H)]


for depth in (1, 2, 4, 8):
    n = 1 << depth if depth < 8 else 200
    write("pal%d.png" % depth, png(3, depth, indexed_rows(n), plte=ramp(n)))
write("pal8_trns.png", png(3, 8, indexed_rows(16), plte=ramp(16), trns=bytes([0, 128] + [255] * 14)))
write("grey8.png", png(0, 8, [[grey(x, y) for x in range(W)] for y in range(H)]))
write("grey4.png", png(0, 4, [[grey(x, y) >> 4 for x in range(W)] for y in range(H)]))
write("grey16.png", png(0, 16, [[grey(x, y) * 257 for x in range(W)] for y in range(H)]))
write("greyalpha8.png", png(4, 8, [sum(([grey(x, y), alpha(x, y)] for x in range(W)), []) for y in range(H)]))
write("rgb8.png", png(2, 8, [sum((list(colour(x, y)) for x in range(W)), []) for y in range(H)]))
write("rgba8.png", png(6, 8, [sum((list(colour(x, y)) + [alpha(x, y)] for x in range(W)), []) for y in range(H)]))
write("rgb16.png", png(2, 16, [sum(([c * 257 for c in colour(x, y)] for x in range(W)), []) for y in range(H)]))
write("rgba16.png", png(6, 16, [sum(([c * 257 for c in colour(x, y)] + [alpha(x, y) * 257] for x in range(W)), [])
                                for y in range(H)]))


# ---- BMP ----
def bmp(bpp, rows_bottom_up, width=W, height=H, palette=None, compression=0, masks=None, header_size=40,
        top_down=False):
    """rows_bottom_up: packed row bytes in file order, unpadded."""
    stride = ((width * bpp + 31) // 32) * 4
    pixels = b"".join(r + b"\x00" * (stride - len(r)) for r in rows_bottom_up)
    table = b""
    if palette:
        table = b"".join(bytes([b, g, r, 0]) for (r, g, b) in palette)
    extra = b""
    if header_size == 40 and masks:
        extra = b"".join(struct.pack("<I", m) for m in masks[:3])
    info = struct.pack("<IiiHHIIiiII", header_size, width, -height if top_down else height, 1, bpp, compression,
                       len(pixels), 2835, 2835, len(palette) if palette else 0, 0)
    if header_size > 40:
        m = list(masks or [0, 0, 0]) + [0] * (4 - len(masks or [0, 0, 0]))
        info += struct.pack("<IIII", *m)
        info += b"\x00" * (header_size - len(info))
    off = 14 + len(info) + len(extra) + len(table)
    head = b"BM" + struct.pack("<IHHI", off + len(pixels), 0, 0, off)
    return head + info + extra + table + pixels


def rows_of(fn, top_down=False):
    order = range(H) if top_down else range(H - 1, -1, -1)
    return [fn(y) for y in order]


for depth in (1, 4, 8):
    n = 1 << depth if depth < 8 else 200
    # BMP rows pack their samples as PNG rows do.
    rows = rows_of(lambda y: pngwriter.row_bytes([(x + 3 * y) % n for x in range(W)], depth))
    write("pal%d.bmp" % depth, bmp(depth, rows, palette=ramp(n)))
write("pal8_topdown.bmp", bmp(8, rows_of(lambda y: bytes((x + 3 * y) % 200 for x in range(W)), True),
                              palette=ramp(200), top_down=True))
write("rgb24.bmp", bmp(24, rows_of(lambda y: b"".join(bytes(reversed(colour(x, y))) for x in range(W)))))
write("rgb32.bmp", bmp(32, rows_of(lambda y: b"".join(bytes(reversed(colour(x, y))) + b"\x00" for x in range(W)))))


def p555(r, g, b):
    return struct.pack("<H", ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3))


def p565(r, g, b):
    return struct.pack("<H", ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3))


write("rgb555.bmp", bmp(16, rows_of(lambda y: b"".join(p555(*colour(x, y)) for x in range(W)))))
write("rgb565.bmp", bmp(16, rows_of(lambda y: b"".join(p565(*colour(x, y)) for x in range(W))), compression=3,
                        masks=[0xF800, 0x07E0, 0x001F]))
# 1-5-5-5 with the alpha bit set where alpha is 128 or more.
write("argb1555_v5.bmp", bmp(16, rows_of(lambda y: b"".join(
    struct.pack("<H", struct.unpack("<H", p555(*colour(x, y)))[0] | (alpha(x, y) >> 7) << 15) for x in range(W))),
    compression=3, masks=[0x7C00, 0x03E0, 0x001F, 0x8000], header_size=124))
# Red in the low byte: a layout that is converted, not taken over.
write("bf32_rgbx.bmp", bmp(32, rows_of(lambda y: b"".join(bytes(colour(x, y)) + b"\x00" for x in range(W))),
                           compression=3, masks=[0x000000FF, 0x0000FF00, 0x00FF0000]))
write("bf32_argb_v5.bmp", bmp(32, rows_of(
    lambda y: b"".join(bytes(reversed(colour(x, y))) + bytes([alpha(x, y)]) for x in range(W))),
    compression=3, masks=[0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000], header_size=124))

# ---- JPEG ----
JW, JH = 24, 16


def block_grey(x, y):
    return 20 + 60 * (x // 8) + 70 * (y // 8)


pgm = b"P5 %d %d 255\n" % (JW, JH) + bytes(block_grey(x, y) for y in range(JH) for x in range(JW))
ppm = b"P6 %d %d 255\n" % (JW, JH) + b"".join(
    bytes((block_grey(x, y), 255 - block_grey(x, y), 40 * (x // 8) + 50)) for y in range(JH) for x in range(JW))
write("grey.pgm", pgm)
write("colour.ppm", ppm)
for src, dst, extra in (("grey.pgm", "grey.jpg", ["-type", "Grayscale"]), ("colour.ppm", "colour.jpg", []),
                        ("colour.ppm", "cmyk.jpg", ["-colorspace", "CMYK"]),
                        ("colour.ppm", "progressive.jpg", ["-interlace", "JPEG"])):
    subprocess.run(["convert", os.path.join(HERE, src), "-strip", "-quality", "98", "-sampling-factor", "1x1"] + extra +
                   [os.path.join(HERE, dst)], check=True)
# Without the time of the run, so that running this again writes the same bytes.
subprocess.run(["convert", os.path.join(HERE, "rgb8.png"), "-interlace", "PNG", "-define", "png:exclude-chunks=date,time",
                "PNG24:" + os.path.join(HERE, "interlaced.png")], check=True)
os.remove(os.path.join(HERE, "grey.pgm"))
os.remove(os.path.join(HERE, "colour.ppm"))


# ---- Broken and absurd files ----
def read(name):
    with open(os.path.join(HERE, name), "rb") as f:
        return f.read()


def claim_size_jpeg(data, w, h):
    i = 2
    while i < len(data):
        marker = data[i + 1]
        length = struct.unpack(">H", data[i + 2:i + 4])[0]
        if marker in (0xC0, 0xC1, 0xC2):
            return data[:i + 5] + struct.pack(">HH", h, w) + data[i + 9:]
        i += 2 + length
    raise SystemExit("no frame header")


def claim_size_png(data, w, h):
    return data[:8] + pngwriter.chunk(b"IHDR", struct.pack(">II", w, h) + data[24:29]) + data[33:]


write("huge.jpg", claim_size_jpeg(read("grey.jpg"), 60000, 60000))
write("huge.png", claim_size_png(read("grey8.png"), 60000, 60000))
huge_bmp = bytearray(read("pal8.bmp"))
struct.pack_into("<ii", huge_bmp, 18, 60000, 60000)
write("huge.bmp", bytes(huge_bmp))
write("truncated.jpg", read("colour.jpg")[:len(read("colour.jpg")) // 3])
write("truncated.png", read("rgb8.png")[:60])
bad_crc = bytearray(read("rgb8.png"))
bad_crc[30] ^= 0x55
write("badcrc.png", bytes(bad_crc))
write("truncated.bmp", read("rgb24.bmp")[:100])
bad_offset = bytearray(read("rgb24.bmp"))
struct.pack_into("<I", bad_offset, 10, 0x7FFFFFF0)
write("badoffset.bmp", bytes(bad_offset))
# Data that ends before the declared rows are complete.
def segments(data):
    """The marker segments before the scan data, and the scan data with what follows."""
    out, i = [], 2
    while data[i + 1] != 0xDA:
        length = struct.unpack(">H", data[i + 2:i + 4])[0]
        out.append(data[i:i + 2 + length])
        i += 2 + length
    return out, data[i:]


def cmyk_cut(w, h, keep):
    """cmyk.jpg as a baseline CMYK picture of w x h, cut `keep` bytes into its
    scan: one quantisation table and no Adobe marker, 204 to 267 bytes, like
    those a fuzzer found to cost seconds."""
    heads, scan = segments(read("cmyk.jpg"))
    body = b""
    for seg in heads:
        if seg[1] == 0xEE or (seg[1] == 0xDB and seg[4] & 15 == 1):
            continue
        if seg[1] == 0xC0:
            seg = bytearray(seg)
            struct.pack_into(">HH", seg, 5, h, w)
            for c in range(seg[9]):
                seg[12 + 3 * c] = 0
            seg = bytes(seg)
        body += seg
    sos_length = struct.unpack(">H", scan[2:4])[0]
    return b"\xff\xd8" + body + scan[:2 + sos_length + keep]


write("cmyk_wide_cut.jpg", cmyk_cut(65304, 233, 20))
write("cmyk_tall_cut.jpg", cmyk_cut(4353, 2050, 30))
# Whole data for 24 x 16 pixels under a header of 24 x 400: two rows of
# blocks, then the end marker.
write("cmyk_short.jpg", claim_size_jpeg(read("cmyk.jpg"), 24, 400))
write("progressive_cut.jpg", read("progressive.jpg")[:400])
# Seven rows of data under a header of 700.
write("grey8_short.png", claim_size_png(read("grey8.png"), W, 700))
write("rgb8_huge_cut.png", claim_size_png(read("rgb8.png"), 8000, 4000)[:60])

write("notapicture.bin", b"This is plain text and no picture at all.\n" * 3)

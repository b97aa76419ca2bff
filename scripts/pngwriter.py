# SPDX-License-Identifier: MIT
"""PNG files written byte by byte, for the scripts that draw the icons and
the test pictures: every colour type and depth exactly as named, no filter,
zlib at level 9, so the same rows always give the same bytes.

    import pngwriter
    data = pngwriter.png(width, height, 8, 3, rows, palette=[(r, g, b), ...])

A module for those scripts to import, not a program.
"""
import struct
import zlib

SIGNATURE = b"\x89PNG\r\n\x1a\n"


def chunk(kind, body):
    """One chunk: length, type, data and the CRC of type and data."""
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)


def row_bytes(samples, depth):
    """One row of samples (channels already interleaved) at `depth` bits:
    below 8 packed from the high bits, the last byte padded with zeros (as
    BMP rows pack them too); 16 bits big-endian."""
    if depth == 8:
        return bytes(samples)
    if depth == 16:
        return b"".join(struct.pack(">H", s) for s in samples)
    out = bytearray()
    bits = nbits = 0
    for s in samples:
        bits = (bits << depth) | s
        nbits += depth
        if nbits == 8:
            out.append(bits)
            bits = nbits = 0
    if nbits:
        out.append(bits << (8 - nbits))
    return bytes(out)


def png(width, height, depth, colour_type, rows, palette=None, transparency=None):
    """The whole file. rows: `height` lists of samples; palette: (red, green,
    blue) triples for PLTE; transparency: the tRNS chunk's bytes."""
    raw = b"".join(b"\x00" + row_bytes(row, depth) for row in rows)  # filter: none
    data = SIGNATURE + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, depth, colour_type, 0, 0, 0))
    if palette:
        data += chunk(b"PLTE", b"".join(bytes(c) for c in palette))
    if transparency is not None:
        data += chunk(b"tRNS", transparency)
    return data + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")

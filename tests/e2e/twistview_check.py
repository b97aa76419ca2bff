#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Image checks for twistview_e2e.sh (standard library only; images are read
through ImageMagick's convert as PPM/PGM).

    twistview_check.py palette IMG           every pixel is a window-palette colour
    twistview_check.py differ IMG IMG        share of pixels that differ
    twistview_check.py picture IMG PIC0 PIC1 which picture the frame shows (0 or 1)
    twistview_check.py centre IMG            palette index of the window centre
    twistview_check.py expect PIC            centre index of picture PIC: point, bilinear
    twistview_check.py close WINDOW-ID       ask the window to close (WM_DELETE_WINDOW)
"""
import ctypes
import ctypes.util
import subprocess
import sys


def window_palette():
    """The 256 colours of the three-key ramp (black, (0, 100, 128), white)
    in 16.16 fixed point, as the surface library builds it."""
    keys = [(0, 0, 0), (0, 100, 128), (255, 255, 255)]  # (red, green, blue)
    last_key = len(keys) - 1
    first, last = 0, 255
    step = (last_key * 65536) // (last - first)
    pos = 0
    entries = []
    b_key = keys[0]
    for _ in range(first, last):
        k = pos >> 16
        a_key = keys[k]
        b_key = keys[k + 1] if k < last_key else keys[k]
        wb = pos & 0xFFFF
        wa = 65536 - wb
        if wa < step - wa:
            entries.append(b_key)
        elif wb < step - wb:
            entries.append(a_key)
        else:
            entries.append(tuple((a * wa + b * wb) >> 16 for a, b in zip(a_key, b_key)))
        pos = (pos + step) & 0xFFFFFFFF
    entries.append(b_key)
    return entries


def read_pnm(path, fmt):
    data = subprocess.run(["convert", path, "-depth", "8", fmt + ":-"], check=True, capture_output=True).stdout
    # Header: magic, width, height, maxval, separated by whitespace.
    fields = []
    i = 0
    while len(fields) < 4:
        while data[i : i + 1].isspace():
            i += 1
        j = i
        while not data[j : j + 1].isspace():
            j += 1
        fields.append(data[i:j])
        i = j
    width, height = int(fields[1]), int(fields[2])
    return width, height, data[i + 1 :]


def indices(path):
    """Palette indices of a screenshot; -1 for colours outside the palette."""
    width, height, rgb = read_pnm(path, "ppm")
    lookup = {bytes(c): n for n, c in reversed(list(enumerate(window_palette())))}
    out = [lookup.get(rgb[p : p + 3], -1) for p in range(0, width * height * 3, 3)]
    return width, height, out


def histogram(values):
    counts = [0] * 256
    for v in values:
        if v >= 0:
            counts[v] += 1
    total = sum(counts) or 1
    return [c / total for c in counts]


def smooth(h, radius=4):
    return [sum(h[max(0, i - radius) : i + radius + 1]) for i in range(256)]


def distance(h1, h2):
    return sum(abs(a - b) for a, b in zip(smooth(h1), smooth(h2)))


# The window surface keeps its start-up size (768 x 536) until the window is
# resized; its centre maps to the same picture position at every phase, so
# the pixel there shows a fixed value for each picture and filter.
SURFACE = (768, 536)
CENTRE = (SURFACE[0] // 2, SURFACE[1] - 1 - SURFACE[1] // 2)  # as displayed, top row 0


def centre_samples(picture):
    """(point, bilinear) sample at the window centre, from the renderer's
    mapping with the picture decoded by ImageMagick."""
    sw, sh, grey = read_pnm(picture, "pgm")
    w, h = SURFACE
    u = 65536 * (w // 2) + (sw - w) * 32768
    v = 65536 * (h // 2) + (sh - h) * 32768
    col, fx = u >> 16, u & 0xFFFF
    row, fy = v >> 16, v & 0xFFFF

    def at(r, c):  # r counts rows from the bottom, as the surface stores them
        return grey[(sh - 1 - r) * sw + c]

    a, b, c, d = at(row, col), at(row, col + 1), at(row + 1, col), at(row + 1, col + 1)
    top = a + ((b - a) * fx) // 65536
    bottom = c + ((d - c) * fx) // 65536
    return a, top + ((bottom - top) * fy) // 65536


def main(argv):
    if len(argv) < 2 or argv[1] in ("-h", "--help"):
        print("usage: twistview_check.py palette|differ|picture|centre|expect|close ARGS... (see the top of the file)")
        return 0 if len(argv) >= 2 else 2
    cmd = argv[1]
    if cmd == "palette":
        width, height, idx = indices(argv[2])
        bad = idx.count(-1)
        print(f"{width}x{height}, {bad} pixels outside the window palette")
        return 0 if bad == 0 and width * height > 0 else 1
    if cmd == "differ":
        _, _, a = read_pnm(argv[2], "ppm")
        _, _, b = read_pnm(argv[3], "ppm")
        if len(a) != len(b):
            print("1.0")
            return 0
        changed = sum(1 for p in range(0, len(a), 3) if a[p : p + 3] != b[p : p + 3])
        print(f"{changed / (len(a) // 3):.4f}")
        return 0
    if cmd == "picture":
        _, _, idx = indices(argv[2])
        frame = histogram(idx)
        pictures = []
        for path in argv[3:5]:
            _, _, grey = read_pnm(path, "pgm")
            pictures.append(histogram(grey))
        d0, d1 = distance(frame, pictures[0]), distance(frame, pictures[1])
        print(f"{0 if d0 < d1 else 1} {d0:.3f} {d1:.3f}")
        return 0
    if cmd == "centre":
        width, height, idx = indices(argv[2])
        x, y = CENTRE
        print(idx[y * width + x] if x < width and y < height else -1)
        return 0
    if cmd == "expect":
        print(*centre_samples(argv[2]))
        return 0
    if cmd == "close":
        return close_window(int(argv[2], 0))
    print(__doc__)
    return 2


class XClientMessageEvent(ctypes.Structure):
    _fields_ = [
        ("type", ctypes.c_int),
        ("serial", ctypes.c_ulong),
        ("send_event", ctypes.c_int),
        ("display", ctypes.c_void_p),
        ("window", ctypes.c_ulong),
        ("message_type", ctypes.c_ulong),
        ("format", ctypes.c_int),
        ("data", ctypes.c_long * 5),
    ]


class XEvent(ctypes.Union):
    _fields_ = [("xclient", XClientMessageEvent), ("pad", ctypes.c_long * 24)]


def close_window(window):
    """What a window manager's close button does: a WM_DELETE_WINDOW client
    message from WM_PROTOCOLS."""
    x11 = ctypes.CDLL(ctypes.util.find_library("X11"))
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XInternAtom.restype = ctypes.c_ulong
    x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.POINTER(XEvent)]
    x11.XFlush.argtypes = [ctypes.c_void_p]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    display = x11.XOpenDisplay(None)
    if not display:
        print("no display")
        return 1
    event = XEvent()
    event.xclient.type = 33  # ClientMessage
    event.xclient.window = window
    event.xclient.message_type = x11.XInternAtom(display, b"WM_PROTOCOLS", 0)
    event.xclient.format = 32
    event.xclient.data[0] = x11.XInternAtom(display, b"WM_DELETE_WINDOW", 0)
    event.xclient.data[1] = 0  # CurrentTime
    x11.XSendEvent(display, window, 0, 0, ctypes.byref(event))
    x11.XFlush(display)
    x11.XCloseDisplay(display)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

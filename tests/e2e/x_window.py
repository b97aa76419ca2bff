#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""A plain X window for the screensaver tests to hand to a hack: made at
X,Y with size W x H and mapped, its id printed; then one command a line on
standard input ("size W H", answered "ok" once the server has it); ends
at end of input.

    x_window.py X Y W H

Debian's python3-xlib (python3-xlib), hence the system interpreter."""
import sys

from Xlib import X, display


def main(argv):
    if len(argv) != 5:
        print(__doc__, file=sys.stderr)
        return 0 if len(argv) == 2 and argv[1] in ("-h", "--help") else 2
    x, y, w, h = map(int, argv[1:5])
    d = display.Display()
    screen = d.screen()
    window = screen.root.create_window(x, y, w, h, 0, screen.root_depth, X.InputOutput, X.CopyFromParent,
                                       background_pixel=screen.white_pixel)
    window.map()
    d.sync()
    print(hex(window.id), flush=True)
    for line in sys.stdin:
        words = line.split()
        if len(words) == 3 and words[0] == "size":
            window.configure(width=int(words[1]), height=int(words[2]))
            d.sync()
            print("ok", flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

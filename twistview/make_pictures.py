#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""Regenerates velro1.jpg and velro2.jpg from the sample photographs of
scikit-image (Debian package python3-skimage, which also brings PIL as
python3-pil). Only needed to remake the pictures; the build uses the
committed files. See PICTURES.md for sources and licences.

    apt-get install python3-skimage python3-pil
    /usr/bin/python3 twistview/make_pictures.py

usage: make_pictures.py
"""
import io
import os
import sys

if __name__ == "__main__" and len(sys.argv) > 1:
    print(__doc__.strip().splitlines()[-1])
    sys.exit(0 if sys.argv[1] in ("-h", "--help") else 2)

import numpy as np  # noqa: E402  (after the usage, which needs none of them)
from PIL import Image  # noqa: E402
import skimage.data  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))

# name, source, size, file size aimed at (bytes)
PICTURES = [
    ("velro1.jpg", "astronaut", (472, 585), 26817),
    ("velro2.jpg", "camera", (503, 525), 28206),
]


def grey_of(name):
    pixels = getattr(skimage.data, name)()
    image = Image.fromarray(np.asarray(pixels))
    return image.convert("L")


def crop_to_aspect(image, width, height):
    # Centre crop to the target aspect ratio, so nothing is stretched.
    w, h = image.size
    if w * height > h * width:
        new_w = round(h * width / height)
        left = (w - new_w) // 2
        return image.crop((left, 0, left + new_w, h))
    new_h = round(w * height / width)
    top = (h - new_h) // 2
    return image.crop((0, top, w, top + new_h))


def encode(image, quality):
    out = io.BytesIO()
    # Baseline (not progressive), one 8-bit grey component.
    image.save(out, "JPEG", quality=quality, optimize=False, progressive=False)
    return out.getvalue()


def closest_quality(image, target):
    best = None
    for quality in range(30, 101):
        data = encode(image, quality)
        if best is None or abs(len(data) - target) < abs(len(best[1]) - target):
            best = (quality, data)
    return best


def main():
    for file_name, source, (width, height), target in PICTURES:
        image = crop_to_aspect(grey_of(source), width, height)
        image = image.resize((width, height), Image.LANCZOS)
        quality, data = closest_quality(image, target)
        with open(os.path.join(HERE, file_name), "wb") as f:
            f.write(data)
        print(f"{file_name}: {source}, {width}x{height}, quality {quality}, {len(data)} bytes")


if __name__ == "__main__":
    main()

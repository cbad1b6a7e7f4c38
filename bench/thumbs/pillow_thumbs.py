#!/usr/bin/env python3
"""Pillow's thumbnail path for comparison: draft (DCT scaling at load), thumbnail, save as BMP."""
import os
import sys

from PIL import Image


def main():
    out, files = sys.argv[1], sys.argv[2:]
    for path in files:
        with Image.open(path) as im:
            im.draft("RGB", (80, 80))
            im.thumbnail((80, 80))
            name = os.path.splitext(os.path.basename(path))[0] + ".bmp"
            im.save(os.path.join(out, name))


if __name__ == "__main__":
    main()

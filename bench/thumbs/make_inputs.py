#!/usr/bin/env python3
"""Makes a folder of photo-like 12-megapixel JPEGs for the thumbnail benchmark.

Twenty scenes from the codec benchmark's photo generator, each saved five ways (as shot, mirrored,
upside down, turned half a turn, at another quality), so every file differs without the cost of
making a hundred scenes.
"""
import os
import sys

from PIL import Image

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from photo import photo  # noqa: E402

SCENES = 20
VARIANTS = [
    (lambda im: im, 90),
    (lambda im: im.transpose(Image.Transpose.FLIP_LEFT_RIGHT), 90),
    (lambda im: im.transpose(Image.Transpose.FLIP_TOP_BOTTOM), 90),
    (lambda im: im.transpose(Image.Transpose.ROTATE_180), 92),
    (lambda im: im, 80),
]


def main():
    out = sys.argv[1]
    count = int(sys.argv[2]) if len(sys.argv) > 2 else SCENES * len(VARIANTS)
    os.makedirs(out, exist_ok=True)
    n = 0
    for scene in range(SCENES):
        if n >= count:
            break
        img = photo(4000, 3000, seed=100 + scene)
        for turn, quality in VARIANTS:
            if n >= count:
                break
            turn(img).save(os.path.join(out, "photo%03d.jpg" % n), quality=quality)
            n += 1
    print("made %d photos of 4000x3000 in %s" % (n, out))


if __name__ == "__main__":
    main()

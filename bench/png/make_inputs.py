#!/usr/bin/env python3
"""Makes the PNG benchmark inputs: a photo-like and a graphics-like 2000 x 1500 RGB image."""
import os
import random
import sys

from PIL import Image, ImageDraw

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from photo import photo  # noqa: E402


def graphics(width, height, seed=5):
    """Flat colours, hard edges, lines and text: a screenshot or a chart."""
    rnd = random.Random(seed)
    img = Image.new("RGB", (width, height), (245, 245, 240))
    draw = ImageDraw.Draw(img)
    for _ in range(120):
        x, y = rnd.randrange(width), rnd.randrange(height)
        w, h = rnd.randrange(20, 400), rnd.randrange(10, 200)
        colour = (rnd.randrange(256), rnd.randrange(256), rnd.randrange(256))
        draw.rectangle((x, y, x + w, y + h), fill=colour if rnd.random() < 0.6 else None, outline=(0, 0, 0))
    for _ in range(300):
        draw.line((rnd.randrange(width), rnd.randrange(height), rnd.randrange(width), rnd.randrange(height)),
                  fill=(rnd.randrange(256), 0, rnd.randrange(256)), width=rnd.randrange(1, 4))
    for i in range(400):
        draw.text((rnd.randrange(width), rnd.randrange(height)), f"Label {i} value {rnd.random():.4f}", fill=(20, 20, 20))
    return img


if __name__ == "__main__":
    out = sys.argv[1]
    photo(2000, 1500).save(f"{out}/photo.png")
    graphics(2000, 1500).save(f"{out}/graphics.png")
    print(f"made {out}/photo.png and {out}/graphics.png")

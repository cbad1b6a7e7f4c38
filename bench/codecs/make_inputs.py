#!/usr/bin/env python3
"""Makes photo-like test images: smooth gradients, soft shapes and sensor-like noise."""
import sys
from PIL import Image, ImageDraw, ImageFilter
import random

def photo(width, height, seed=7):
    rnd = random.Random(seed)
    small = Image.new("RGB", (width // 16, height // 16))
    px = small.load()
    for y in range(small.height):
        for x in range(small.width):
            px[x, y] = (int(127 + 120 * (x / small.width - 0.5)) , int(60 + 150 * y / small.height),
                        int(200 - 150 * (x + y) / (small.width + small.height)))
    img = small.resize((width, height), Image.BICUBIC)
    draw = ImageDraw.Draw(img)
    for _ in range(60):
        x, y = rnd.randrange(width), rnd.randrange(height)
        r = rnd.randrange(width // 40, width // 6)
        draw.ellipse((x - r, y - r, x + r, y + r),
                     fill=(rnd.randrange(256), rnd.randrange(256), rnd.randrange(256)))
    img = img.filter(ImageFilter.GaussianBlur(6))
    noise = Image.effect_noise((width, height), 24).convert("RGB")
    return Image.blend(img, noise, 0.12)

if __name__ == "__main__":
    out = sys.argv[1]
    img = photo(4000, 3000)
    img.save(f"{out}/photo12m.jpg", quality=90)
    img.save(f"{out}/photo12m.bmp")
    print(f"made {out}/photo12m.jpg and {out}/photo12m.bmp")

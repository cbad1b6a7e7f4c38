#!/usr/bin/env python3
"""Makes the resampling benchmark's inputs: a photo-like 4000 x 3000 image (smooth gradients,
soft shapes, sensor-like noise) and a 1000 x 750 one, as BMP for Korvel and Pillow and as
vips' own format, so that every tool reads the same pixels."""
import random
import subprocess
import sys

from PIL import Image, ImageDraw, ImageFilter


def photo(width, height, seed=11):
    rnd = random.Random(seed)
    small = Image.new("RGB", (width // 16, height // 16))
    px = small.load()
    for y in range(small.height):
        for x in range(small.width):
            px[x, y] = (int(130 + 110 * (x / small.width - 0.5)), int(50 + 160 * y / small.height),
                        int(210 - 160 * (x + y) / (small.width + small.height)))
    img = small.resize((width, height), Image.BICUBIC)
    draw = ImageDraw.Draw(img)
    for _ in range(80):
        x, y = rnd.randrange(width), rnd.randrange(height)
        r = rnd.randrange(width // 50, width // 7)
        draw.ellipse((x - r, y - r, x + r, y + r), fill=(rnd.randrange(256), rnd.randrange(256), rnd.randrange(256)))
    img = img.filter(ImageFilter.GaussianBlur(4))
    noise = Image.effect_noise((width, height), 28).convert("RGB")
    return Image.blend(img, noise, 0.1)


if __name__ == "__main__":
    out = sys.argv[1]
    large = photo(4000, 3000)
    small = large.resize((1000, 750), Image.LANCZOS)
    for name, img in (("large", large), ("small", small)):
        img.save(f"{out}/{name}.bmp")
        img.save(f"{out}/{name}.ppm")
        subprocess.run(["vips", "copy", f"{out}/{name}.ppm", f"{out}/{name}.v"], check=True)
    print(f"made {out}/large.* and {out}/small.*")

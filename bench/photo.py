"""The photo-like test image every benchmark makes its inputs from: smooth gradients, soft
shapes and sensor-like noise, the same for a given size and seed."""
import random

from PIL import Image, ImageDraw, ImageFilter


def photo(width, height, seed=7, shapes=60, blur=6, noise=24):
    rnd = random.Random(seed)
    small = Image.new("RGB", (max(1, width // 16), max(1, height // 16)))
    px = small.load()
    for y in range(small.height):
        for x in range(small.width):
            px[x, y] = (int(127 + 120 * (x / small.width - 0.5)), int(60 + 150 * y / small.height),
                        int(200 - 150 * (x + y) / (small.width + small.height)))
    img = small.resize((width, height), Image.BICUBIC)
    draw = ImageDraw.Draw(img)
    for _ in range(shapes):
        x, y = rnd.randrange(width), rnd.randrange(height)
        r = rnd.randrange(max(1, width // 40), max(2, width // 6))
        draw.ellipse((x - r, y - r, x + r, y + r), fill=(rnd.randrange(256), rnd.randrange(256), rnd.randrange(256)))
    img = img.filter(ImageFilter.GaussianBlur(blur))
    grain = Image.effect_noise((width, height), noise).convert("RGB")
    return Image.blend(img, grain, 0.12)

#!/usr/bin/env python3
"""Makes the resampling benchmark's inputs: a photo-like 4000 x 3000 image (smooth gradients,
soft shapes, sensor-like noise) and a 1000 x 750 one, as BMP for Korvel and Pillow and as
vips' own format, so that every tool reads the same pixels."""
import os
import subprocess
import sys

from PIL import Image

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from photo import photo  # noqa: E402


if __name__ == "__main__":
    out = sys.argv[1]
    large = photo(4000, 3000)
    small = large.resize((1000, 750), Image.LANCZOS)
    for name, img in (("large", large), ("small", small)):
        img.save(f"{out}/{name}.bmp")
        img.save(f"{out}/{name}.ppm")
        subprocess.run(["vips", "copy", f"{out}/{name}.ppm", f"{out}/{name}.v"], check=True)
    print(f"made {out}/large.* and {out}/small.*")

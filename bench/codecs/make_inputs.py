#!/usr/bin/env python3
"""Makes photo-like test images: smooth gradients, soft shapes and sensor-like noise."""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from photo import photo  # noqa: E402

if __name__ == "__main__":
    out = sys.argv[1]
    img = photo(4000, 3000)
    img.save(f"{out}/photo12m.jpg", quality=90)
    img.save(f"{out}/photo12m.bmp")
    print(f"made {out}/photo12m.jpg and {out}/photo12m.bmp")

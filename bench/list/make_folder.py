#!/usr/bin/env python3
"""Makes a folder of many small files for the listing benchmark: varied names (ASCII, mixed
case, spaces, Japanese), mostly .jpg and .png, some other extensions, varied modification times.
Usage: make_folder.py DIR [COUNT]"""
import os
import random
import sys

out = sys.argv[1]
count = int(sys.argv[2]) if len(sys.argv) > 2 else 50000
rng = random.Random(20240611)
os.makedirs(out, exist_ok=True)

words = ["photo", "IMG", "DSC", "Scan", "holiday", "Family", "cat", "sunset", "beach", "Tokyo",
         "写真", "旅行", "夏休み", "家族", "桜", "猫", "東京タワー", "さくら", "カメラ", "風景"]
exts = [("jpg", 50), ("png", 22), ("JPG", 6), ("jpeg", 4), ("gif", 3), ("bmp", 2),
        ("txt", 5), ("xmp", 4), ("mp4", 2), ("", 2)]
ext_pool = [e for e, w in exts for _ in range(w)]
base_time = 1262304000  # 2010-01-01

made = set()
while len(made) < count:
    n = len(made)
    style = rng.randrange(4)
    w = rng.choice(words)
    if style == 0:
        stem = "%s_%05d" % (w, n)
    elif style == 1:
        stem = "%s %s %d" % (w, rng.choice(words), n)
    elif style == 2:
        stem = "%d-%02d-%02d %s%d" % (rng.randrange(2000, 2025), rng.randrange(1, 13), rng.randrange(1, 29), w, n)
    else:
        stem = "%s%s" % (w.upper() if rng.random() < 0.5 else w.lower(), n)
    ext = rng.choice(ext_pool)
    name = stem + ("." + ext if ext else "")
    if name in made:
        continue
    made.add(name)
    path = os.path.join(out, name)
    with open(path, "wb") as f:
        f.write(b"x" * rng.randrange(1, 200))
    t = base_time + rng.randrange(0, 15 * 365 * 86400)
    os.utime(path, (t, t))

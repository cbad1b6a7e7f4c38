#!/usr/bin/env python3
"""Times Pillow in-process (best of N), so Python's start-up does not count against it."""
import json, sys, time
from PIL import Image

jpg, bmp, out = sys.argv[1], sys.argv[2], sys.argv[3]

def best(fn, runs=7):
    times = []
    for _ in range(runs):
        t = time.perf_counter()
        fn()
        times.append(time.perf_counter() - t)
    return min(times)

def full():
    Image.open(jpg).load()

def draft():
    im = Image.open(jpg)
    im.draft("RGB", (500, 375))
    im.load()

def bmp_roundtrip():
    im = Image.open(bmp)
    im.load()
    im.save(out)

print(json.dumps({"pillow-full": best(full), "pillow-draft": best(draft), "pillow-bmp": best(bmp_roundtrip)}))

#!/usr/bin/env python3
"""Times Pillow's resampling and transposes in-process on the benchmark inputs: the median CPU
time of several runs per operation, in milliseconds, as JSON on stdout."""
import json
import statistics
import sys
import time

from PIL import Image

out = sys.argv[1]
runs = int(sys.argv[2]) if len(sys.argv) > 2 else 9
large = Image.open(f"{out}/large.bmp").convert("RGB")
small = Image.open(f"{out}/small.bmp").convert("RGB")
large.load()
small.load()

ops = {
    "reduce4": lambda: large.reduce(4),
    "box_down": lambda: large.resize((1000, 750), Image.BOX),
    "bicubic_down": lambda: large.resize((1000, 750), Image.BICUBIC),
    "bicubic_up": lambda: small.resize((4000, 3000), Image.BICUBIC),
    "box_up": lambda: small.resize((4000, 3000), Image.BOX),
    "rotate90": lambda: large.transpose(Image.Transpose.ROTATE_270),
    "rotate180": lambda: large.transpose(Image.Transpose.ROTATE_180),
    "rotate270": lambda: large.transpose(Image.Transpose.ROTATE_90),
    "copy": lambda: large.copy(),
}
result = {}
for name, op in ops.items():
    op()  # warm-up
    times = []
    for _ in range(runs):
        t = time.process_time()
        op()
        times.append((time.process_time() - t) * 1000)
    result[name] = statistics.median(times)
json.dump(result, sys.stdout)

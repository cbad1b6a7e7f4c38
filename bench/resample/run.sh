#!/usr/bin/env bash
# StretchBitmap and the rotations against Pillow and vips on the same images, in one run, single
# thread. Prints each peer's CPU time as a ratio to Korvel's (above 1 = Korvel faster). CPU time,
# not wall time, so that other work on the machine does not tilt the figures.
# Needs: python3-pil, libvips-tools, libbenchmark-dev, and a Release build with the benchmarks:
#   cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DKORVEL_BUILD_BENCH=ON -DKORVEL_BUILD_UI=OFF
#   ninja -C build-bench resample_bench
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${BUILD:-build-bench}
bench=$build/bench/resample/resample_bench
# Debian's python3 (with python3-pil), not whatever python3 comes first on PATH.
python=${PYTHON:-/usr/bin/python3}
out=bench/out/resample
mkdir -p "$out"
[ -f "$out/large.v" ] || "$python" bench/resample/make_inputs.py "$out"

KORVEL_BENCH_LARGE=$out/large.bmp KORVEL_BENCH_SMALL=$out/small.bmp \
  "$bench" --benchmark_format=json --benchmark_min_time=1 > "$out/korvel.json"
"$python" bench/resample/pillow_times.py "$out" 9 > "$out/pillow.json"

# vips through its command line on its own file format; the CPU time of a plain copy of the
# same file is measured alongside and subtracted, leaving the operation itself.
export VIPS_CONCURRENCY=1
"$python" - "$out" > "$out/vips.json" <<'PY'
import json, os, resource, statistics, subprocess, sys
out = sys.argv[1]
def cpu_ms(args, runs=7):
    times = []
    for _ in range(runs):
        before = resource.getrusage(resource.RUSAGE_CHILDREN)
        subprocess.run(["vips"] + args, check=True)
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
        times.append(((after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)) * 1000)
    return statistics.median(times)
L, S, T = f"{out}/large.v", f"{out}/small.v", f"{out}/vips_out.v"
r = {
    "copy_large": cpu_ms(["copy", L, T]),
    "copy_small": cpu_ms(["copy", S, T]),
    "shrink4": cpu_ms(["shrink", L, T, "4", "4"]),
    "reduce4": cpu_ms(["reduce", L, T, "4", "4"]),
    "resize_down": cpu_ms(["resize", L, T, "0.25"]),
    "resize_up_cubic": cpu_ms(["resize", S, T, "4", "--kernel", "cubic"]),
    "rot90": cpu_ms(["rot", L, T, "d90"]),
    "rot180": cpu_ms(["rot", L, T, "d180"]),
    "rot270": cpu_ms(["rot", L, T, "d270"]),
}
os.remove(T)
json.dump(r, sys.stdout)
PY

"$python" - "$out" <<'PY'
import json, sys
out = sys.argv[1]
k = {b["name"].split("/")[0]: b["cpu_time"] for b in json.load(open(f"{out}/korvel.json"))["benchmarks"]}
p = json.load(open(f"{out}/pillow.json"))
v = json.load(open(f"{out}/vips.json"))
vl, vs = v["copy_large"], v["copy_small"]
red, enl = k["BM_StretchReduce4000To1000"], k["BM_StretchEnlarge1000To4000"]
def line(what, peer, ours):
    print(f"  {what:<44} {peer / ours:6.2f}")
print("CPU time of the peer / CPU time of Korvel (above 1 = Korvel faster)")
print("StretchBitmap 4000x3000 -> 1000x750 (area average):")
line("Pillow reduce(4)", p["reduce4"], red)
line("Pillow resize BOX", p["box_down"], red)
line("Pillow resize BICUBIC", p["bicubic_down"], red)
line("vips shrink 4 (box), minus a copy", v["shrink4"] - vl, red)
line("vips reduce 4 (lanczos3), minus a copy", v["reduce4"] - vl, red)
line("vips resize 0.25, minus a copy", v["resize_down"] - vl, red)
print("StretchBitmap 1000x750 -> 4000x3000 (cubic):")
line("Pillow resize BICUBIC", p["bicubic_up"], enl)
line("Pillow resize BOX", p["box_up"], enl)
line("vips resize 4 cubic, minus a copy of the result", v["resize_up_cubic"] - vl, enl)
print("Turns of a 12-megapixel 24-bit image:")
for ours, pil, vip, name in (("BM_Rotate<Rotate90Right>", "rotate90", "rot90", "90 right"),
                             ("BM_Rotate<Rotate180>", "rotate180", "rot180", "180"),
                             ("BM_Rotate<Rotate90Left>", "rotate270", "rot270", "90 left")):
    t = k[ours]
    print(f"  {name:<9} Korvel/memory copy {t / k['BM_MemoryCopy']:5.2f}   Pillow/Korvel {p[pil] / t:5.2f}"
          f"   vips(minus copy)/Korvel {(v[vip] - vl) / t:5.2f}")
print("Korvel CPU ms: " + ", ".join(f"{n} {t:.1f}" for n, t in k.items()))
print("Pillow CPU ms: " + ", ".join(f"{n} {t:.1f}" for n, t in p.items()))
print("vips CPU ms:   " + ", ".join(f"{n} {t:.1f}" for n, t in v.items()))
PY

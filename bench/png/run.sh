#!/usr/bin/env bash
# PNG decode and encode, Korvel against Pillow and libspng on the same files with the same
# settings, in one run; then korvel-tool against netpbm's pngtopam (libpng) as whole processes.
# Prints each peer's time as a ratio to Korvel's (above 1 = Korvel faster) and size ratios
# (peer bytes / Korvel bytes). Needs: a Release build (BUILD, default build/), libspng-dev,
# python3-pil, netpbm, hyperfine.
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${BUILD:-build}
python=${PYTHON:-/usr/bin/python3}
runs=${RUNS:-7}
out=bench/out/png
mkdir -p "$out"
[ -f "$out/photo.png" ] || "$python" bench/png/make_inputs.py "$out"

# The harnesses: Korvel's codec linked from the build, libspng from the system.
c++ -O2 -std=c++20 -I. bench/png/png_bench.cpp "$build/libkorvel_core.a" -lz -ljpeg -lgif -ldl -o "$out/png_bench"
cc -O2 bench/png/spng_bench.c -lspng -lz -o "$out/spng_bench"

pillow() {  # pillow decode FILE | pillow encode FILE LEVEL
    "$python" - "$@" "$runs" << 'PY'
import io, sys, time
from PIL import Image
mode, path = sys.argv[1], sys.argv[2]
runs = int(sys.argv[-1])
data = open(path, "rb").read()
best, size = 1e9, 0
src = Image.open(io.BytesIO(data)); src.load()
for _ in range(runs):
    if mode == "decode":
        t0 = time.perf_counter()
        im = Image.open(io.BytesIO(data)); im.load()
        best = min(best, time.perf_counter() - t0)
    else:
        level = int(sys.argv[3])
        buf = io.BytesIO()
        t0 = time.perf_counter()
        src.save(buf, "PNG", **({} if level < 0 else {"compress_level": level}))
        best = min(best, time.perf_counter() - t0)
        size = buf.tell()
print(f"{best:.6f} {size}")
PY
}

printf "%-34s %10s %10s %10s %12s %12s\n" "case" "korvel s" "spng/k" "Pillow/k" "spng size/k" "Pillow size/k"
for img in photo graphics; do
    f=$out/$img.png
    read -r k _ < <("$out/png_bench" decode "$f" "$runs")
    read -r s _ < <("$out/spng_bench" decode "$f" "$runs")
    read -r p _ < <(pillow decode "$f")
    printf "%-34s %10.4f %10.2f %10.2f\n" "$img decode" "$k" "$(echo "$s / $k" | bc -l)" "$(echo "$p / $k" | bc -l)"
    for level in 6 -1; do
        for filter in none adaptive; do
            read -r k kb < <("$out/png_bench" encode "$f" "$level" "$filter" "$runs")
            read -r s sb < <("$out/spng_bench" encode "$f" "$level" "$filter" "$runs")
            pl="-"; pls="-"
            # Pillow always chooses its filters itself: compared with the adaptive rows only.
            if [ "$filter" = adaptive ]; then
                read -r p pb < <(pillow encode "$f" "$level")
                pl=$(printf "%.2f" "$(echo "$p / $k" | bc -l)"); pls=$(printf "%.3f" "$(echo "$pb / $kb" | bc -l)")
            fi
            printf "%-34s %10.4f %10.2f %10s %12.3f %12s\n" "$img encode level $level $filter" "$k" \
                "$(echo "$s / $k" | bc -l)" "$pl" "$(echo "$sb / $kb" | bc -l)" "$pls"
        done
    done
done

# Whole processes on the same file: decode to a PAM with korvel-tool and with pngtopam (libpng).
tool=$build/tools/korvel-tool
if [ -x "$tool" ] && command -v pngtopam > /dev/null; then
    hyperfine -N --warmup 2 --runs 10 --export-json "$out/process.json" \
        -n korvel-tool "$tool decode $out/photo.png /dev/null" \
        -n pngtopam "pngtopam -alphapam $out/photo.png" > "$out/hyperfine.txt"
    "$python" - "$out/process.json" << 'PY'
import json, sys
t = {r["command"]: r["mean"] for r in json.load(open(sys.argv[1]))["results"]}
print("photo decode to PAM, whole process: pngtopam/korvel-tool %.2f" % (t["pngtopam"] / t["korvel-tool"]))
PY
fi

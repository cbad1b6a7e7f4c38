#!/usr/bin/env bash
# Times korvel-tool against djpeg and Pillow on the same 12-megapixel files, in one run, and
# prints each peer's time as a ratio to Korvel's (above 1 = Korvel faster).
# Needs: hyperfine, libjpeg-turbo-progs (djpeg), python3-pil, and a Release build in build/.
set -euo pipefail
cd "$(dirname "$0")/../.."
tool=./build/tools/korvel-tool
# Debian's python3 (with python3-pil), not whatever python3 comes first on PATH.
python=${PYTHON:-/usr/bin/python3}
out=bench/out/codecs
mkdir -p "$out"
[ -f "$out/photo12m.jpg" ] || "$python" bench/codecs/make_inputs.py "$out"
jpg=$out/photo12m.jpg bmp=$out/photo12m.bmp

hyperfine --warmup 2 --runs 10 --export-json "$out/times.json" \
  -n korvel-full "$tool decode $jpg /dev/null" \
  -n djpeg-full "djpeg -outfile /dev/null $jpg" \
  -n korvel-eighth "$tool decode --scale 1/8 $jpg /dev/null" \
  -n djpeg-eighth "djpeg -scale 1/8 -outfile /dev/null $jpg" \
  -n korvel-bmp "$tool convert --format bmp -o $out/conv $bmp" \
  --prepare "rm -rf $out/conv; mkdir -p $out/conv" > "$out/hyperfine.txt"
"$python" bench/codecs/pillow_times.py "$jpg" "$bmp" "$out/pil.bmp" > "$out/pillow.json"

"$python" - "$out/times.json" "$out/pillow.json" <<'PY'
import json, sys
runs = json.load(open(sys.argv[1]))["results"]
wall = {r["command"]: min(r["times"]) for r in runs}
cpu = {r["command"]: r["user"] + r["system"] for r in runs}
pil = json.load(open(sys.argv[2]))
def line(what, ours, peers):
    parts = []
    for name in peers:
        t = pil.get(name, wall.get(name))
        parts.append("%s/korvel %.2f (cpu %.2f)" % (name, t / wall[ours], (pil.get(name) or cpu[name]) / cpu[ours]))
    print("%-26s %s" % (what, "  ".join(parts)))
line("JPEG 12 MP full decode:", "korvel-full", ["djpeg-full", "pillow-full"])
line("JPEG 12 MP 1/8 decode:", "korvel-eighth", ["djpeg-eighth", "pillow-draft"])
line("BMP 12 MP load+save:", "korvel-bmp", ["pillow-bmp"])
print("korvel and djpeg: whole processes, best run; Pillow: in-process, best of 7 (no interpreter start-up)")
PY

#!/usr/bin/env bash
# korvel-tool thumb on its worker pool against vipsthumbnail, 100 photo-like 12-megapixel JPEGs,
# ThumbSize 100 (an 80-pixel box), in one hyperfine run: Korvel on one and on two workers,
# vipsthumbnail on one thread (VIPS_CONCURRENCY=1) and with its default threads. Prints the
# ratios of the wall-clock means (below 1 = Korvel faster) and the CPU times.
# Needs: hyperfine, libvips-tools, python3-pil, and a Release korvel-tool (KORVEL_TOOL).
set -euo pipefail
cd "$(dirname "$0")/../.."
tool=${KORVEL_TOOL:-./build/tools/korvel-tool}
python=${PYTHON:-/usr/bin/python3}
runs=${RUNS:-5}
out=$PWD/bench/out/thumbs
photos=$out/photos
[ -f "$photos/photo099.jpg" ] || "$python" bench/thumbs/make_inputs.py "$photos" 100
files=$(ls "$photos"/photo*.jpg | tr '\n' ' ')

hyperfine -N --warmup 1 --runs "$runs" --export-json "$out/pool.json" \
  --prepare "rm -rf $out/k1 $out/k2 $out/v1 $out/vn" \
  -n korvel-1 "sh -c 'mkdir -p $out/k1 && exec $tool thumb --jobs 1 -o $out/k1 $files >/dev/null'" \
  -n korvel-2 "sh -c 'mkdir -p $out/k2 && exec $tool thumb --jobs 2 -o $out/k2 $files >/dev/null'" \
  -n vips-1 "sh -c 'mkdir -p $out/v1 && VIPS_CONCURRENCY=1 exec vipsthumbnail -s 80 -o $out/v1/%s.jpg $files'" \
  -n vips-default "sh -c 'mkdir -p $out/vn && exec vipsthumbnail -s 80 -o $out/vn/%s.jpg $files'" \
  | tee "$out/pool.txt"

"$python" - "$out/pool.json" <<'PY'
import json, sys
res = {r["command"]: r for r in json.load(open(sys.argv[1]))["results"]}
for label, key in (("wall-clock", lambda r: r["mean"]), ("CPU time", lambda r: r["user"] + r["system"])):
    t = {name: key(r) for name, r in res.items()}
    print("%s (s): korvel 1 worker %.2f, 2 workers %.2f; vipsthumbnail 1 thread %.2f, default %.2f" % (
        label, t["korvel-1"], t["korvel-2"], t["vips-1"], t["vips-default"]))
    print("  korvel-2/vips-1 %.2f  korvel-1/vips-1 %.2f  korvel-2/vips-default %.2f  korvel-2/korvel-1 %.2f" % (
        t["korvel-2"] / t["vips-1"], t["korvel-1"] / t["vips-1"], t["korvel-2"] / t["vips-default"],
        t["korvel-2"] / t["korvel-1"]))
PY

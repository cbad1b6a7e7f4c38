#!/usr/bin/env bash
# Thumbnails of 100 photo-like 12-megapixel JPEGs in one process each: korvel-tool thumb (the
# grid's pipeline with the cache file, ThumbSize 100 = an 80-pixel box) against vipsthumbnail -s 80
# on one thread and Pillow's draft + thumbnail, timed in one hyperfine run. Prints Korvel's time
# per thumbnail as a fraction of each peer's (below 1 = Korvel faster).
# Needs: hyperfine, libvips-tools, libjpeg-turbo-progs, python3-pil, and a Release korvel-tool
# (KORVEL_TOOL, default build/tools/korvel-tool).
set -euo pipefail
cd "$(dirname "$0")/../.."
tool=${KORVEL_TOOL:-./build/tools/korvel-tool}
# Debian's python3 (with python3-pil), not whatever python3 comes first on PATH.
python=${PYTHON:-/usr/bin/python3}
runs=${RUNS:-5}
out=$PWD/bench/out/thumbs
photos=$out/photos
[ -f "$photos/photo099.jpg" ] || "$python" bench/thumbs/make_inputs.py "$photos" 100
files=$(ls "$photos"/photo*.jpg | tr '\n' ' ')
# libvips would otherwise use every core; the others decode on one thread.
export VIPS_CONCURRENCY=1

hyperfine -N --warmup 1 --runs "$runs" --export-json "$out/times.json" \
  --prepare "rm -rf $out/k $out/v $out/p" \
  -n korvel "sh -c 'mkdir -p $out/k && exec $tool thumb -o $out/k $files >/dev/null'" \
  -n vipsthumbnail "sh -c 'mkdir -p $out/v && exec vipsthumbnail -s 80 -o $out/v/%s.jpg $files'" \
  -n pillow "sh -c 'mkdir -p $out/p && exec $python bench/thumbs/pillow_thumbs.py $out/p $files'" \
  -n djpeg-eighth "sh -c 'for f in $files; do djpeg -scale 1/8 -outfile /dev/null \$f; done'" \
  -n python-startup "sh -c 'exec $python -c \"from PIL import Image\"'" \
  -n sh-startup "sh -c 'exec true'" | tee "$out/hyperfine.txt"

# Wall-clock means, and CPU time (user + system), which stays meaningful on a busy machine.
"$python" - "$out/times.json" <<'PY'
import json, sys
res = {r["command"]: r for r in json.load(open(sys.argv[1]))["results"]}
for label, key in (("wall-clock", lambda r: r["mean"]), ("CPU time", lambda r: r["user"] + r["system"])):
    t = {name: key(r) for name, r in res.items()}
    sh, py = t["sh-startup"], t["python-startup"]
    k, v, p = t["korvel"] - sh, t["vipsthumbnail"] - sh, t["pillow"] - py
    print("%s per thumbnail (ms): korvel %.1f  vipsthumbnail %.1f  pillow %.1f  djpeg 1/8 %.1f" % (
        label, 10 * k, 10 * v, 10 * p, 10 * t["djpeg-eighth"]))
    print("  korvel/vipsthumbnail %.2f   korvel/pillow %.2f   korvel/djpeg-1/8 %.2f" % (k / v, k / p, k / t["djpeg-eighth"]))
print("(Python start-up is subtracted from Pillow; djpeg starts one process per file)")
PY

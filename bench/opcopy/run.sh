#!/usr/bin/env bash
# Extended copy of photo-like 12-megapixel JPEGs to 1600-pixel JPEGs (quality 85) and to PNGs:
# korvel-tool convert (the dialog's batch runner) on one and on two workers, against
# vipsthumbnail and ImageMagick's convert -resize on one and on two cores, in one hyperfine run.
# Prints peer/korvel ratios (above 1 = Korvel faster), wall-clock and CPU time.
# Needs: hyperfine, libvips-tools, imagemagick, python3-pil, a Release korvel-tool
# (KORVEL_TOOL, default build/tools/korvel-tool). COUNT photos (default 100), RUNS (default 3).
set -euo pipefail
cd "$(dirname "$0")/../.."
tool=${KORVEL_TOOL:-./build/tools/korvel-tool}
python=${PYTHON:-/usr/bin/python3}
magick=${MAGICK:-/usr/bin/convert}
count=${COUNT:-100}
runs=${RUNS:-3}
out=$PWD/bench/out/opcopy
photos=$out/photos$count
last=$(printf '%s/photo%03d.jpg' "$photos" $((count - 1)))
[ -f "$last" ] || "$python" bench/thumbs/make_inputs.py "$photos" "$count"
files=$(ls "$photos"/photo*.jpg | tr '\n' ' ')
im() {  # ImageMagick on P processes, one file each
  echo "mkdir -p $out/$1 && ls $photos/photo*.jpg | xargs -P $2 -I{} sh -c '$magick {} -resize 1600x1600 -quality 85 $out/$1/\$(basename {} .jpg).$3'"
}
hyperfine -N --runs "$runs" --export-json "$out/times.json" \
  --prepare "rm -rf $out/o" \
  -n korvel-jpeg-1 "sh -c 'mkdir -p $out/o && exec $tool convert --format jpeg --quality 85 --fit 1600 --jobs 1 -o $out/o $files >/dev/null'" \
  -n korvel-jpeg-2 "sh -c 'mkdir -p $out/o && exec $tool convert --format jpeg --quality 85 --fit 1600 --jobs 2 -o $out/o $files >/dev/null'" \
  -n vips-jpeg-1 "sh -c 'mkdir -p $out/o && VIPS_CONCURRENCY=1 exec vipsthumbnail -s 1600 -o $out/o/%s.jpg[Q=85] $files'" \
  -n vips-jpeg-2 "sh -c 'mkdir -p $out/o && VIPS_CONCURRENCY=2 exec vipsthumbnail -s 1600 -o $out/o/%s.jpg[Q=85] $files'" \
  -n magick-jpeg-1 "sh -c \"$(im o 1 jpg)\"" \
  -n magick-jpeg-2 "sh -c \"$(im o 2 jpg)\"" \
  -n korvel-png-1 "sh -c 'mkdir -p $out/o && exec $tool convert --format png --fit 1600 --jobs 1 -o $out/o $files >/dev/null'" \
  -n korvel-png-2 "sh -c 'mkdir -p $out/o && exec $tool convert --format png --fit 1600 --jobs 2 -o $out/o $files >/dev/null'" \
  -n vips-png-1 "sh -c 'mkdir -p $out/o && VIPS_CONCURRENCY=1 exec vipsthumbnail -s 1600 -o $out/o/%s.png $files'" \
  -n vips-png-2 "sh -c 'mkdir -p $out/o && VIPS_CONCURRENCY=2 exec vipsthumbnail -s 1600 -o $out/o/%s.png $files'" \
  -n magick-png-1 "sh -c \"$(im o 1 png)\"" \
  -n magick-png-2 "sh -c \"$(im o 2 png)\"" | tee "$out/hyperfine.txt"

"$python" - "$out/times.json" <<'PY'
import json, sys
res = {r["command"]: r for r in json.load(open(sys.argv[1]))["results"]}
for label, key in (("wall-clock", lambda r: r["mean"]), ("CPU time", lambda r: r["user"] + r["system"])):
    print(label + " (peer/korvel, above 1 = Korvel faster):")
    for fmt in ("jpeg", "png"):
        for cores in ("1", "2"):
            k = key(res["korvel-%s-%s" % (fmt, cores)])
            v = key(res["vips-%s-%s" % (fmt, cores)])
            m = key(res["magick-%s-%s" % (fmt, cores)])
            print("  %-4s on %s core(s): vips %.2f  imagemagick %.2f" % (fmt, cores, v / k, m / k))
PY

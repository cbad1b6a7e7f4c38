#!/usr/bin/env bash
# Photos as phones store them (orientation 6, a Display P3 profile) against the same photos
# without either and with only one of them: decode + turn + colour conversion at full size and at 1/8 in one run of
# photo_bench, then the grid's thumbnails of the tagged folder against vipsthumbnail, which
# also applies orientation and profiles by default. COUNT photos of 12 megapixels (default 100).
# Needs: hyperfine, libvips-tools, python3-pil, and a Release build with KORVEL_BUILD_BENCH=ON
# (BUILD, default build).
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${BUILD:-build}
python=${PYTHON:-/usr/bin/python3}
count=${COUNT:-100}
runs=${RUNS:-3}
out=$PWD/bench/out/photo
plain=$out/plain
tagged=$out/tagged
last=$(printf 'photo%03d.jpg' $((count - 1)))
[ -f "$plain/$last" ] || "$python" bench/thumbs/make_inputs.py "$plain" "$count"
[ -f "$tagged/turn/$last" ] || "$build/bench/photo/photo_bench" tag "$plain" "$tagged"
"$build/bench/photo/photo_bench" time "$plain" "$tagged" | tee "$out/decode.txt"

files=$(ls "$tagged"/photo*.jpg | tr '\n' ' ')
export VIPS_CONCURRENCY=1
hyperfine -N --warmup 1 --runs "$runs" --export-json "$out/times.json" \
  --prepare "rm -rf $out/k $out/v" \
  -n korvel "sh -c 'mkdir -p $out/k && exec $build/tools/korvel-tool thumb -o $out/k $files >/dev/null'" \
  -n vipsthumbnail "sh -c 'mkdir -p $out/v && exec vipsthumbnail -s 80 -o $out/v/%s.jpg $files'" \
  | tee "$out/hyperfine.txt"
"$python" - "$out/times.json" "$count" <<'PY'
import json, sys
res = {r["command"]: r for r in json.load(open(sys.argv[1]))["results"]}
n = int(sys.argv[2])
for label, key in (("wall-clock", lambda r: r["mean"]), ("CPU time", lambda r: r["user"] + r["system"])):
    k, v = key(res["korvel"]), key(res["vipsthumbnail"])
    print("%s per thumbnail (ms): korvel %.1f  vipsthumbnail %.1f  korvel/vipsthumbnail %.2f" % (
        label, 1000 * k / n, 1000 * v / n, k / v))
PY

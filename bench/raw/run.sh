#!/usr/bin/env bash
# Thumbnails of camera RAW files through their embedded JPEG previews against vipsthumbnail on
# the same files: COUNT linear DNGs of WIDTH x HEIGHT (default 8 of 4000 x 3000) with a preview
# of a quarter of each side, made by make_dng. Korvel's side is korvel-tool thumb (the grid's
# thumbnail path). Needs: hyperfine, libvips-tools, and a Release build with
# KORVEL_BUILD_BENCH=ON (BUILD, default build).
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${BUILD:-build}
count=${COUNT:-8}
runs=${RUNS:-3}
out=$PWD/bench/out/raw
dng=$out/dng
last=$(printf 'raw%03d.dng' $((count - 1)))
mkdir -p "$dng"
[ -f "$dng/$last" ] || "$build/bench/raw/make_dng" "$dng" "$count" "${WIDTH:-4000}" "${HEIGHT:-3000}" 4

files=$(ls "$dng"/raw*.dng | tr '\n' ' ')
export VIPS_CONCURRENCY=1
hyperfine -N --warmup 1 --runs "$runs" --export-json "$out/times.json" \
  --prepare "rm -rf $out/k $out/v" \
  -n korvel "sh -c 'mkdir -p $out/k && exec $build/tools/korvel-tool thumb -o $out/k $files >/dev/null'" \
  -n vipsthumbnail "sh -c 'mkdir -p $out/v && exec vipsthumbnail -s 80 -o $out/v/%s.jpg $files'" \
  | tee "$out/hyperfine.txt"
python3 - "$out/times.json" "$count" <<'PY'
import json, sys
res = {r["command"]: r for r in json.load(open(sys.argv[1]))["results"]}
n = int(sys.argv[2])
for label, key in (("wall-clock", lambda r: r["mean"]), ("CPU time", lambda r: r["user"] + r["system"])):
    k, v = key(res["korvel"]), key(res["vipsthumbnail"])
    print("%s per thumbnail (ms): korvel %.1f  vipsthumbnail %.1f  korvel/vipsthumbnail %.2f" % (
        label, 1000 * k / n, 1000 * v / n, k / v))
PY

#!/usr/bin/env bash
# The main window on a folder of 100,000 photo-like 12-megapixel JPEGs (hard links to the 100
# photos of the thumbnail benchmark, so the folder costs no disk space), offscreen: listing plus
# first screen, the longest stall of the window thread while scrolling, and peak memory.
# Needs a build with -DKORVEL_BUILD_BENCH=ON (BUILD, default build). COUNT changes the size.
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${BUILD:-build}
count=${COUNT:-100000}
python=${PYTHON:-/usr/bin/python3}
out=$PWD/bench/out/big
photos=$PWD/bench/out/thumbs/photos
[ -f "$photos/photo099.jpg" ] || "$python" bench/thumbs/make_inputs.py "$photos" 100
if [ ! -f "$out/made-$count" ]; then
  rm -rf "$out"
  mkdir -p "$out/folder"
  "$python" - "$photos" "$out/folder" "$count" <<'PY'
import os, sys
src, dst, n = sys.argv[1], sys.argv[2], int(sys.argv[3])
for i in range(n):
    os.link(os.path.join(src, "photo%03d.jpg" % (i % 100)), os.path.join(dst, "f%06d.jpg" % i))
PY
  touch "$out/made-$count"
fi
QT_QPA_PLATFORM=offscreen "$build/bench/grid/bench_big_folder" "$out/folder" "${SECONDS_SCROLL:-10}"

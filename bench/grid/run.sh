#!/usr/bin/env bash
# The grid's first screen for a folder of 1,000 photo-like 12-megapixel JPEGs (hard links to the
# 100 photos of the thumbnail benchmark, so the folder costs no disk space), offscreen, with the
# shared thumbnail cache off (bench/thumbs/shared.sh measures it): after the folder is chosen in a
# running window, and from starting the window on it.
# Needs a build with -DKORVEL_BUILD_BENCH=ON in build-bench/ (BUILD to change it).
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${BUILD:-build-bench}
python=${PYTHON:-/usr/bin/python3}
out=$PWD/bench/out/grid
photos=$PWD/bench/out/thumbs/photos
[ -f "$photos/photo099.jpg" ] || "$python" bench/thumbs/make_inputs.py "$photos" 100
if [ ! -f "$out/folder/f0999.jpg" ]; then
  mkdir -p "$out/folder"
  for i in $(seq 0 999); do ln -f "$photos/photo$(printf %03d $((i % 100))).jpg" "$out/folder/f$(printf %04d "$i").jpg"; done
fi
# The same photos as a camera writes them, with embedded EXIF thumbnails (every fifth cut to 16:9,
# its thumbnail letterboxed).
camera=$PWD/bench/out/grid/camera-photos
[ -f "$camera/photo099.jpg" ] || "$python" bench/grid/make_exif_photos.py "$photos" "$camera"
if [ ! -f "$out/exif/f0999.jpg" ]; then
  mkdir -p "$out/exif"
  for i in $(seq 0 999); do ln -f "$camera/photo$(printf %03d $((i % 100))).jpg" "$out/exif/f$(printf %04d "$i").jpg"; done
fi
for folder in folder exif; do
  for mode in chosen start; do
    echo "$folder:"
    XDG_CACHE_HOME=/dev/null/no-cache QT_QPA_PLATFORM=offscreen "$build/bench/grid/bench_first_screen" "$out/$folder" 3 "$mode"
  done
done
# A peer viewer on the camera folder in the same run, and Korvel timed the same way (screen
# captures on a private X server, from the program's start), when one is installed.
peer=${PEER:-gthumb}
if command -v "$peer" >/dev/null && command -v Xvfb >/dev/null && [ -x "$build/korvel" ]; then
  "$python" bench/grid/peer_first_screen.py 97 -- "$peer" "$out/exif"
  KORVEL_CONFIG_DIR=$(mktemp -d) "$python" bench/grid/peer_first_screen.py 98 -- "$build/korvel" "$out/exif"
fi

#!/usr/bin/env bash
# The grid's first screen of the grid benchmark's folder (1,000 photo-like 12-megapixel JPEGs)
# with the freedesktop shared thumbnail cache: off (its folder cannot be made), empty (Korvel
# decodes every visible file and writes its standard thumbnail) and holding them (the next start).
# Each figure is the best of RUNS starts, offscreen. Prints the ratios to the cache being off.
# Needs a build with -DKORVEL_BUILD_BENCH=ON in build-bench/ (BUILD to change it).
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${BUILD:-build-bench}
python=${PYTHON:-/usr/bin/python3}
runs=${RUNS:-3}
grid=$PWD/bench/out/grid
photos=$PWD/bench/out/thumbs/photos
cache=$PWD/bench/out/shared-cache
[ -f "$photos/photo099.jpg" ] || "$python" bench/thumbs/make_inputs.py "$photos" 100
if [ ! -f "$grid/folder/f0999.jpg" ]; then
  mkdir -p "$grid/folder"
  for i in $(seq 0 999); do ln -f "$photos/photo$(printf %03d $((i % 100))).jpg" "$grid/folder/f$(printf %04d "$i").jpg"; done
fi

# One start of the window on the folder; prints its first-screen time in ms.
first() {
  XDG_CACHE_HOME=$1 QT_QPA_PLATFORM=offscreen "$build/bench/grid/bench_first_screen" "$grid/folder" 1 |
    tee -a "$grid/shared.txt" | sed -n 's/.*: \([0-9.]*\) ms.*/\1/p'
}
best() { sort -g | head -1; }

: > "$grid/shared.txt"
off=$(for i in $(seq "$runs"); do first /dev/null/no-cache; done | best)
empty=$(for i in $(seq "$runs"); do rm -rf "$cache"; first "$cache"; done | best)
held=$(for i in $(seq "$runs"); do first "$cache"; done | best)
echo "first screen, best of $runs: cache off $off ms, empty (writing) $empty ms, holding them $held ms"
"$python" -c "import sys; o, e, h = map(float, sys.argv[1:]); print('empty/off %.2f   holding/off %.2f' % (e / o, h / o))" \
  "$off" "$empty" "$held"

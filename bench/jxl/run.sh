#!/usr/bin/env bash
# JPEG XL decode time: the plug-in (jxl_bench) against djxl on the same files, both decoding to
# memory only (djxl without an output file), both with their default thread count. Files: a
# photo-like 12-megapixel picture made by bench/photo.py, cjxl'd lossy (distance 1), lossless,
# and as a recompressed JPEG. REPS decodes each (default 10); the best run of each is compared.
# Needs: libjxl-tools, python3-pil, and a Release build with KORVEL_BUILD_BENCH=ON (BUILD,
# default build).
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${BUILD:-build}
python=${PYTHON:-/usr/bin/python3}
reps=${REPS:-10}
out=$PWD/bench/out/jxl
mkdir -p "$out"
if [ ! -f "$out/photo.ppm" ]; then
  "$python" - "$out" <<'PY'
import os, sys
sys.path.insert(0, "bench")
from photo import photo
img = photo(4000, 3000)
img.save(os.path.join(sys.argv[1], "photo.ppm"))
img.save(os.path.join(sys.argv[1], "photo.jpg"), quality=90)
PY
fi
[ -f "$out/lossy.jxl" ] || cjxl "$out/photo.ppm" "$out/lossy.jxl" -d 1 --quiet
[ -f "$out/lossless.jxl" ] || cjxl "$out/photo.ppm" "$out/lossless.jxl" -d 0 --quiet
[ -f "$out/jpeg.jxl" ] || cjxl "$out/photo.jpg" "$out/jpeg.jxl" --quiet
for f in lossy lossless jpeg; do
  k=$("$build/bench/jxl/jxl_bench" "$reps" "$out/$f.jxl" | sed -n 's/.*best \([0-9.]*\) ms.*/\1/p')
  # djxl prints the speed of its best run.
  mps=$(djxl "$out/$f.jxl" --num_reps="$reps" 2>&1 | sed -n 's/.*\[\([0-9.]*\), \([0-9.]*\)\].*/\2/p' | tail -1)
  d=$("$python" -c "print('%.1f' % (12.0 / $mps * 1000))")
  "$python" -c "print('%-9s korvel %7.1f ms  djxl %7.1f ms  korvel/djxl %.2f' % ('$f', $k, $d, $k / $d))"
done | tee "$out/times.txt"

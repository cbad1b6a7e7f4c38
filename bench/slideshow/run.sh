#!/usr/bin/env bash
# A full-screen slideshow of 100 photo-like 12-megapixel JPEGs at a 1-second interval on a
# 1920x1080 Xvfb screen: tick to painted (median and worst) and the window thread's longest stall.
# Needs xvfb, python3-pil and a build with -DKORVEL_BUILD_BENCH=ON (BUILD, default build-bench).
# COUNT photos (default 100), INTERVAL in ms (default 1000).
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${BUILD:-build-bench}
python=${PYTHON:-/usr/bin/python3}
count=${COUNT:-100}
photos=$PWD/bench/out/slideshow/photos$count
[ -f "$(printf '%s/photo%03d.jpg' "$photos" $((count - 1)))" ] || "$python" bench/thumbs/make_inputs.py "$photos" "$count"
xvfb-run -a -s "-screen 0 1920x1080x24" env QT_QPA_PLATFORM=xcb \
  "$build/bench/slideshow/bench_slideshow" "$photos" "${INTERVAL:-1000}" "$count"

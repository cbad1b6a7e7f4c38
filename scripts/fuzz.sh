#!/usr/bin/env bash
# Builds the fuzz targets with clang into build-fuzz and runs each for a bounded time, starting
# from its seed corpus: fuzz.sh [seconds per target, default 20] [target...].
# A crash, sanitizer report, leak or hang ends with a non-zero status; the input that caused it
# is kept in build-fuzz/findings/ and replays with: build-fuzz/fuzz/<target>_fuzz <file>.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}
shift || true
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DKORVEL_FUZZ=ON
cmake --build build-fuzz
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(bmp ico gif jpeg png plugin_blocks plugin_meta jxl ini thumb_cache exif icc hand_over name_text trashinfo journal raw exif_thumb jpeg_turn)
mkdir -p build-fuzz/findings
for t in "${targets[@]}"; do
  # New inputs go to a folder of their own; the generated seeds stay as they are.
  grown=build-fuzz/fuzz/grown/$t
  mkdir -p "$grown"
  echo "== $t: $seconds s"
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    "build-fuzz/fuzz/${t}_fuzz" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="build-fuzz/findings/$t-" "$grown" "build-fuzz/fuzz/corpus/$t"
done

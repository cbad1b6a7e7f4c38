#!/usr/bin/env bash
# Undo of a 1,000-file move and of a 1,000-file Trash delete against the operations themselves,
# with the core alone: once on a folder of the disk (bench/out/undo) and once on a tmpfs
# (/dev/shm), where the disk's own costs drop out. FILES (default 1000), RUNS (default 9).
# Needs a Release build with KORVEL_BUILD_BENCH=ON (BUILD, default build).
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${BUILD:-build}
files=${FILES:-1000}
runs=${RUNS:-9}
mkdir -p bench/out
echo "disk: $(df --output=fstype bench/out | tail -1)"
"$build/bench/undo/undo_bench" --files "$files" --runs "$runs" "$PWD/bench/out/undo" | tee bench/out/undo-disk.txt
if [ -d /dev/shm ]; then
  echo "tmpfs:"
  "$build/bench/undo/undo_bench" --files "$files" --runs "$runs" "/dev/shm/korvel-undo-bench-$$" | tee bench/out/undo-tmpfs.txt
fi

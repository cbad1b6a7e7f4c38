#!/usr/bin/env bash
# Times korvel-tool copy and move against cp and mv, in one hyperfine run each, and prints each
# peer's time as a ratio to Korvel's (above 1 = Korvel faster), wall-clock and CPU time.
#   copy: PHOTOS files of about PHOTO_MB MB of incompressible bytes, given as a list of files
#         (korvel-tool copy FILES vs cp FILES) and as their folder (vs cp -r), and one BIG_MB file,
#         each to a folder of the same file system (bench/out) and to a tmpfs;
#   move: MOVE_COUNT small files to another folder of the same file system (vs mv).
# The defaults are the issue's sizes (1,000 photos of 3 MB, a 4 GB file, 10,000 files to move);
# a busy or small machine sets smaller ones, e.g. PHOTOS=300 BIG_MB=1024.
# The tmpfs is mounted under bench/out when mount is allowed (root), else one under /dev/shm is
# used; the script says which. Sources stay in the page cache (one warm-up), and every run starts
# after `sync`, so one run's write-back does not land in the next.
# Needs: hyperfine, python3, and a Release build (KORVEL_TOOL, default build/tools/korvel-tool).
set -euo pipefail
cd "$(dirname "$0")/../.."
tool=$(realpath "${KORVEL_TOOL:-./build/tools/korvel-tool}")
python=${PYTHON:-/usr/bin/python3}
photos=${PHOTOS:-1000}
photo_mb=${PHOTO_MB:-3}
big_mb=${BIG_MB:-4096}
move_count=${MOVE_COUNT:-10000}
runs=${RUNS:-5}
out=$PWD/bench/out/fileops
in=$out/in
mkdir -p "$in" "$out/disk"

# Inputs, remade only when the sizes change.
stamp="$in/made-$photos-$photo_mb-$big_mb"
if [ ! -f "$stamp" ]; then
  rm -rf "$in"/photos "$in"/big.bin "$in"/made-*
  "$python" - "$in" "$photos" "$photo_mb" "$big_mb" <<'PY'
import os, random, sys
out, count, mb, big = sys.argv[1], int(sys.argv[2]), float(sys.argv[3]), int(sys.argv[4])
rnd = random.Random(15)
os.makedirs(os.path.join(out, "photos"))
for i in range(count):
    size = int(mb * (1 << 20) * rnd.uniform(0.8, 1.2))  # photos differ in size; the mean is PHOTO_MB
    with open(os.path.join(out, "photos", "IMG_%05d.jpg" % i), "wb") as f:
        f.write(os.urandom(size))
with open(os.path.join(out, "big.bin"), "wb") as f:
    for _ in range(big):
        f.write(os.urandom(1 << 20))
PY
  touch "$stamp"
fi
photo_total_mb=$(du -sm "$in/photos" | cut -f1)

# The tmpfs target: room for the photos and the big file at once, plus a margin.
tmpfs_mb=$((photo_total_mb + big_mb + 256))
mounted=
tmp=$out/tmpfs
mkdir -p "$tmp"
if mountpoint -q "$tmp" || mount -t tmpfs -o size=${tmpfs_mb}m korvel-bench "$tmp" 2>/dev/null; then
  mounted=$tmp
  tmpfs_how="a tmpfs mounted for this run (size ${tmpfs_mb} MB)"
else
  tmp=/dev/shm/korvel-bench-$$
  mkdir -p "$tmp"
  tmpfs_how="/dev/shm (mount was not allowed)"
fi
cleanup() {
  rm -rf "$out/disk/t" "$tmp/t" "$out/move"
  if [ -n "$mounted" ]; then umount "$mounted"; else rm -rf "$tmp"; fi
}
trap cleanup EXIT

d=$out/disk/t t=$tmp/t
hyperfine -N --warmup 1 --runs "$runs" --export-json "$out/copy.json" \
  --prepare "sh -c 'rm -rf $d $t; mkdir -p $d $t; sync'" \
  -n korvel-files-disk "sh -c 'exec $tool copy -o $d $in/photos/*'" \
  -n cp-files-disk "sh -c 'exec cp $in/photos/* $d/'" \
  -n korvel-folder-disk "$tool copy -o $d $in/photos" \
  -n cp-r-folder-disk "cp -r $in/photos $d/" \
  -n korvel-big-disk "$tool copy -o $d $in/big.bin" \
  -n cp-big-disk "cp $in/big.bin $d/" \
  -n korvel-files-tmpfs "sh -c 'exec $tool copy -o $t $in/photos/*'" \
  -n cp-files-tmpfs "sh -c 'exec cp $in/photos/* $t/'" \
  -n korvel-folder-tmpfs "$tool copy -o $t $in/photos" \
  -n cp-r-folder-tmpfs "cp -r $in/photos $t/" \
  -n korvel-big-tmpfs "$tool copy -o $t $in/big.bin" \
  -n cp-big-tmpfs "cp $in/big.bin $t/" > "$out/copy.txt"

# Moving: the files go from a/ to b/; before each run b/ becomes a/ again (two folder renames).
m=$out/move
rm -rf "$m"
mkdir -p "$m/a"
"$python" -c "
import os, sys
for i in range(int(sys.argv[2])):
    with open(os.path.join(sys.argv[1], 'IMG_%05d.jpg' % i), 'wb') as f: f.write(b'x' * 100)
" "$m/a" "$move_count"
hyperfine -N --warmup 1 --runs "$runs" --export-json "$out/move.json" \
  --prepare "sh -c 'cd $m && if [ -e b/IMG_00000.jpg ]; then rmdir a && mv b a; fi; mkdir -p b; sync'" \
  -n korvel-move "sh -c 'exec $tool move -o $m/b $m/a/*'" \
  -n mv "sh -c 'exec mv $m/a/* $m/b/'" \
  -n glob-only "sh -c 'exec true $m/a/*'" > "$out/move.txt"

"$python" - "$out/copy.json" "$out/move.json" "$photos" "$photo_total_mb" "$big_mb" "$move_count" "$tmpfs_how" <<'PY'
import json, sys
res = {}
for path in sys.argv[1:3]:
    res.update({r["command"]: r for r in json.load(open(path))["results"]})
wall = {k: r["mean"] for k, r in res.items()}
cpu = {k: r["user"] + r["system"] for k, r in res.items()}
photos, photo_mb, big_mb, moves, how = sys.argv[3:8]
print("%s photos (%s MB in all), one %s MB file, %s files moved; tmpfs: %s" % (photos, photo_mb, big_mb, moves, how))
print("%-24s %10s %10s %12s %12s" % ("Korvel against", "korvel s", "peer s", "peer/korvel", "CPU p/k"))
for what in ("files", "folder", "big"):
    for where in ("disk", "tmpfs"):
        k = "korvel-%s-%s" % (what, where)
        p = [n for n in wall if n.startswith("cp") and n.endswith("-%s-%s" % (what, where))][0]
        print("%-24s %10.3f %10.3f %12.2f %12.2f" % (p + " " , wall[k], wall[p], wall[p] / wall[k], cpu[p] / cpu[k]))
g = wall["glob-only"]
print("%-24s %10.3f %10.3f %12.2f %12.2f" % ("mv (glob subtracted)", wall["korvel-move"] - g, wall["mv"] - g,
                                            (wall["mv"] - g) / (wall["korvel-move"] - g), cpu["mv"] / cpu["korvel-move"]))
PY

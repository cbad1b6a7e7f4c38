#!/usr/bin/env bash
# Independent check of Korvel's PNG writer: every sample file must pass pngcheck and decode with
# Pillow to exactly the RGBA pixels written beside it.
# Usage: png_external_check.sh SAMPLE_WRITER WORK_DIR
# Exits 77 (skipped) when pngcheck or Pillow is not installed.
set -euo pipefail
writer=$1
work=$2

if ! command -v pngcheck > /dev/null; then
    echo "pngcheck not installed: skipped"
    exit 77
fi
# The first python3 on PATH may be a private one without Pillow; try the system's too.
python=""
for candidate in "${PYTHON:-}" python3 /usr/bin/python3; do
    if [ -n "$candidate" ] && "$candidate" -c "import PIL" 2> /dev/null; then
        python=$candidate
        break
    fi
done
if [ -z "$python" ]; then
    echo "Pillow (python3-pil) not installed: skipped"
    exit 77
fi

rm -rf "$work"
mkdir -p "$work"
"$writer" "$work"

failed=0
while read -r name width height; do
    if ! out=$(pngcheck -q "$work/$name.png" 2>&1); then
        echo "pngcheck rejects $name.png: $out"
        failed=1
    fi
done < "$work/cases.txt"

"$python" - "$work" << 'PY' || failed=1
import sys
from PIL import Image

work = sys.argv[1]
bad = 0
count = 0
for line in open(f"{work}/cases.txt"):
    name, w, h = line.split()
    w, h = int(w), int(h)
    expected = open(f"{work}/{name}.rgba", "rb").read()
    with Image.open(f"{work}/{name}.png") as im:
        im.load()
        got = im.convert("RGBA")
        if got.size != (w, h):
            print(f"{name}: size {got.size}, expected {(w, h)}")
            bad += 1
            continue
        data = got.tobytes()
    count += 1
    if data != expected:
        diffs = [i // 4 for i in range(0, len(data), 4) if data[i:i + 4] != expected[i:i + 4]]
        i = diffs[0]
        print(f"{name}: {len(diffs)} pixels differ; first at ({i % w},{i // w}): "
              f"Pillow {tuple(data[4 * i:4 * i + 4])}, expected {tuple(expected[4 * i:4 * i + 4])}")
        bad += 1
print(f"Pillow decoded {count} files, {bad} with wrong pixels")
sys.exit(1 if bad else 0)
PY
exit $failed

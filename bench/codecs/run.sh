#!/usr/bin/env bash
# Times korvel-tool against djpeg and Pillow on the same 12-megapixel files, in one run, and
# prints each peer's time as a ratio to Korvel's (above 1 = Korvel faster).
# Needs: hyperfine, libjpeg-turbo-progs (djpeg), python3-pil, and a Release build in build/.
set -euo pipefail
cd "$(dirname "$0")/../.."
tool=./build/tools/korvel-tool
# Debian's python3 (with python3-pil), not whatever python3 comes first on PATH.
python=${PYTHON:-/usr/bin/python3}
out=bench/out/codecs
mkdir -p "$out"
[ -f "$out/photo12m.jpg" ] || "$python" bench/codecs/make_inputs.py "$out"
jpg=$out/photo12m.jpg bmp=$out/photo12m.bmp

# Python's own start-up is measured separately and subtracted from Pillow's figures.
py_decode='from PIL import Image; im=Image.open("'$jpg'"); im.load()'
py_draft='from PIL import Image; im=Image.open("'$jpg'"); im.draft("RGB",(500,375)); im.load()'
py_bmp='from PIL import Image; im=Image.open("'$bmp'"); im.load(); im.save("'$out'/pil.bmp")'

hyperfine --warmup 2 --runs 10 --export-json "$out/times.json" \
  -n korvel-full "$tool decode $jpg /dev/null" \
  -n djpeg-full "djpeg -outfile /dev/null $jpg" \
  -n pillow-full "$python -c '$py_decode'" \
  -n korvel-eighth "$tool decode --scale 1/8 $jpg /dev/null" \
  -n djpeg-eighth "djpeg -scale 1/8 -outfile /dev/null $jpg" \
  -n pillow-draft "$python -c '$py_draft'" \
  -n korvel-bmp "$tool convert --format bmp -o $out/conv $bmp" \
  -n pillow-bmp "$python -c '$py_bmp'" \
  -n python-startup "$python -c 'from PIL import Image'" \
  --prepare "rm -rf $out/conv; mkdir -p $out/conv" > "$out/hyperfine.txt"

"$python" - "$out/times.json" <<'PY'
import json, sys
t = {r["command"]: r["mean"] for r in json.load(open(sys.argv[1]))["results"]}
py = t["python-startup"]
def ratio(peer, ours, sub=0.0):
    return (t[peer] - sub) / t[ours]
print("JPEG 12 MP full decode:  djpeg/korvel %.2f  Pillow/korvel %.2f" % (ratio("djpeg-full", "korvel-full"), ratio("pillow-full", "korvel-full", py)))
print("JPEG 12 MP 1/8 decode:   djpeg/korvel %.2f  Pillow-draft/korvel %.2f" % (ratio("djpeg-eighth", "korvel-eighth"), ratio("pillow-draft", "korvel-eighth", py)))
print("BMP 12 MP load+save:     Pillow/korvel %.2f" % ratio("pillow-bmp", "korvel-bmp", py))
print("absolute means (s): " + ", ".join("%s %.4f" % kv for kv in sorted(t.items())))
PY

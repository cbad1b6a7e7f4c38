#!/usr/bin/env python3
"""Camera-like copies of the thumbnail benchmark's photos: each gets an Exif APP1 right after SOI
with IFD0 (orientation 1) and IFD1 holding a 160x120 JPEG thumbnail, as cameras write them. Every
fifth photo is first cut to 16:9, and its thumbnail is letterboxed in black bars.

usage: make_exif_photos.py SOURCE_FOLDER OUT_FOLDER
"""
import io
import os
import struct
import sys

from PIL import Image


def thumbnail_jpeg(img):
    w, h = img.size
    box = Image.new("RGB", (160, 120), (0, 0, 0))
    th = round(160 * h / w)
    small = img.resize((160, th), Image.Resampling.BILINEAR)
    box.paste(small, (0, (120 - th) // 2))
    out = io.BytesIO()
    box.save(out, "JPEG", quality=85)
    return out.getvalue()


def exif_app1(thumb):
    # Little-endian TIFF: IFD0 at 8 with Orientation, IFD1 at 26 with three entries, then the JPEG.
    t = b"II*\x00" + struct.pack("<I", 8)
    t += struct.pack("<H", 1) + struct.pack("<HHIHH", 0x0112, 3, 1, 1, 0) + struct.pack("<I", 26)
    t += struct.pack("<H", 3)
    t += struct.pack("<HHIHH", 0x0103, 3, 1, 6, 0)
    t += struct.pack("<HHII", 0x0201, 4, 1, 68)
    t += struct.pack("<HHII", 0x0202, 4, 1, len(thumb))
    t += struct.pack("<I", 0) + thumb
    payload = b"Exif\x00\x00" + t
    return b"\xff\xe1" + struct.pack(">H", len(payload) + 2) + payload


def main():
    src, out = sys.argv[1], sys.argv[2]
    os.makedirs(out, exist_ok=True)
    names = sorted(n for n in os.listdir(src) if n.endswith(".jpg"))
    for i, name in enumerate(names):
        path = os.path.join(src, name)
        img = Image.open(path).convert("RGB")
        if i % 5 == 4:
            w, h = img.size
            img = img.crop((0, (h - w * 9 // 16) // 2, w, (h - w * 9 // 16) // 2 + w * 9 // 16))
            buf = io.BytesIO()
            img.save(buf, "JPEG", quality=90)
            data = buf.getvalue()
        else:
            with open(path, "rb") as f:
                data = f.read()
        with open(os.path.join(out, name), "wb") as f:
            f.write(data[:2] + exif_app1(thumbnail_jpeg(img)) + data[2:])
    print("made %d camera-like photos in %s" % (len(names), out))


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Writes the numbered quick-folder images (1 ... 20) of Korvel's fallback icon set.

The digits are strokes of a seven-segment figure, so the files need no font. The SVGs are
committed; run this after changing the look.
"""
import os

SEGMENTS = {  # a top, b top right, c bottom right, d bottom, e bottom left, f top left, g middle
    "0": "abcdef", "1": "bc", "2": "abged", "3": "abgcd", "4": "fgbc",
    "5": "afgcd", "6": "afgedc", "7": "abc", "8": "abcdefg", "9": "abcdfg",
}


def digit_path(ch, x0, y0, w, h):
    if ch == "1":  # one stroke, in the middle of its place
        return "M%g %gL%g %g" % (x0 + w / 2, y0, x0 + w / 2, y0 + h)
    x1, y1, ym = x0 + w, y0 + h, y0 + h / 2
    ends = {"a": ((x0, y0), (x1, y0)), "b": ((x1, y0), (x1, ym)), "c": ((x1, ym), (x1, y1)),
            "d": ((x0, y1), (x1, y1)), "e": ((x0, ym), (x0, y1)), "f": ((x0, y0), (x0, ym)),
            "g": ((x0, ym), (x1, ym))}
    return "".join("M%g %gL%g %g" % (*ends[s][0], *ends[s][1]) for s in SEGMENTS[ch])


def icon(n):
    text = str(n)
    w = 4.2 if len(text) == 1 else 3.2
    gap = 1.8
    total = len(text) * w + (len(text) - 1) * gap
    x = 10 - total / 2
    paths = []
    for ch in text:
        paths.append(digit_path(ch, round(x, 2), 9.3, w, 6.4))
        x += w + gap
    return ('<svg xmlns="http://www.w3.org/2000/svg" width="20" height="20" viewBox="0 0 20 20">\n'
            '<path d="M1.5 4.5h6l1.5 1.5h9.5v11h-17z" fill="#eab54a" stroke="#8a6218" stroke-linejoin="round"/>\n'
            '<rect x="4" y="8" width="12" height="9" rx="1" fill="#fffbe8"/>\n'
            '<path d="%s" fill="none" stroke="#1d2a7a" stroke-width="1.5" stroke-linecap="round" '
            'stroke-linejoin="round"/>\n</svg>\n' % "".join(paths))


def main():
    folder = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "dist", "icons", "fallback")
    for n in range(1, 21):
        with open(os.path.join(folder, "korvel-quick-folder-%d.svg" % n), "w") as f:
            f.write(icon(n))


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Convert Hershey fonts (.jhf, Debian package hershey-fonts-data) into the
stroke-font files read by read_font.

Output form ("plain"): whitespace-separated decimal integers.  The first is
255; then, glyph after glyph, the stroke pairs (x, y) of each glyph followed
by 255; the last glyph ends with 254 instead.  Then 256 integers give, for
every character code, the offset of its first stroke pair in the stroke data
(the leading 255 counts as offset 0), or -1 when the code has no glyph.

Pairs: an x of 128 or more is a pen-up move to x - 128, a smaller x a draw.
The design grid is 105 units of capital height with the baseline at y = 35
(y upwards), so descenders run down to about 0.  The leftmost ink of each
glyph sits at x = 0; the advance is the rightmost ink.  A glyph wider than
125 units is narrowed so that its pen-up bytes stay below 254.

Usage: make_fonts.py [hershey_dir] [out_dir]
"""
import os
import sys

# Hershey capital letters span y = -12 (cap line) to y = 9 (baseline).
HERSHEY_CAP = 21
HERSHEY_BASE = 9
CAP = 105
BASE = 35
SCALE = CAP / HERSHEY_CAP
MAX_X = 125

# output file -> Hershey source face
FACES = {
    "modern.fnt": "rowmans",   # simplex roman: plain sans-serif strokes
    "duplex.fnt": "rowmand",   # duplex roman: double-stroke sans-serif
    "serif.fnt": "timesr",     # Times-like roman with serifs
    "script.fnt": "scripts",   # simplex script
}


def read_jhf(path):
    """Glyphs of a .jhf file in file order; each a list of strokes, each a
    list of (x, y) in Hershey units (y downwards)."""
    glyphs = []
    pending = ""
    with open(path, encoding="latin-1") as f:
        for raw in f:
            line = raw.rstrip("\r\n")
            if not pending and not line.strip():
                continue
            pending += line
            count = int(pending[5:8])
            if len(pending) - 8 < 2 * count:
                continue  # the glyph goes on on the next line
            body = pending[8:8 + 2 * count]
            pending = ""
            strokes, cur = [], []
            for k in range(1, count):  # pair 0 holds the side bearings
                a, b = body[2 * k], body[2 * k + 1]
                if a == " " and b == "R":
                    if cur:
                        strokes.append(cur)
                    cur = []
                    continue
                cur.append((ord(a) - ord("R"), ord(b) - ord("R")))
            if cur:
                strokes.append(cur)
            glyphs.append(strokes)
    return glyphs


# Simplex faces put an up arrow where ASCII has the caret; draw a caret.
CARET = [[(-5, -5), (0, -11), (5, -5)]]


def is_arrow(strokes):
    """The Hershey up arrow: a long vertical shaft with a head."""
    pts = [p for s in strokes for p in s]
    ys = [p[1] for p in pts]
    return bool(pts) and max(ys) - min(ys) > 15


def convert(strokes):
    """Font-unit stroke pairs of one glyph, or None for a glyph without ink."""
    pts = [p for s in strokes for p in s]
    if not pts:
        return None
    xmin = min(p[0] for p in pts)
    xmax = max(p[0] for p in pts)
    sx = SCALE
    if (xmax - xmin) * sx > MAX_X:
        sx = MAX_X / (xmax - xmin)
    out = []
    for s in strokes:
        for i, (x, y) in enumerate(s):
            fx = int(round((x - xmin) * sx))
            fy = int(round(BASE + (HERSHEY_BASE - y) * SCALE))
            out.append((fx + 128 if i == 0 else fx, fy))
    return out


def write_font(glyphs, path):
    data = [255]
    index = [-1] * 256
    entries = []
    for i, strokes in enumerate(glyphs):
        code = 32 + i
        if code > 126:
            break
        if code == ord("^") and is_arrow(strokes):
            strokes = CARET
        pairs = convert(strokes)
        if pairs is None:
            continue
        entries.append((code, pairs))
    lines = ["255"]
    for n, (code, pairs) in enumerate(entries):
        index[code] = len(data)
        for x, y in pairs:
            data += [x, y]
        end = 254 if n == len(entries) - 1 else 255
        data.append(end)
        lines.append(" ".join("%d %d" % p for p in pairs) + " %d" % end)
    for k in range(0, 256, 16):
        lines.append(" ".join(str(v) for v in index[k:k + 16]))
    if len(data) > 15000:
        raise SystemExit("%s: stroke data too large (%d)" % (path, len(data)))
    with open(path, "w") as f:
        f.write("\n".join(lines) + "\n")


def main():
    src = sys.argv[1] if len(sys.argv) > 1 else "/usr/share/hershey-fonts"
    dst = sys.argv[2] if len(sys.argv) > 2 else "data"
    for name, face in FACES.items():
        glyphs = read_jhf(os.path.join(src, face + ".jhf"))
        write_font(glyphs, os.path.join(dst, name))
        print("wrote %s from %s (%d glyphs)" % (name, face, len(glyphs)))


if __name__ == "__main__":
    main()

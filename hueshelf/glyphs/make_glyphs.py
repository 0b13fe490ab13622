#!/usr/bin/env python3
"""Draws the editor's button and menu glyphs as small PNG files.

Each button glyph is 32 x 16: the normal 16 x 16 picture on the left and its
disabled (grey, embossed) look on the right. The colour of the bottom-left
pixel is the transparent colour. The menu image list is one strip of 16 x 16
pictures in menu glyph order (save, save as, open, new).

Run from anywhere: python3 make_glyphs.py [OUTDIR] (default: this folder).
Pure Python (zlib only), so it runs on a bare machine.
"""
import os
import struct
import sys
import zlib

KEY = (0, 128, 128)  # transparent colour (teal), at the bottom-left pixel
COLOURS = {
    '.': KEY,
    'k': (0, 0, 0),
    'w': (255, 255, 255),
    'l': (192, 192, 192),
    'g': (128, 128, 128),
    'y': (255, 255, 0),
    'o': (128, 128, 0),
    'n': (0, 0, 128),
    'b': (0, 0, 255),
    'G': (0, 160, 0),
    'r': (255, 0, 0),
    'm': (128, 0, 0),
    's': (255, 212, 160),
    'p': (255, 150, 170),
}

NEW = """
................
..kkkkkkkk......
..kwwwwwwkk.....
..kwwwwwwkwk....
..kwwwwwwkwwk...
..kwwwwwwkkkkk..
..kwwwwwwwwwwk..
..kwwwwwwwwwwk..
..kwwwwwwwwwwk..
..kwwwwwwwwwwk..
..kwwwwwwwwwwk..
..kwwwwwwwwwwk..
..kwwwwwwwwwwk..
..kwwwwwwwwwwk..
..kkkkkkkkkkkk..
................
"""

OPEN = """
................
................
................
.kkkk...........
kyyyyk..........
kywyyykkkkkkk...
kwyyyyyyyyyyk...
kyyyykkkkkkkkkkk
kyyyykooooooooko
kyyykooooooooko.
kyykooooooooko..
kykooooooooko...
kkooooooooko....
kkkkkkkkkkk.....
................
................
"""

SAVE = """
kkkkkk..........
kwwwwkk.........
kwwwwkwk........
kwwwwkkkk.......
kwwwwwwwkGG.....
kwwwwwwwk.GG....
kwwwwwwwk..GG...
kkkkkkkkk..GG...
.....kkkkkGGGGkk
.....knnnnGGGGnk
.....knnnnnGGnnk
.....knnnnnnnnnk
.....knnllllllnk
.....knnlgglllnk
.....knnlgglllnk
.....kkkkkkkkkk.
"""

SAVE_AS = """
.............kk.
............krrk
...........krrk.
..........kyyk..
.........kyyk...
..kkkkkkkyyk....
..knnnnnkyykk...
..knwwwkwkknk...
..knwwwkkknnk...
..knnnnnnnnnk...
..knnnnnnnnnk...
..knnlllllnnk...
..knnlgglllnk...
..knnlgglllnk...
..kkkkkkkkkkk...
................
"""

ADD = """
.........bb.....
.........bb.....
.........bb.....
.........bb.....
.........bb.....
.........bb.....
.........bb.....
.........bb.....
.........bb.....
......bbbbbbbb..
.......bbbbbb...
........bbbb....
.........bb.....
................
.k.k.k.k.k.k.k.k
................
"""

# A plus sign drawn over ADD's top-left corner.
PLUS = [(x, y) for x in range(6) for y in (2, 3)] + [(x, y) for x in (2, 3) for y in range(6)]

HAND_UP = """
......kk........
.....kssk.......
.....kssk.......
.....kssk.......
.....ksskkk.....
.....ksskssk....
.....ksskssskk..
..kk.kssssskssk.
.kssksssssssssk.
.ksssssssssssssk
..kssssssssssssk
...ksssssssssssk
....kssssssssk..
.....kbbbbbbbk..
.....kbbbbbbbk..
.....kkkkkkkkk..
"""

ERASER = """
.....kkkkkk.....
....kppppppk....
....kppppppk....
....kppppppk....
..kkkkkkkkkkk...
.kssskssskssk...
.kssskssskssskkk
.kkkkkkkkkksssbk
.kssskssskssssbk
.kssskssskksssbk
..kkkkkkkkkkkkkk
....kwwwwwwk....
....kwwwwwwk....
....kwwwwwwk....
.....kkkkkk.....
................
"""


def grid(art):
    rows = [r for r in art.strip('\n').split('\n')]
    assert len(rows) == 16, len(rows)
    for r in rows:
        assert len(r) == 16, repr(r)
    return [[COLOURS[c] for c in r] for r in rows]


def add_glyph():
    g = grid(ADD)
    for x, y in PLUS:
        g[y][x] = COLOURS['G']
    return g


def flip_vertical(g):
    return [list(r) for r in reversed(g)]


def disabled(g):
    """The disabled look: dark pixels become grey with a white highlight
    one pixel down and right; light pixels vanish."""
    out = [[KEY] * 16 for _ in range(16)]
    dark = [[c != KEY and sum(c) < 3 * 170 for c in row] for row in g]
    for y in range(16):
        for x in range(16):
            if dark[y][x] and x + 1 < 16 and y + 1 < 16:
                out[y + 1][x + 1] = COLOURS['w']
    for y in range(16):
        for x in range(16):
            if dark[y][x]:
                out[y][x] = COLOURS['g']
    return out


def side_by_side(*gs):
    return [sum((g[y] for g in gs), []) for y in range(16)]


def write_png(path, rows):
    h = len(rows)
    w = len(rows[0])
    raw = b''.join(b'\x00' + bytes(v for px in row for v in px) for row in rows)

    def chunk(tag, data):
        return struct.pack('>I', len(data)) + tag + data + struct.pack('>I', zlib.crc32(tag + data) & 0xFFFFFFFF)

    data = b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', w, h, 8, 2, 0, 0, 0)) \
        + chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b'')
    with open(path, 'wb') as f:
        f.write(data)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    new, open_, save, save_as = grid(NEW), grid(OPEN), grid(SAVE), grid(SAVE_AS)
    hand_up = grid(HAND_UP)
    buttons = {
        'new': new,
        'open': open_,
        'save': save,
        'addpicture': add_glyph(),
        'handdown': flip_vertical(hand_up),
        'handup': hand_up,
        'eraser': grid(ERASER),
    }
    for name, g in buttons.items():
        write_png(os.path.join(out, name + '.png'), side_by_side(g, disabled(g)))
    # Menu image list, in glyph index order: 0 save, 1 save as, 2 open, 3 new.
    write_png(os.path.join(out, 'menuimages.png'), side_by_side(save, save_as, open_, new))


if __name__ == '__main__':
    main()

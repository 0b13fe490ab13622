#!/usr/bin/env python3
"""qvxlib render read back by an independent decoder (Pillow).

Usage: check_render_gif.py QVXLIB WORKDIR

Writes an intro library field by field, renders it, and checks the GIF:
the frame count and delays follow the documented timing (a transition
lasts 5 s / speed, a slide holds its hold in seconds, speeds and holds
taken into 1..100 and 0..100, transitions above 28 are cuts), the global
palette is the library's, and the first and last frames are the first and
last slides.
"""
import os
import random
import struct
import subprocess
import sys

from PIL import Image

FPS = 20
W, H = 128, 48  # wide enough that every moment of these transitions differs


def crl(palette, slides):
    out = b"CR10" + struct.pack("<ii", len(slides), 0)
    out += b"".join(bytes(e) for e in palette)
    for transition, speed, hold, pixels in slides:
        out += struct.pack("<B3xiiii", transition, speed, hold, W, H)
        out += bytes([1, ord("s")]) + bytes(7) + bytes(3)
        out += bytes(pixels)
    return out


def expected(slides):
    """(frame count, total milliseconds) by the documented timing."""
    steps, now = [], 0
    for transition, speed, hold, _ in slides:
        effect = transition if transition <= 28 else 0
        duration = 0 if effect == 0 else 5_000_000 // min(max(speed, 1), 100)
        steps.append((now, now + duration))
        now += duration + min(max(hold, 0), 100) * 1_000_000
    length = now

    def key(t):
        for i in reversed(range(len(steps))):
            start, shown = steps[i]
            if t >= start:
                if t >= shown:
                    return ("slide", i)
                if t == start:  # progress 0: the slide before, as it stands
                    return ("slide", i - 1)
                return ("moving", i, t)
        return ("slide", -1)

    keys = []
    k = 0
    while k * 1_000_000 // FPS < length:
        keys.append(key(k * 1_000_000 // FPS))
        k += 1
    keys.append(("slide", len(slides) - 1))
    frames = sum(1 for i, x in enumerate(keys) if i == 0 or x != keys[i - 1])
    return frames, (length + 5000) // 10000 * 10


def main():
    qvxlib, work = sys.argv[1], sys.argv[2]
    os.makedirs(work, exist_ok=True)
    rng = random.Random(21)
    palette = [(rng.randrange(256), rng.randrange(256), rng.randrange(256), 1) for _ in range(256)]
    stride = (W + 3) // 4 * 4
    slides = []
    for transition, speed, hold in [(0, 5, 1), (1, 10, 1), (5, 4, 0), (200, 7, 2), (14, 0, -3)]:
        pixels = [rng.randrange(1, 256) for _ in range(stride * H)]
        slides.append((transition, speed, hold, pixels))
    crl_path = os.path.join(work, "intro.crl")
    with open(crl_path, "wb") as f:
        f.write(crl(palette, slides))

    failures = []

    def check(what, ok):
        if not ok:
            failures.append(what)

    def rgb(pixels):
        return [palette[pixels[y * stride + x]][:3] for y in range(H) for x in range(W)]

    for mode in ("--loop", "--once"):
        gif = os.path.join(work, "intro%s.gif" % mode)
        subprocess.run([qvxlib, "render", crl_path, gif, "--fps", str(FPS), mode], check=True)
        im = Image.open(gif)
        frames, millis = expected(slides)
        check("%s: %d frames, not %d" % (mode, im.n_frames, frames), im.n_frames == frames)
        total = 0
        for i in range(im.n_frames):
            im.seek(i)
            total += im.info.get("duration", 0)
        check("%s: delays add up to %d ms, not %d" % (mode, total, millis), total == millis)
        check("%s: loop" % mode, ("loop" in im.info) == (mode == "--loop"))
        im.seek(0)
        global_palette = im.getpalette()
        check("palette", global_palette == [c for e in palette for c in e[:3]])
        check("first frame", list(im.convert("RGB").getdata()) == rgb(slides[0][3]))
        im.seek(im.n_frames - 1)
        check("last frame", list(im.convert("RGB").getdata()) == rgb(slides[-1][3]))

    for f in failures:
        print("FAILED:", f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

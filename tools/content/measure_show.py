#!/usr/bin/env python3
"""Measures the show as a viewer sees it, from frames the program renders.

    measure_show.py run VELLUMITE SHOWDIR [--from S] [--to S] [--fps N] [--mode WxH]
                        [--keep DIR] [--sheet OUT.png] [--frames]
    measure_show.py frames DIR [--from S] [--fps N] [--sheet OUT.png] [--frames]

`run` captures the show (numbered PNG frames) into a temporary folder, or DIR with --keep;
`frames` measures frames captured before. For every frame of the 4:3 picture (a wider frame is
cropped to its middle 4:3) it works out the mean luminance (0..255, Rec. 601 weights), the lit
share (pixels of luminance 40 or more), the flame share (bright warm pixels: luminance 110 or
more with red well above blue) and the change from the frame before (mean absolute luminance
difference); from 320 pixels wide on, every other pixel of every other row is measured. A hard
cut is a change of the picture's layout (the mean luminance of 16 x 12 blocks, so that fine
texture sliding by does not count) of 4 or more that is at least three times the median of the
eleven frames around it (cuts a frame or two apart count once); measure at 15 fps or more,
since at a low rate the motion itself looks like cuts. It prints one line a second of show time, the cuts, and totals.
--sheet writes a contact sheet of one frame every 2 s (needs ImageMagick's montage).

Only the standard library; the PNG reader takes the 8-bit RGB and RGBA pictures the program
writes.
"""
import argparse
import itertools
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib

LIT = 40
FLAME = 110
CUT_CHANGE = 4.0
CUT_RATIO = 3.0


def read_png(path):
    """Returns (width, height, channels, rows) with rows a list of bytes objects."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError(path + ": not a PNG")
    pos, idat, width = 8, [], 0
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", body)
            if depth != 8 or colour not in (2, 6) or interlace:
                raise ValueError(path + ": only 8-bit RGB or RGBA, not interlaced")
            channels = 3 if colour == 2 else 4
        elif kind == b"IDAT":
            idat.append(body)
        elif kind == b"IEND":
            break
        pos += 12 + length
    raw = zlib.decompress(b"".join(idat))
    stride = width * channels
    rows, prior = [], bytes(stride)
    for y in range(height):
        start = y * (stride + 1)
        kind, line = raw[start], bytearray(raw[start + 1:start + 1 + stride])
        if kind == 1:  # left neighbour
            for c in range(channels):
                line[c::channels] = bytes(itertools.accumulate(line[c::channels], lambda a, b: (a + b) & 255))
        elif kind == 2:  # the row above
            line = bytearray((a + b) & 255 for a, b in zip(line, prior))
        elif kind in (3, 4):
            for i in range(stride):
                left = line[i - channels] if i >= channels else 0
                up = prior[i]
                if kind == 3:
                    line[i] = (line[i] + ((left + up) >> 1)) & 255
                else:
                    corner = prior[i - channels] if i >= channels else 0
                    p = left + up - corner
                    pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
                    pred = left if pa <= pb and pa <= pc else (up if pb <= pc else corner)
                    line[i] = (line[i] + pred) & 255
        rows.append(bytes(line))
        prior = line
    return width, height, channels, rows


def measure(path):
    """Luminance grid and the frame's figures: (grid, mean, lit share, flame share)."""
    width, height, channels, rows = read_png(path)
    crop = min(width, height * 4 // 3)
    left = (width - crop) // 2
    grid, total, lit, flame = [], 0, 0, 0
    step = 2 if crop >= 320 else 1  # every other pixel of every other row is plenty
    for row in rows[::step]:
        r = row[left * channels:(left + crop) * channels:channels * step]
        g = row[left * channels + 1:(left + crop) * channels:channels * step]
        b = row[left * channels + 2:(left + crop) * channels:channels * step]
        lum = [(77 * rr + 150 * gg + 29 * bb) >> 8 for rr, gg, bb in zip(r, g, b)]
        total += sum(lum)
        lit += sum(1 for v in lum if v >= LIT)
        flame += sum(1 for v, rr, bb in zip(lum, r, b) if v >= FLAME and rr >= bb + 60)
        grid.append(lum)
    count = len(grid) * len(grid[0])
    return grid, blocks(grid), total / count, lit / count, flame / count


def blocks(grid, across=16, down=12):
    """Mean luminance of 16 x 12 blocks: the picture's layout without its fine texture."""
    h, w = len(grid), len(grid[0])
    out = []
    for j in range(down):
        rows = grid[j * h // down:(j + 1) * h // down]
        for i in range(across):
            a, b = i * w // across, (i + 1) * w // across
            out.append(sum(sum(r[a:b]) for r in rows) / (len(rows) * (b - a)))
    return out


def change(a, b):
    total = sum(sum(abs(x - y) for x, y in zip(ra, rb)) for ra, rb in zip(a, b))
    return total / (len(a) * len(a[0]))


def analyse(folder, start, fps, sheet, per_frame):
    names = sorted(n for n in os.listdir(folder) if n.startswith("frame_") and n.endswith(".png"))
    if not names:
        sys.exit("measure_show: no frame_*.png in " + folder)
    figures, previous, layout = [], None, []
    for i, name in enumerate(names):
        grid, coarse, mean, lit, flame = measure(os.path.join(folder, name))
        delta = change(previous[0], grid) if previous is not None else 0.0
        layout.append(sum(abs(x - y) for x, y in zip(previous[1], coarse)) / len(coarse) if previous else 0.0)
        figures.append((start + i / fps, mean, lit, flame, delta))
        previous = (grid, coarse)
        if per_frame:
            print("frame %7.3f s  luminance %6.1f  lit %5.1f %%  flame %5.1f %%  change %5.1f" %
                  (start + i / fps, mean, 100 * lit, 100 * flame, delta))
    cuts = []
    for i in range(1, len(figures)):
        delta = layout[i]
        around = sorted(layout[max(1, i - 5):i + 6])
        if delta >= CUT_CHANGE and delta >= CUT_RATIO * around[len(around) // 2]:
            if cuts and figures[i][0] - cuts[-1][0] < 2.5 / fps:
                continue
            cuts.append((figures[i][0], delta))
    print("second  luminance  lit %  flame %  change")
    second = int(figures[0][0])
    while second <= int(figures[-1][0]):
        inside = [f for f in figures if second <= f[0] < second + 1]
        if inside:
            n = len(inside)
            print("%6d  %9.1f  %5.1f  %7.1f  %6.1f" % (second, sum(f[1] for f in inside) / n,
                  100 * sum(f[2] for f in inside) / n, 100 * sum(f[3] for f in inside) / n,
                  sum(f[4] for f in inside[1 if second == int(figures[0][0]) else 0:]) / max(1, n)))
        second += 1
    beat = 0.5
    for t, delta in cuts:
        offset = (t % beat)
        offset = min(offset, beat - offset)
        print("cut at %7.3f s (layout change %5.1f, %s the beat by %.3f s)" % (t, delta, "on" if offset <= 1.5 / fps else "off",
                                                                       offset))
    n = len(figures)
    print("frames %d  luminance %.1f  lit %.1f %%  flame %.1f %%  change %.2f  cuts %d" % (
        n, sum(f[1] for f in figures) / n, 100 * sum(f[2] for f in figures) / n,
        100 * sum(f[3] for f in figures) / n, sum(f[4] for f in figures[1:]) / max(1, n - 1), len(cuts)))
    if sheet:
        montage = shutil.which("montage")
        if montage is None:
            sys.exit("measure_show: the contact sheet needs ImageMagick's montage")
        picked, labels, t = [], [], float(int(figures[0][0] + 0.999))
        while t <= figures[-1][0] + 1e-6:
            i = int(round((t - start) * fps))
            if 0 <= i < len(names):
                picked.append(os.path.join(folder, names[i]))
                labels.append("%g s" % t)
            t += 2.0
        args = [montage]
        for path, label in zip(picked, labels):
            args += ["-label", label, path]
        args += ["-tile", "8x", "-geometry", "+2+2", "-background", "#202020", "-fill", "white", sheet]
        subprocess.run(args, check=True)
        print("contact sheet: " + sheet)


def main():
    parser = argparse.ArgumentParser(description="Measures the show from its rendered frames.")
    parser.add_argument("what", choices=["run", "frames"])
    parser.add_argument("paths", nargs="+")
    parser.add_argument("--from", dest="start", type=float, default=0.0)
    parser.add_argument("--to", dest="end", type=float, default=146.5)
    parser.add_argument("--fps", type=float, default=10.0)
    parser.add_argument("--mode", default="320x240")
    parser.add_argument("--keep")
    parser.add_argument("--sheet")
    parser.add_argument("--frames", action="store_true", help="also print every frame's figures")
    args = parser.parse_args()
    if args.what == "frames":
        analyse(args.paths[0], args.start, args.fps, args.sheet, args.frames)
        return
    if len(args.paths) != 2:
        sys.exit("measure_show: run VELLUMITE SHOWDIR")
    folder = args.keep or tempfile.mkdtemp(prefix="vellumite-measure-")
    os.makedirs(folder, exist_ok=True)
    env = dict(os.environ, SDL_VIDEODRIVER="offscreen", SDL_AUDIODRIVER="dummy")
    subprocess.run([args.paths[0], "--data", args.paths[1], "--capture", folder, "--png", "--fps", "%g" % args.fps,
                    "--from", "%g" % args.start, "--to", "%g" % args.end, "--mode", args.mode], check=True, env=env,
                   stdout=subprocess.DEVNULL)
    try:
        analyse(folder, args.start, args.fps, args.sheet, args.frames)
    finally:
        if not args.keep:
            shutil.rmtree(folder)


if __name__ == "__main__":
    main()

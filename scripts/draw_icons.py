#!/usr/bin/env python3
"""Draws Kelvane's application picture at 16, 32, 48 and 64 pixels into icons/*.xpm.

The picture is a sheet of paper with a folded corner and a few lines of text,
with a switched-on toggle in front: a settings file. Shapes are described on a
16-unit grid, so that at 16 pixels the text lines sit on whole pixel rows, and
rendered with supersampling for smooth edges. XPM has no partial transparency,
so an edge pixel is either opaque or "None". The colours are then rounded to a
common step chosen to bring each picture near its wanted number of colours.

Run from anywhere: python3 scripts/draw_icons.py
"""

import math
import os

SIZES = {16: 107, 32: 181, 48: 257, 64: 852}  # pixels: wanted number of colours
SUBSAMPLES = 6  # per axis and pixel
ICON_DIR = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "icons")

# Two-character pixel codes: printable, without the quote and the backslash.
CODE_CHARS = [chr(c) for c in range(35, 127) if chr(c) not in '"\\']


def mix(a, b, t):
    t = min(1.0, max(0.0, t))
    return tuple(x + (y - x) * t for x, y in zip(a, b))


def hex_colour(text):
    return tuple(int(text[i:i + 2], 16) / 255.0 for i in (1, 3, 5))


# Signed distances in grid units: negative inside.

def convex_polygon(points):
    edges = []
    for (x0, y0), (x1, y1) in zip(points, points[1:] + points[:1]):
        length = math.hypot(x1 - x0, y1 - y0)
        # Points run clockwise on screen (y down), so this normal points out.
        edges.append(((y1 - y0) / length, -(x1 - x0) / length, x0, y0))

    def distance(x, y):
        return max(nx * (x - px) + ny * (y - py) for nx, ny, px, py in edges)
    return distance


def rounded_box(left, top, right, bottom, radius):
    cx, cy = (left + right) / 2, (top + bottom) / 2
    hx, hy = (right - left) / 2 - radius, (bottom - top) / 2 - radius

    def distance(x, y):
        qx, qy = abs(x - cx) - hx, abs(y - cy) - hy
        outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
        return outside + min(max(qx, qy), 0.0) - radius
    return distance


def circle(cx, cy, radius):
    def distance(x, y):
        return math.hypot(x - cx, y - cy) - radius
    return distance


class Layer:
    """One shape: a fill that may vary across it and an outline band inside its edge."""

    def __init__(self, distance, fill, outline=None, width=0.0):
        self.distance = distance
        self.fill = fill
        self.outline = outline
        self.width = width

    def colour_at(self, x, y):
        d = self.distance(x, y)
        if d > 0:
            return None
        if self.outline is not None and d > -self.width:
            return self.outline(x, y)
        return self.fill(x, y)


def design(size):
    """The layers from top to bottom, on the 16-unit grid."""
    unit = size / 16.0

    def snap(v):
        # Straight edges on pixel boundaries stay crisp.
        return round(v * unit) / unit

    outline = (1.0 if size <= 32 else 2.0) / unit
    layers = []

    # The toggle, front right: a green track with a white knob on its right.
    knob_radius = 2.0 if size == 16 else 2.3
    knob = circle(13.0 if size == 16 else 12.9, 13.0 if size == 16 else 12.9, knob_radius)
    layers.append(Layer(knob,
                        lambda x, y: mix(hex_colour("#ffffff"), hex_colour("#b8bfc8"),
                                         math.hypot(x - 12.2, y - 12.1) / 3.0),
                        lambda x, y: mix(hex_colour("#7a848f"), hex_colour("#47505a"),
                                         (y - 10.6) / 4.6),
                        0.0 if size == 16 else outline))
    track = rounded_box(snap(5.0), snap(9.9), 16.0, 16.0, 3.0)
    layers.append(Layer(track,
                        lambda x, y: mix(mix(hex_colour("#a4ea84"), hex_colour("#2c9429"), (y - 9.9) / 6.1),
                                         hex_colour("#3e8a2e"), (x - 5.0) / 30.0),
                        lambda x, y: mix(hex_colour("#3f8f30"), hex_colour("#1b5a19"),
                                         (y - 9.9) / 6.1),
                        outline))

    # Text lines, blue-grey, on whole pixel rows.
    thickness = {16: 1, 32: 2, 48: 2, 64: 3}[size] / unit
    for row, right in ((4.0, 9.0), (6.0, 11.0), (8.0, 10.0), (10.0, 7.0)):
        top = snap(row + 0.2)
        bar = rounded_box(snap(4.0), top, snap(right), top + thickness,
                          thickness / 2 if size > 16 else 0.0)
        layers.append(Layer(bar,
                            lambda x, y: mix(hex_colour("#8b99ac"), hex_colour("#4a586b"),
                                             (x - 4.0) / 8.0)))

    # The folded corner, and the sheet it is folded from.
    left, top, right, bottom = snap(2.0), 0.0, snap(14.0), 16.0 - 1.0 / unit
    corner = snap(4.0)
    fold = convex_polygon([(right - corner, top), (right, top + corner), (right - corner, top + corner)])
    layers.append(Layer(fold,
                        lambda x, y: mix(hex_colour("#f6f8fa"), hex_colour("#a9b3bf"),
                                         ((x - 10.0) + (4.0 - y)) / 5.0),
                        lambda x, y: hex_colour("#5d6773"),
                        outline))
    sheet = convex_polygon([(left, top), (right - corner, top), (right, top + corner),
                            (right, bottom), (left, bottom)])
    layers.append(Layer(sheet,
                        lambda x, y: mix(mix(hex_colour("#ffffff"), hex_colour("#c9d2dc"), y / 16.0),
                                         hex_colour("#aeb8c4"), (x - 2.0) / 30.0),
                        lambda x, y: mix(hex_colour("#6a7480"), hex_colour("#444c56"),
                                         y / 15.0),
                        outline))
    return layers


def render(size):
    """Rows of (r, g, b) in 0..1, or None for a transparent pixel."""
    layers = design(size)
    unit = size / 16.0
    pixels = []
    for py in range(size):
        row = []
        for px in range(size):
            total = [0.0, 0.0, 0.0]
            covered = 0
            for sy in range(SUBSAMPLES):
                for sx in range(SUBSAMPLES):
                    x = (px + (sx + 0.5) / SUBSAMPLES) / unit
                    y = (py + (sy + 0.5) / SUBSAMPLES) / unit
                    for layer in layers:
                        colour = layer.colour_at(x, y)
                        if colour is not None:
                            total = [t + c for t, c in zip(total, colour)]
                            covered += 1
                            break
            if covered * 2 < SUBSAMPLES * SUBSAMPLES:
                row.append(None)
            else:
                row.append(tuple(t / covered for t in total))
        pixels.append(row)
    return pixels


def quantize(pixels, step):
    def level(c):
        return min(255, int(round(round(c * 255 / step) * step)))
    return [[None if p is None else tuple(level(c) for c in p) for p in row] for row in pixels]


def colour_count(pixels):
    return len({p for row in pixels for p in row if p is not None}) + 1


def fit_colours(pixels, wanted):
    """Rounds the colours with the step whose count comes closest to wanted."""
    best = None
    step = 1.0
    while step < 64:
        result = quantize(pixels, step)
        miss = abs(colour_count(result) - wanted)
        if best is None or miss < best[0]:
            best = (miss, result)
        step *= 1.03
    return best[1]


def code(index):
    return CODE_CHARS[index // len(CODE_CHARS)] + CODE_CHARS[index % len(CODE_CHARS)]


def xpm_text(name, pixels):
    size = len(pixels)
    colours = sorted({p for row in pixels for p in row if p is not None})
    codes = {colour: code(i + 1) for i, colour in enumerate(colours)}
    transparent = code(0)
    lines = ['"%d %d %d 2"' % (size, size, len(colours) + 1), '"%s c None"' % transparent]
    lines += ['"%s c #%02X%02X%02X"' % ((codes[c],) + c) for c in colours]
    lines += ['"%s"' % "".join(transparent if p is None else codes[p] for p in row) for row in pixels]
    return "/* XPM */\nstatic const char *%s[] = {\n%s\n};\n" % (name, ",\n".join(lines))


def main():
    for size, wanted in SIZES.items():
        pixels = fit_colours(render(size), wanted)
        name = "icon_%d" % size
        with open(os.path.join(ICON_DIR, name + ".xpm"), "w") as out:
            out.write(xpm_text(name, pixels))
        print("%s: %d colours" % (name, colour_count(pixels)))


if __name__ == "__main__":
    main()

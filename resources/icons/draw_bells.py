#!/usr/bin/env python3
"""Draws the item's alarm bells and writes them as 256-colour icons.

    python3 draw_bells.py [--preview DIR]

Writes bell_on_32.ico, bell_on_16.ico, bell_off_32.ico and bell_off_16.ico
next to this script: a ringing bell (the bell with short rays around its top)
in orange for an alarm that is set, in grey for none. --preview also writes
each picture eight times enlarged as PNG.
"""
import math
import os
import struct
import sys
import zlib

# Shades from the outline to the highlight, then the rays and the clapper.
SHADES = ["outline", "dark", "mid", "light", "highlight", "ray", "clapper"]
PALETTES = {
    "on": dict(zip(SHADES, [(122, 52, 0), (196, 90, 0), (240, 128, 16), (255, 170, 56), (255, 226, 150),
                            (255, 150, 0), (150, 64, 0)])),
    "off": dict(zip(SHADES, [(64, 64, 64), (112, 112, 112), (150, 150, 150), (186, 186, 186), (228, 228, 228),
                             (128, 128, 128), (84, 84, 84)])),
}


def bell_half_width(y):
    """Half the width of the bell's body at height y, on a 32-pixel grid; 0 outside."""
    if y < 6.0 or y > 26.0:
        return 0.0
    if y < 13.0:  # the dome
        t = (y - 6.0) / 7.0
        return 2.5 + 5.5 * math.sin(t * math.pi / 2)
    if y < 22.0:  # the waist, widening slowly
        return 8.0 + (y - 13.0) * 0.22
    if y < 25.0:  # the flare
        t = (y - 22.0) / 3.0
        return 10.0 + 3.5 * t * t
    return 13.5  # the rim


def shape_at(x, y, size):
    """The part of the picture at a point (pixel units of a size-pixel grid), or None."""
    s = 32.0 / size
    x, y = x * s, y * s
    cx = 16.0
    # Clapper below the rim.
    if math.hypot(x - cx, y - 28.6) <= 2.3:
        return "clapper"
    # The loop on top.
    r = math.hypot(x - cx, y - 4.6)
    if (1.1 if size >= 32 else 0.0) <= r <= 2.7 and y <= 6.5:
        return "body"
    w = bell_half_width(y)
    if w and abs(x - cx) <= w:
        return "body"
    # Three short rays on each side of the top.
    for side in (-1, 1):
        for angle in (28.0, 52.0, 76.0):
            a = math.radians(angle)
            dx, dy = side * math.cos(a), -math.sin(a)
            ox, oy = cx + dx * 11.5, 12.0 + dy * 11.5
            ex, ey = cx + dx * 15.0, 12.0 + dy * 15.0
            t = max(0.0, min(1.0, ((x - ox) * (ex - ox) + (y - oy) * (ey - oy)) / ((ex - ox) ** 2 + (ey - oy) ** 2)))
            px, py = ox + t * (ex - ox), oy + t * (ey - oy)
            if math.hypot(x - px, y - py) <= (0.95 if size >= 32 else 1.5):
                return "ray"
    return None


def raster(size):
    """The picture as rows of part names, each pixel taken where most of it lies."""
    n = 4
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            votes = {}
            for sy in range(n):
                for sx in range(n):
                    part = shape_at(x + (sx + 0.5) / n, y + (sy + 0.5) / n, size)
                    votes[part] = votes.get(part, 0) + 1
            part = max(votes, key=votes.get)
            row.append(part if votes[part] * 2 >= n * n or part is None else part)
        rows.append(row)
    return rows


def shade(rows, size):
    """Shades of the body: outlined, lit from the upper left."""
    out = [[None] * size for _ in range(size)]
    for y in range(size):
        inside = [x for x in range(size) if rows[y][x] == "body"]
        for x in range(size):
            part = rows[y][x]
            if part is None:
                continue
            if part != "body":
                out[y][x] = part
                continue
            edge = any(
                not (0 <= x + dx < size and 0 <= y + dy < size) or rows[y + dy][x + dx] != "body"
                for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1))
            )
            if edge:
                out[y][x] = "outline"
                continue
            left, right = min(inside), max(inside)
            t = (x - left) / max(1, right - left)  # 0 at the left edge, 1 at the right
            if 0.18 <= t <= 0.34 and y < size * 0.8:
                out[y][x] = "highlight"
            elif t < 0.5:
                out[y][x] = "light"
            elif t < 0.78:
                out[y][x] = "mid"
            else:
                out[y][x] = "dark"
    return out


def ico(pixels, size, palette):
    """A one-image icon file: 8 bits per pixel with a 256-entry palette and a mask."""
    colours = [palette[name] for name in SHADES] + [(0, 0, 0)] * (256 - len(SHADES))
    xor_rows, and_rows = [], []
    for y in reversed(range(size)):  # bottom-up
        xor_rows.append(bytes(SHADES.index(p) if p else 0 for p in pixels[y]))
        bits = 0
        for x in range(size):
            bits = (bits << 1) | (1 if pixels[y][x] is None else 0)
        mask = bits.to_bytes(size // 8, "big")
        and_rows.append(mask + b"\0" * ((4 - len(mask) % 4) % 4))
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 8, 0, 0, 0, 0, 256, 0)
    table = b"".join(struct.pack("BBBB", b, g, r, 0) for r, g, b in colours)
    image = header + table + b"".join(xor_rows) + b"".join(and_rows)
    directory = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", size, size, 0, 0, 1, 8, len(image), 22)
    return directory + image


def png(pixels, size, palette, scale=8):
    """An enlarged preview on a checkered background."""
    raw = b""
    for y in range(size * scale):
        raw += b"\0"
        for x in range(size * scale):
            p = pixels[y // scale][x // scale]
            if p:
                raw += bytes(palette[p])
            else:
                raw += bytes((200, 200, 200) if ((x // 8 + y // 8) % 2) else (240, 240, 240))
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)
    w = h = size * scale
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    preview = sys.argv[2] if len(sys.argv) > 2 and sys.argv[1] == "--preview" else None
    for size in (32, 16):
        pixels = shade(raster(size), size)
        for state, palette in PALETTES.items():
            name = "bell_%s_%d" % (state, size)
            with open(os.path.join(here, name + ".ico"), "wb") as f:
                f.write(ico(pixels, size, palette))
            if preview:
                with open(os.path.join(preview, name + ".png"), "wb") as f:
                    f.write(png(pixels, size, palette))


if __name__ == "__main__":
    main()

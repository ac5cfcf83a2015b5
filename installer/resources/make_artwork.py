#!/usr/bin/env python3
"""Draws the window's header picture (header.bmp, 65 x 57, on the header band's white) and
the program icon (program.ico: 16, 32 and 48 pixels) from one emblem: a blue disc with a
white ring broken by the tail of a "Q". The committed files are this script's output; run it
again in this folder after changing the emblem."""
import math
import struct

SAMPLES = 4  # per pixel and axis, for smooth edges


def emblem(u, v):
    """Colour (r, g, b, alpha 0..1) of the emblem at u, v in the unit square."""
    x, y = u - 0.5, v - 0.5
    r = math.hypot(x, y)
    if 0.36 <= r <= 0.42 and not (x > 0.05 and y > 0.05 and abs(x - y) < 0.09):
        return (255, 255, 255, 1.0)  # the ring, open towards the tail
    if x > 0.08 and y > 0.08 and abs(x - y) < 0.06 and r < 0.5:
        return (255, 255, 255, 1.0)  # the tail of the Q
    if r < 0.5:
        shade = 1.0 - 0.5 * (x + y + 0.7)  # light from the upper left
        return (int(20 + 40 * shade), int(60 + 70 * shade), int(150 + 90 * shade), 1.0)
    return (0, 0, 0, 0.0)


def render(width, height, size, left, top, background):
    """Rows top to bottom of (r, g, b, a) pixels: the emblem of the given size placed at
    left, top, over background (None keeps its transparency)."""
    rows = []
    for py in range(height):
        row = []
        for px in range(width):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    u = (px - left + (sx + 0.5) / SAMPLES) / size
                    v = (py - top + (sy + 0.5) / SAMPLES) / size
                    cr, cg, cb, ca = emblem(u, v) if 0 <= u < 1 and 0 <= v < 1 else (0, 0, 0, 0.0)
                    acc[0] += cr * ca
                    acc[1] += cg * ca
                    acc[2] += cb * ca
                    acc[3] += ca
            n = SAMPLES * SAMPLES
            alpha = acc[3] / n
            colour = [c / acc[3] if acc[3] else 0 for c in acc[:3]]
            if background is not None:
                colour = [c * alpha + b * (1 - alpha) for c, b in zip(colour, background)]
                alpha = 1.0
            row.append(tuple(int(round(c)) for c in colour) + (int(round(alpha * 255)),))
        rows.append(row)
    return rows


def bmp_24(rows):
    width, height = len(rows[0]), len(rows)
    stride = (width * 3 + 3) & ~3
    pixels = b"".join(
        bytes(c for (r, g, b, _) in row for c in (b, g, r)).ljust(stride, b"\0") for row in reversed(rows))
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    return struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info)) + info + pixels


def icon_image(rows):
    """One icon image: a 32-bit bitmap (height doubled for the mask) and its AND mask."""
    size = len(rows)
    colour = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for (r, g, b, a) in row)
    mask_stride = ((size + 31) // 32) * 4
    mask = b""
    for row in reversed(rows):
        line = bytearray(mask_stride)
        for i, (_, _, _, a) in enumerate(row):
            if a < 128:
                line[i // 8] |= 0x80 >> (i % 8)
        mask += bytes(line)
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(colour) + len(mask), 0, 0, 0, 0)
    return info + colour + mask


def ico(images):
    header = struct.pack("<HHH", 0, 1, len(images))
    offset = len(header) + 16 * len(images)
    entries, data = b"", b""
    for size, image in images:
        entries += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), offset + len(data))
        data += image
    return header + entries + data


def main():
    with open("header.bmp", "wb") as out:
        out.write(bmp_24(render(65, 57, 45, 10, 6, (255, 255, 255))))
    images = [(size, icon_image(render(size, size, size, 0, 0, None))) for size in (16, 32, 48)]
    with open("program.ico", "wb") as out:
        out.write(ico(images))


if __name__ == "__main__":
    main()

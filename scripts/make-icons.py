#!/usr/bin/env python3
"""Draws the launcher icons (33x33, 8-bit RGBA PNG): a disc in three states.

Run from the repository root; writes rondel/skin/icons/*.png. The PNGs are
committed, so this only needs to run again when the drawing changes.
"""
import math
import struct
import zlib

SIZE = 33


def png(pixels):
    raw = b"".join(b"\x00" + bytes(row) for row in pixels)
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)
    header = struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def disc(rim, face, glow):
    c = (SIZE - 1) / 2.0
    rows = []
    for y in range(SIZE):
        row = []
        for x in range(SIZE):
            d = math.hypot(x - c, y - c)
            if d > 15.5:
                px = (0, 0, 0, 0)
            elif d > 14.0:
                px = rim + (255,)
            elif d < 2.5:
                px = (0, 0, 0, 0)
            elif d < 5.0:
                px = (200, 200, 210, 255)
            else:
                # a soft sheen across the face
                t = 0.5 + 0.5 * math.sin((x + y) / 6.0)
                px = tuple(int(f * (1 - 0.3 * t) + g * 0.3 * t) for f, g in zip(face, glow)) + (255,)
            row.extend(px)
        rows.append(row)
    return png(rows)


if __name__ == "__main__":
    icons = {
        "launcher_normal": disc((90, 90, 100), (150, 160, 175), (230, 235, 245)),
        "launcher_highlighted": disc((120, 140, 170), (175, 195, 225), (250, 252, 255)),
        "launcher_activated": disc((200, 120, 40), (235, 170, 80), (255, 230, 180)),
    }
    for name, data in icons.items():
        with open(f"rondel/skin/icons/{name}.png", "wb") as f:
            f.write(data)

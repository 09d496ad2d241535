"""Rewrites an RGB(A) PNG as a palette PNG of at most 256 colours (the most
frequent ones, each pixel mapped to the nearest), maximally compressed: the
README's screenshot stays small.

Usage: shrink_png.py IN.png OUT.png
"""

import os
import struct
import sys
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from headless_page import decode_png  # noqa: E402


def chunk(kind, body):
    return (struct.pack(">I", len(body)) + kind + body +
            struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))


def palette_of(rows, width):
    """The 256 most frequent colours, counted on 5 bits per channel, as the mean
    colour of each such bucket."""
    counts, sums = {}, {}
    for row in rows:
        for x in range(width):
            r, g, b = row[3 * x], row[3 * x + 1], row[3 * x + 2]
            key = (r >> 3) << 10 | (g >> 3) << 5 | (b >> 3)
            counts[key] = counts.get(key, 0) + 1
            total = sums.setdefault(key, [0, 0, 0])
            total[0] += r
            total[1] += g
            total[2] += b
    chosen = sorted(counts, key=counts.get, reverse=True)[:256]
    return [tuple(round(sums[key][c] / counts[key]) for c in range(3)) for key in chosen]


def indexed_rows(rows, width, palette):
    nearest = {}
    result = []
    for row in rows:
        line = bytearray(width + 1)  # filter byte 0, then one index per pixel
        for x in range(width):
            colour = (row[3 * x], row[3 * x + 1], row[3 * x + 2])
            index = nearest.get(colour)
            if index is None:
                index = min(range(len(palette)), key=lambda i: sum(
                    (colour[c] - palette[i][c]) ** 2 for c in range(3)))
                nearest[colour] = index
            line[x + 1] = index
        result.append(bytes(line))
    return result


def main():
    with open(sys.argv[1], "rb") as source:
        width, height, rows = decode_png(source.read())
    palette = palette_of(rows, width)
    data = zlib.compress(b"".join(indexed_rows(rows, width, palette)), 9)
    png = (b"\x89PNG\r\n\x1a\n" +
           chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 3, 0, 0, 0)) +
           chunk(b"PLTE", b"".join(bytes(colour) for colour in palette)) +
           chunk(b"IDAT", data) + chunk(b"IEND", b""))
    with open(sys.argv[2], "wb") as out:
        out.write(png)


if __name__ == "__main__":
    main()

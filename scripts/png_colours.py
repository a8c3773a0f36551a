#!/usr/bin/env python3
"""Exits 0 when a PNG (8-bit RGB or RGBA, unfiltered or filtered) shows more
than one colour. Standard library only."""
import struct, sys, zlib

data = open(sys.argv[1], "rb").read()
pos, idat, w, h, ct = 8, b"", 0, 0, 2
while pos < len(data):
    n = struct.unpack(">I", data[pos:pos + 4])[0]
    kind, body = data[pos + 4:pos + 8], data[pos + 8:pos + 8 + n]
    if kind == b"IHDR":
        w, h, _, ct = struct.unpack(">IIBB", body[:10])
    elif kind == b"IDAT":
        idat += body
    pos += 12 + n
raw = zlib.decompress(idat)
bpp = 4 if ct == 6 else 3
row = w * bpp + 1
colours = set()
for y in range(0, h, max(1, h // 64)):
    line = raw[y * row + 1:(y + 1) * row]
    for x in range(0, w, max(1, w // 64)):
        colours.add(line[x * bpp:x * bpp + 3])
    if len(colours) > 1:
        sys.exit(0)
sys.exit(1)

"""Draws the launcher's icon (an ember over a dark disc) and writes it as a
Windows .ico holding PNG images, or with --png-dir as the PNG files Linux
desktops look up (DIR/<n>x<n>/apps/veyra-launcher.png), so both systems show
the same drawing. Standard library only.

  make_icon.py OUT.ico
  make_icon.py --png-dir DIR"""
import math, os, struct, sys, zlib

ICO_SIZES = [16, 32, 48, 256]
# The sizes menus, docks and task switchers ask a hicolor theme for.
DESKTOP_SIZES = [16, 24, 32, 48, 64, 128, 256]

def png(size, pixels):
    raw = b"".join(b"\0" + bytes(pixels[y * size * 4:(y + 1) * size * 4]) for y in range(size))
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))

def draw(size):
    px = []
    c = (size - 1) / 2
    for y in range(size):
        for x in range(size):
            dx, dy = (x - c) / c, (y - c) / c
            r = math.hypot(dx, dy)
            if r > 1.0:
                px += [0, 0, 0, 0]
                continue
            # a flame: a teardrop opening upwards
            fy = (dy + 0.15) * 1.3
            flame = math.hypot(dx * 1.6, fy if fy > 0 else fy * 0.55) < 0.62
            if flame:
                t = max(0.0, min(1.0, (dy + 0.7) / 1.3))
                px += [255, int(120 + 110 * t), int(40 + 40 * t), 255]
            else:
                edge = 1.0 if r < 0.9 else 0.6
                px += [int(18 * edge), int(24 * edge), int(48 * edge), 255]
    return px

def write_pngs(folder):
    for s in DESKTOP_SIZES:
        apps = os.path.join(folder, "%dx%d" % (s, s), "apps")
        os.makedirs(apps, exist_ok=True)
        with open(os.path.join(apps, "veyra-launcher.png"), "wb") as f:
            f.write(png(s, draw(s)))

def main(out):
    sizes = ICO_SIZES
    images = [png(s, draw(s)) for s in sizes]
    header = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b""
    for s, img in zip(sizes, images):
        entries += struct.pack("<BBBBHHII", s % 256, s % 256, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    with open(out, "wb") as f:
        f.write(header + entries + b"".join(images))

if __name__ == "__main__":
    if sys.argv[1] == "--png-dir":
        write_pngs(sys.argv[2])
    else:
        main(sys.argv[1])

#!/usr/bin/env python3
"""Writes synthetic PS2 disc images for the demo release and the tests.

Every image is a real ISO 9660 volume (2048-byte sectors, primary volume
descriptor at sector 16, one root directory holding SYSTEM.CNF, the boot
executable and a data file). The content is generated from fixed seeds, so
the same kind always yields the same bytes and the same SHA-1.

Kinds:
  right     the USA disc the build accepts (boots SLUS_209.99)
  other     another game (boots SLES_512.34)
  modified  the USA disc with one byte of its data changed
  notimage  a file that is not a disc image at all
  bincue    the USA disc as a raw .bin (2352-byte sectors) with its .cue

Usage: make_disc.py KIND OUTPUT [--mode 1|2] [--size-mb N]
For bincue, OUTPUT names the .cue; the .bin is written beside it.
"""
import argparse
import hashlib
import os
import struct
import sys

SECTOR = 2048
RAW_SECTOR = 2352

BOOT_USA = "SLUS_209.99"
BOOT_OTHER = "SLES_512.34"


def both16(value):
    return struct.pack("<H", value) + struct.pack(">H", value)


def both32(value):
    return struct.pack("<I", value) + struct.pack(">I", value)


def padded(text, length):
    data = text.encode("ascii")
    return data[:length] + b" " * (length - len(data[:length]))


# 2004-03-02 12:00:00 UTC, the disc's mastering date.
DIR_DATE = bytes([104, 3, 2, 12, 0, 0, 0])
VOL_DATE = b"2004030212000000\x00"
NO_DATE = b"0" * 16 + b"\x00"


def dir_record(name, lba, size, is_dir):
    name_len = len(name)
    length = 33 + name_len + (1 if name_len % 2 == 0 else 0)
    rec = bytes([length, 0]) + both32(lba) + both32(size) + DIR_DATE
    rec += bytes([2 if is_dir else 0, 0, 0]) + both16(1) + bytes([name_len]) + name
    if name_len % 2 == 0:
        rec += b"\x00"
    return rec


def pseudo_random(seed, length):
    """Deterministic filler: SHA-256 in counter mode."""
    out = bytearray()
    counter = 0
    while len(out) < length:
        out += hashlib.sha256(seed + counter.to_bytes(8, "little")).digest()
        counter += 1
    return bytes(out[:length])


def fake_elf(seed, length):
    # Enough of an ELF header (32-bit little-endian MIPS executable) that
    # anything peeking at the file sees a program.
    header = b"\x7fELF" + bytes([1, 1, 1, 0]) + bytes(8)
    header += struct.pack("<HHIIIIIHHHHHH", 2, 8, 1, 0x100000, 52, 0, 0x20924001, 52, 32, 1, 40, 0, 0)
    return header + pseudo_random(seed, length - len(header))


def build_iso(files, volume_id="EMBERFALL"):
    """files: list of (name, bytes), written in name order after the root."""
    files = sorted(files, key=lambda f: f[0])
    root_lba = 20
    # Room for the root directory: records are small, one sector is plenty.
    next_lba = root_lba + 1
    placed = []
    for name, data in files:
        placed.append((name, next_lba, data))
        next_lba += (len(data) + SECTOR - 1) // SECTOR
    total = next_lba

    root = dir_record(b"\x00", root_lba, SECTOR, True) + dir_record(b"\x01", root_lba, SECTOR, True)
    for name, lba, data in placed:
        root += dir_record((name + ";1").encode("ascii"), lba, len(data), False)
    assert len(root) <= SECTOR

    path_l = bytes([1, 0]) + struct.pack("<I", root_lba) + struct.pack("<H", 1) + b"\x00\x00"
    path_m = bytes([1, 0]) + struct.pack(">I", root_lba) + struct.pack(">H", 1) + b"\x00\x00"

    pvd = bytearray(SECTOR)
    pvd[0:7] = b"\x01CD001\x01"
    pvd[8:40] = padded("PLAYSTATION", 32)
    pvd[40:72] = padded(volume_id, 32)
    pvd[80:88] = both32(total)
    pvd[120:124] = both16(1)
    pvd[124:128] = both16(1)
    pvd[128:132] = both16(SECTOR)
    pvd[132:140] = both32(10)
    pvd[140:144] = struct.pack("<I", 18)
    pvd[148:152] = struct.pack(">I", 19)
    pvd[156:190] = dir_record(b"\x00", root_lba, SECTOR, True)
    pvd[190:318] = padded(volume_id, 128)
    pvd[318:446] = padded("", 128)
    pvd[446:574] = padded("", 128)
    pvd[574:702] = padded("PLAYSTATION", 128)
    pvd[702:813] = padded("", 111)
    pvd[813:830] = VOL_DATE
    pvd[830:847] = VOL_DATE
    pvd[847:864] = NO_DATE
    pvd[864:881] = NO_DATE
    pvd[881] = 1

    terminator = bytearray(SECTOR)
    terminator[0:7] = b"\xffCD001\x01"

    image = bytearray(total * SECTOR)
    image[16 * SECTOR:17 * SECTOR] = pvd
    image[17 * SECTOR:18 * SECTOR] = terminator
    image[18 * SECTOR:18 * SECTOR + len(path_l)] = path_l
    image[19 * SECTOR:19 * SECTOR + len(path_m)] = path_m
    image[root_lba * SECTOR:root_lba * SECTOR + len(root)] = root
    for name, lba, data in placed:
        image[lba * SECTOR:lba * SECTOR + len(data)] = data
    return bytes(image)


def disc_files(boot, size_mb, seed):
    cnf = ("BOOT2 = cdrom0:\\%s;1\r\nVER = 1.00\r\nVMODE = NTSC\r\n" % boot).encode("ascii")
    data_len = max(1, size_mb) * 1024 * 1024
    return [
        ("SYSTEM.CNF", cnf),
        (boot, fake_elf(seed + b"elf", 96 * 1024)),
        ("DATA.PAK", pseudo_random(seed + b"data", data_len)),
        ("MOVIE.PSS", pseudo_random(seed + b"movie", data_len // 4)),
    ]


def right_disc(size_mb):
    return build_iso(disc_files(BOOT_USA, size_mb, b"emberfall-usa"))


def to_raw(iso, mode):
    """2048-byte sectors to 2352-byte raw sectors (mode 1 or mode 2 form 1).
    The error-correction fields are left zero: nothing here reads them."""
    out = bytearray()
    sync = b"\x00" + b"\xff" * 10 + b"\x00"
    for index in range(len(iso) // SECTOR):
        lba = index + 150
        minutes, rest = divmod(lba, 75 * 60)
        seconds, frames = divmod(rest, 75)
        bcd = lambda v: ((v // 10) << 4) | (v % 10)
        header = sync + bytes([bcd(minutes), bcd(seconds), bcd(frames), mode])
        user = iso[index * SECTOR:(index + 1) * SECTOR]
        if mode == 1:
            sector = header + user + bytes(4 + 8 + 276)
        else:
            subheader = bytes([0, 0, 0x08, 0]) * 2  # data, form 1
            sector = header + subheader + user + bytes(4 + 276)
        assert len(sector) == RAW_SECTOR
        out += sector
    return bytes(out)


def main():
    parser = argparse.ArgumentParser(description="Write a synthetic PS2 disc image.")
    parser.add_argument("kind", choices=["right", "other", "modified", "notimage", "bincue"])
    parser.add_argument("output")
    parser.add_argument("--mode", type=int, choices=[1, 2], default=2, help="sector mode of a .bin")
    parser.add_argument("--size-mb", type=int, default=4, help="size of the data file in MiB")
    args = parser.parse_args()

    out = args.output
    folder = os.path.dirname(os.path.abspath(out))
    os.makedirs(folder, exist_ok=True)
    if args.kind == "right":
        data = right_disc(args.size_mb)
    elif args.kind == "other":
        data = build_iso(disc_files(BOOT_OTHER, args.size_mb, b"another-game"), "OTHERGAME")
    elif args.kind == "modified":
        image = bytearray(right_disc(args.size_mb))
        # One flipped byte inside DATA.PAK, as a bad rip would have.
        image[-SECTOR * 7 - 123] ^= 0x5A
        data = bytes(image)
    elif args.kind == "notimage":
        data = b"This is a holiday photo, not a disc image.\n" * 2000
    else:
        base = os.path.splitext(os.path.basename(out))[0]
        bin_name = base + ".bin"
        with open(os.path.join(folder, bin_name), "wb") as f:
            f.write(to_raw(right_disc(args.size_mb), args.mode))
        cue = 'FILE "%s" BINARY\n  TRACK 01 MODE%d/2352\n    INDEX 01 00:00:00\n' % (bin_name, args.mode)
        data = cue.encode("ascii")
    with open(out, "wb") as f:
        f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main())

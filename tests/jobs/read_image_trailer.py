#!/usr/bin/python3
"""Reads the 1024-byte block that ends a disk-image file and prints its fields, one
"name=value" line each, for the imaging tests to compare with the drive they imaged. Written
from the file format alone (offsets counted here), as a check on the program's own writer.

Layout: the 530-byte drive node (next marker u32, number u8, kind u8, detail marker u32, image
path 260 UTF-16 units); then for kinds 0, 4, 5 the 77-byte disk record (drive u8, sectors u64,
size text 32 units, identify marker u32) and for kind 0 the 76-byte identify block at 607
(model 41, serial 21, firmware 9 bytes, temperature u32, spare u8); for every other kind the
397-byte volume record. Every other byte is zero.

Usage: read_image_trailer.py IMAGE"""

import struct
import sys


def wide(data, offset, units):
    raw = data[offset:offset + 2 * units]
    text = raw.decode("utf-16-le", errors="replace")
    return text.split("\0", 1)[0]


def narrow(data, offset, size):
    return data[offset:offset + size].split(b"\0", 1)[0].decode("utf-8", errors="replace")


def main():
    with open(sys.argv[1], "rb") as f:
        f.seek(0, 2)
        size = f.tell()
        if size < 1024:
            print("error=short")
            return 1
        f.seek(size - 1024)
        block = f.read(1024)

    fields = []
    used = bytearray(1024)

    def take(name, offset, width, value):
        fields.append((name, value))
        for i in range(offset, offset + width):
            used[i] = 1

    def number(name, offset, width):
        value = int.from_bytes(block[offset:offset + width], "little")
        take(name, offset, width, value)
        return value

    number("node.next", 0, 4)
    number("node.number", 4, 1)
    kind = number("node.kind", 5, 1)
    number("node.detail", 6, 4)
    take("node.path", 10, 520, wide(block, 10, 260))

    d = 530
    if kind in (0, 4, 5):
        number("disk.drive", d, 1)
        number("disk.sectors", d + 1, 8)
        take("disk.size", d + 9, 64, wide(block, d + 9, 32))
        number("disk.identify", d + 73, 4)
        i = 607
        take("identify.model", i, 41, narrow(block, i, 41))
        take("identify.serial", i + 41, 21, narrow(block, i + 41, 21))
        take("identify.firmware", i + 62, 9, narrow(block, i + 62, 9))
        number("identify.temperature", i + 71, 4)
        number("identify.spare", i + 75, 1)
    else:
        number("volume.drive", d, 1)
        take("volume.root", d + 1, 64, wide(block, d + 1, 32))
        take("volume.reserved", d + 65, 64, wide(block, d + 65, 32))
        take("volume.type", d + 129, 64, wide(block, d + 129, 32))
        number("volume.free", d + 193, 8)
        number("volume.bytes", d + 201, 8)
        take("volume.filesystem", d + 209, 64, wide(block, d + 209, 32))
        number("volume.spanned", d + 273, 1)
        number("volume.disk", d + 274, 1)
        number("volume.first", d + 275, 8)
        number("volume.sectors", d + 283, 8)
        number("volume.last", d + 291, 8)
        number("volume.type_code", d + 299, 1)
        f = d + 300
        number("found.sectors_per_fat", f, 4)
        number("found.reserved", f + 4, 4)
        number("found.root_sectors", f + 8, 2)
        number("found.sectors_per_cluster", f + 10, 1)
        number("found.root_cluster", f + 11, 4)
        number("found.clusters_marker", f + 15, 4)
        number("found.clusters_count", f + 19, 4)
        number("found.mft", f + 23, 4)
        number("found.mft_mirror", f + 27, 4)
        number("found.ntfs_sectors_per_cluster", f + 31, 2)
        take("volume.size", d + 333, 64, wide(block, d + 333, 32))

    rest_zero = all(block[i] == 0 for i in range(1024) if not used[i])
    fields.append(("padding", "zero" if rest_zero else "nonzero"))
    fields.append(("data.bytes", size - 1024))
    for name, value in fields:
        print("%s=%s" % (name, value))
    return 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/python3
"""Rebuilds the seed corpora of the fuzz targets for the raw search, the stored records, the FTP
listings, recovered names, the $MFT probe and the ends of disk images: small files, a few KiB
at most, made by real tools (PIL, tiffcp, xlwt) or written out field by field. Each seed starts
with the bytes its target reads first (which finder, how the view is shaped, which record). The
$MFT probe's seeds are cut from the committed NTFS fixtures or built record by record.
Deterministic; re-run after changing a target's input layout.

Usage: tests/fuzz/make_seeds.py [HeaderFile.cfg of a normal build]
(default build/share/morwick-wrenfal/HeaderFile.cfg; its first records seed the header-file
targets)."""

import io
import lzma
import os
import struct
import subprocess
import sys
import tempfile

from PIL import Image
import xlwt

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))


def write(target, name, data):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def picture(size=(8, 8)):
    image = Image.new("RGB", size)
    image.putdata([((x * 37) % 256, (y * 53) % 256, ((x ^ y) * 29) % 256)
                   for y in range(size[1]) for x in range(size[0])])
    return image


def saved(image, fmt, **options):
    out = io.BytesIO()
    image.save(out, format=fmt, **options)
    return out.getvalue()


def big_endian_tiff(little):
    with tempfile.TemporaryDirectory() as work:
        source = os.path.join(work, "in.tif")
        result = os.path.join(work, "out.tif")
        with open(source, "wb") as f:
            f.write(little)
        subprocess.run(["tiffcp", "-B", source, result], check=True)
        with open(result, "rb") as f:
            return f.read()


def exif_jpeg():
    """A JPEG whose Exif segment holds a thumbnail (IFD1 with its offset and length)."""
    thumbnail = saved(picture((4, 4)), "JPEG", quality=50)
    # TIFF header, IFD0 with no entries linking to IFD1, IFD1 with the two thumbnail tags.
    ifd0 = 8
    ifd1 = ifd0 + 2 + 4
    data = ifd1 + 2 + 2 * 12 + 4
    tiff = b"II*\x00" + struct.pack("<I", ifd0)
    tiff += struct.pack("<HI", 0, ifd1)
    tiff += struct.pack("<H", 2)
    tiff += struct.pack("<HHII", 513, 4, 1, data)
    tiff += struct.pack("<HHII", 514, 4, 1, len(thumbnail))
    tiff += struct.pack("<I", 0)
    tiff += thumbnail
    return saved(picture((16, 16)), "JPEG", quality=60, exif=b"Exif\x00\x00" + tiff)


def length_finder_seeds():
    image = picture()
    little = saved(image, "TIFF")
    # Finder numbers as the target counts them: BMP, PNG, GIF, TIFF "MM", TIFF "II", JPEG.
    seeds = [
        ("bmp", 0, 0x00, saved(image, "BMP")),
        ("png", 1, 0x00, saved(image, "PNG")),
        ("png-handed-in", 1, 0x09, saved(picture((24, 24)), "PNG")),
        ("gif", 2, 0x00, saved(image.convert("P"), "GIF")),
        ("tiff-mm", 3, 0x00, big_endian_tiff(little)),
        ("tiff-ii", 4, 0x01, little),
        ("jpeg", 5, 0x00, saved(image, "JPEG", quality=70)),
        ("jpeg-exif", 5, 0x08, exif_jpeg()),
        ("jpeg-cut", 5, 0x02, saved(picture((64, 64)), "JPEG", quality=90)),
    ]
    for name, finder, shape, data in seeds:
        write("length_finders", name, bytes([finder, shape]) + data)


def compound_document(sector_shift, streams, title=None):
    """A compound document with every stream in ordinary sectors (the mini-stream cutoff is 0):
    header, one allocation-table sector, the directory, then the streams."""
    sector = 1 << sector_shift
    per_sector = sector // 4
    names = [("Root Entry", 5, b"")] + streams
    if title is not None:
        names.append(("\x05SummaryInformation", 2, summary(title)))
    directory_sectors = (len(names) * 128 + sector - 1) // sector
    chains = []
    next_sector = 1 + directory_sectors
    body = b""
    for _, _, data in names:
        count = (len(data) + sector - 1) // sector
        chains.append((next_sector if count else 0xFFFFFFFE, count))
        next_sector += count
        body += data + b"\x00" * (count * sector - len(data))
    table = [0xFFFFFFFD] + list(range(2, 1 + directory_sectors)) + [0xFFFFFFFE]
    for start, count in chains:
        if count:
            table += list(range(start + 1, start + count)) + [0xFFFFFFFE]
    assert len(table) <= per_sector
    table += [0xFFFFFFFF] * (per_sector - len(table))

    header = bytearray(sector)
    header[0:8] = bytes.fromhex("D0CF11E0A1B11AE1")
    struct.pack_into("<HHHH", header, 24, 0x3E, 3 if sector_shift == 9 else 4, 0xFFFE,
                     sector_shift)
    struct.pack_into("<H", header, 32, 6)
    struct.pack_into("<IIIIIIII", header, 44, 1, 1, 0, 0, 0xFFFFFFFE, 0, 0xFFFFFFFE, 0)
    struct.pack_into("<I", header, 76, 0)
    for i in range(1, 109):
        struct.pack_into("<I", header, 76 + 4 * i, 0xFFFFFFFF)

    entries = b""
    for index, ((name, kind, data), (start, _)) in enumerate(zip(names, chains)):
        entry = bytearray(128)
        encoded = (name + "\x00").encode("utf-16-le")
        entry[0:len(encoded)] = encoded
        struct.pack_into("<HBB", entry, 64, len(encoded), kind, 1)
        # A chain of right siblings below the root.
        right = index + 1 if 0 < index < len(names) - 1 else 0xFFFFFFFF
        child = 1 if index == 0 and len(names) > 1 else 0xFFFFFFFF
        struct.pack_into("<III", entry, 68, 0xFFFFFFFF, right, child)
        struct.pack_into("<III", entry, 116, start, len(data), 0)
        entries += entry
    entries += b"\x00" * (directory_sectors * sector - len(entries))
    return bytes(header) + struct.pack("<%dI" % per_sector, *table) + entries + body


def summary(title):
    """A summary stream holding one property, the title, as 8-bit text."""
    text = title.encode("latin-1") + b"\x00"
    value = struct.pack("<II", 30, len(text)) + text
    section = struct.pack("<II", 8 + 8 + len(value), 1) + struct.pack("<II", 2, 16) + value
    head = struct.pack("<HHI", 0xFFFE, 0, 0x00020005) + b"\x00" * 16 + struct.pack("<I", 1)
    head += bytes.fromhex("E0859FF2F94F6810AB9108002B27B3D9") + struct.pack("<I", 48)
    return head + section


def compound_document_seeds():
    word = struct.pack("<H", 0xA5EC) + bytes(range(256)) * 17
    write("compound_document", "word-512", b"\x00" + compound_document(
        9, [("WordDocument", 2, word), ("1Table", 2, b"\x01" * 700)], title="Minutes"))
    excel = struct.pack("<HH", 0x0809, 16) + b"\x00" * 4200
    write("compound_document", "excel-4096", b"\x08" + compound_document(12, [("Workbook", 2, excel)]))
    show = struct.pack("<I", 0x03E8000F) + b"\x00" * 60
    write("compound_document", "powerpoint-cut", b"\x06" + compound_document(
        9, [("PowerPoint Document", 2, show), ("Pictures", 1, b"")], title="Slides"))

    book = xlwt.Workbook()
    sheet = book.add_sheet("Sheet")
    for row in range(4):
        sheet.write(row, 0, "cell %d" % row)
        sheet.write(row, 1, row * 1.5)
    out = io.BytesIO()
    book.save(out)
    write("compound_document", "xlwt", b"\x00" + out.getvalue())


def utf16_field(text, units):
    encoded = text.encode("utf-16-le")[:2 * units]
    return encoded + b"\x00" * (2 * units - len(encoded))


def text_field(text, size):
    encoded = text.encode("utf-8")[:size]
    return encoded + b"\x00" * (size - len(encoded))


def stored_record_seeds(header_records):
    # Record numbers as the target counts them: drive node, disk detail, volume detail,
    # identify data, file signature.
    node = struct.pack("<IBBI", 1, 0x0A, 6, 1) + utf16_field("/srv/images/disk \u00e9.img", 260)
    write("stored_records", "drive-node", b"\x00" + node)
    disk = struct.pack("<BQ", 0x80, 976773168) + utf16_field("465.76 GB", 32) + struct.pack("<I", 1)
    write("stored_records", "disk-detail", b"\x01" + disk)
    found = struct.pack("<IIHBIIIIIH", 0x3C4, 32, 0, 8, 2, 1, 3, 0, 0, 0)
    volume = (struct.pack("<B", 3) + utf16_field("D:\\", 32) + utf16_field("", 32) +
              utf16_field("FIXED", 32) + struct.pack("<QQ", 1 << 30, 1 << 34) +
              utf16_field("FAT32", 32) + struct.pack("<BBQQQB", 0, 0x80, 2048, 1 << 25,
                                                   2048 + (1 << 25) - 1, 11) +
              found + utf16_field("16.0 GB", 32))
    write("stored_records", "volume-detail", b"\x02" + volume)
    identify = (text_field("WDC WD20EZRZ-00Z5HB0", 41) + text_field("WD-WCC4M1234567", 21) +
                text_field("80.00A80", 9) + struct.pack("<IB", 0x2D, 0))
    write("stored_records", "identify", b"\x03" + identify)
    if header_records:
        write("stored_records", "file-signature", b"\x04" + header_records[0])

    # Scan-information headers (FAT and NTFS), an $MFT run, a record-table entry, and a drive
    # list of a hard disk with identify data and a rebuilt volume with two folder clusters.
    banners = text_field("Morwick Wrenfal - Best Data Recovery Software", 128) + \
        text_field("(C) Morwick Ltd", 128)
    totals = struct.pack("<QIH", 1 << 33, 42, 2) + banners
    image = utf16_field("/srv/images/vol.img", 260)
    fat = (struct.pack("<BBIIIBBBII", 0x80, 0, 0x3C4, 2, 0x1E2, 8, 11, 1, 0, 32) + bytes(27) +
           struct.pack("<BQQQ", 1, 2048, 2048 + (1 << 25) - 1, 1 << 25) + totals + b"\x01" +
           image)
    write("stored_records", "scan-header-fat", b"\x05" + fat + bytes(1024 - len(fat)))
    ntfs = (struct.pack("<B", 0x81) + bytes(9) + struct.pack("<IBB", 0x40000, 0, 7) + bytes(9) +
            struct.pack("<IIIIIIHBB", 786432, 2, 3, 42, 0, 0, 8, 1, 0) +
            struct.pack("<QQQ", 63, 63 + (1 << 21) - 1, 1 << 21) + totals + b"\x00" +
            utf16_field("", 260))
    write("stored_records", "scan-header-ntfs", b"\x05" + ntfs + bytes(1024 - len(ntfs)))
    write("stored_records", "ntfs-run", b"\x06" + struct.pack("<IIIBB", 0, 512, 0xC0000, 3,
                                                                  ord("S")))
    write("stored_records", "ntfs-record", b"\x07" + struct.pack("<IIIIII", 786464, 17, 40, 5,
                                                                     1, 0))
    hard_disk = struct.pack("<IBBI", 0, 0x80, 0, 1) + utf16_field("", 260) + disk + identify
    found_array = struct.pack("<IIHBIIIIIH", 0x3C4, 32, 0, 8, 2, 1, 2, 0, 0, 0)
    rebuilt = (struct.pack("<IBBI", 0, 10, 3, 1) + utf16_field("", 260) +
               volume.replace(found, found_array) + struct.pack("<II", 2, 9))
    write("stored_records", "drive-list", b"\x08" + b"\x02" + hard_disk + rebuilt)


def disk_image_trailer_seeds():
    """The ends of image files: the file size (u64), the drive list's length (u8), then the
    1024-byte trailer of a hard disk, a removable disk, a CD/DVD, a lettered volume and a
    rebuilt one, and two that are refused (a size in KB, a file with no sector)."""
    def trailer(kind, number, detail):
        node = struct.pack("<IBBI", 0, number, kind, 1) + utf16_field("", 260)
        block = node + detail
        return block + bytes(1024 - len(block))

    def disk(drive, sectors, size, marker):
        return struct.pack("<BQ", drive, sectors) + utf16_field(size, 32) + struct.pack("<I", marker)

    identify = (text_field("WDC WD20EZRZ-00Z5HB0", 41) + text_field("WD-WCC4M1234567", 21) +
                text_field("80.00A80", 9) + struct.pack("<IB", 0x2D, 0))

    def volume(root, size, found):
        return (struct.pack("<B", 3) + utf16_field(root, 32) + utf16_field("", 32) +
                utf16_field("FIXED", 32) + struct.pack("<QQ", 1 << 30, 1 << 34) +
                utf16_field("FAT32", 32) + struct.pack("<BBQQQB", 0, 0x80, 2048, 1 << 25,
                                                     2048 + (1 << 25) - 1, 11) +
                found + utf16_field(size, 32))

    plain = struct.pack("<IIHBIIIIIH", 0, 0, 0, 0, 0, 0, 0, 0, 0, 0)
    rebuilt = struct.pack("<IIHBIIIIIH", 0x3C4, 32, 0, 8, 2, 1, 3, 0, 0, 0)
    seeds = {
        "hard-disk": (1 << 30, 4, trailer(0, 0x80, disk(0x80, 976773168, "465.76 GB", 1) +
                                            identify)),
        "removable": (64 << 20, 0, trailer(4, 0x81, disk(0x81, 131072, "64.00 MB", 0))),
        "cd": (700 << 20, 12, trailer(5, 12, disk(4, 1433600, "700.00 MB", 0))),
        "volume": (16 << 30, 2, trailer(1, 10, volume("D:\\", "16.00 GB", plain))),
        "rebuilt": (16 << 30, 250, trailer(3, 11, volume("Advance drive 1 (FAT32 : 16.00 GB)",
                                                         "16.00 GB", rebuilt))),
        "size-in-kb": (2048, 1, trailer(0, 0x80, disk(0x80, 2, "1.00 KB", 0))),
        "no-sector": (1024, 255, trailer(1, 10, volume("E:\\", "8.00 MB", plain))),
    }
    for name, (size, listed, block) in seeds.items():
        write("disk_image_trailer", name, struct.pack("<QB", size, listed) + block)


def signature_file_seeds(header_records):
    if not header_records:
        print("make_seeds: no HeaderFile.cfg; signature_file seeds left as they are")
        return
    write("signature_file", "three-records", b"".join(header_records[:3]))
    # A record cut short behind a whole one, and bytes to match against after it.
    write("signature_file", "partial-tail", header_records[3] + header_records[4][:600])
    damaged = bytearray(header_records[5])
    damaged[8:528] = "N".encode("utf-16-le") * 260       # no NUL in the name
    damaged[1048:1052] = struct.pack("<I", 510)          # a match at the end of the sector
    damaged[1052] = 200                                  # too long a match
    write("signature_file", "damaged", bytes(damaged) + b"\x00" * 512)
    write("signature_file", "empty", b"")


def ftp_listing_seeds():
    mlsd = ("type=cdir;perm=el;modify=20240131220800; .\r\n"
            "type=pdir;perm=el; ..\r\n"
            "type=dir;perm=flcdmpe;modify=20240131220800; Recovered Files\r\n"
            "type=file;size=14150;modify=20240131220801;perm=adfrw; baseline.jpg\r\n"
            "Type=File;Size=3;Unique=801U1F; name; with; semicolons\r\n"
            "size=1; no type\r\n")
    write("ftp_listing", "mlsd", b"\x01" + mlsd.encode())
    unix = ("total 12\n"
            "drwxr-xr-x    2 ftp      ftp          4096 Jan 31 22:08 .\n"
            "drwxr-xr-x    5 ftp      ftp          4096 Jan 31 22:08 ..\n"
            "drwxr-xr-x    2 ftp      ftp          4096 Jan 31 22:08 photos 2024\n"
            "-rw-r--r--    1 ftp      ftp         14150 Dec 24  2023 baseline.jpg\n"
            "lrwxrwxrwx    1 ftp      ftp            12 Feb  1 09:00 latest -> photos 2024\n"
            "-rw-r--r--    1 1000     4096 Mar  3 10:00 no group\n")
    write("ftp_listing", "unix", b"\x00" + unix.encode())
    dos = ("01-31-24  10:08PM       <DIR>          Recovered Files\r\n"
           "02-01-24  09:00AM                14150 baseline.jpg\r\n"
           "02-01-24  09:00AM       <DIR>          .\r\n"
           "12-24-23  11:59PM                    0 r\u00e9sum\u00e9.doc\r\n")
    write("ftp_listing", "dos", b"\x00" + dos.encode())


def recovered_name_seeds():
    names = {
        "plain": "report 2024.doc",
        "dots": "..",
        "separators": "a/b\\c\x00d\x07e\x7f.txt",
        "long": "\u00e9" * 200 + ".jpeg",
        "long-extension": "x" * 300 + "." + "y" * 20,
        "pairs": "\U0001F4BE disk \U0001D11E.bin",
    }
    for name, text in names.items():
        write("recovered_name", name, text.encode("utf-16-le"))
    # Unpaired surrogates, which no str can hold.
    write("recovered_name", "lone-surrogates", b"a\x00\x3d\xd8.\x00\x00\xdcb\x00")


SECTOR = 512


def fixture_sectors(name, count):
    """The first `count` sectors of a committed NTFS fixture."""
    with lzma.open(os.path.join(ROOT, "tests", "fixtures", name + ".img.xz")) as f:
        return bytearray(f.read(count * SECTOR))


def replace_once(data, start, end, old, new):
    at = data.find(old, start, end)
    assert at >= 0 and data.find(old, at + 1, end) < 0, (old, start)
    data[at:at + len(old)] = new


def run_list(runs):
    """(clusters, step) pairs as a run list; each field as short as its value allows."""
    out = b""
    for clusters, step in runs:
        length = clusters.to_bytes(max(1, (clusters.bit_length() + 7) // 8), "little")
        size = 1
        while not -(1 << (8 * size - 1)) <= step < (1 << (8 * size - 1)):
            size += 1
        out += bytes([len(length) | (size << 4)]) + length + step.to_bytes(size, "little",
                                                                          signed=True)
    return out + b"\x00"


def pad8(data):
    return data + bytes(-len(data) % 8)


def resident(kind, content):
    return pad8(struct.pack("<IIBBHHHIHBB", kind, len(pad8(bytes(24) + content)), 0, 0, 0, 0, 0,
                            len(content), 24, 0, 0) + content)


def non_resident(kind, runs, first_vcn, last_vcn, allocated, size):
    body = (struct.pack("<IIBBHHHQQHH4xQQQ", kind, 0, 1, 0, 0, 0, 0, first_vcn, last_vcn, 64, 0,
                        allocated, size, size) + run_list(runs))
    body = pad8(body)
    return body[:4] + struct.pack("<I", len(body)) + body[8:]


def file_name(name):
    text = name.encode("utf-16-le")
    return resident(0x30, struct.pack("<Q", 5 | (5 << 48)) + bytes(56) +
                    bytes([len(name), 3]) + text)


def file_record(attributes, number, base=0):
    """A 1024-byte file record of NTFS 3.1 with its update sequence applied."""
    body = b"".join(attributes) + struct.pack("<I", 0xFFFFFFFF)
    header = struct.pack("<4sHHQHHHHIIQHHI", b"FILE", 0x30, 3, 0, 1, 1, 56, 1, 56 + len(body),
                         1024, base, 0, 0, number)
    record = bytearray(header + bytes(8) + body)
    record += bytes(1024 - len(record))
    record[48:54] = b"\x07\x07" + record[510:512] + record[1022:1024]
    record[510:512] = record[1022:1024] = b"\x07\x07"
    return bytes(record)


def attribute_list(entries):
    return b"".join(struct.pack("<IHBBQQH6x", kind, 32, 0, 26, 0, record, 0)
                    for kind, record in entries)


def mft_record(runs, allocated, list_attribute=b""):
    clusters = sum(length for length, _ in runs)
    return file_record([resident(0x10, bytes(72)), list_attribute, file_name("$MFT"),
                        non_resident(0x80, runs, 0, clusters - 1, allocated, allocated - 700)], 0)


def mirror_record(cluster):
    return file_record([resident(0x10, bytes(72)), file_name("$MFTMirr"),
                        non_resident(0x80, [(1, cluster)], 0, 0, 4096, 4096)], 1)


def extension_record(number, first_vcn, runs):
    clusters = sum(length for length, _ in runs)
    return file_record([non_resident(0x80, runs, first_vcn, first_vcn + clusters - 1, 0, 0)],
                       number, base=1 << 48)


def disk(sectors, pieces):
    image = bytearray(sectors * SECTOR)
    for sector, data in pieces:
        image[sector * SECTOR:sector * SECTOR + len(data)] = data
    return bytes(image)


def ntfs_mft_probe_seeds():
    # The input: a u16 count of zero sectors before the disk, then the disk. The disk sectors
    # from `first` on are kept, those before it left to the zeros.
    def seed(name, lead, image, first):
        write("ntfs_mft_probe", name, struct.pack("<H", lead + first) + image[first * SECTOR:])

    # mkntfs volumes from their boot sector to a few records past the $MFT's first: 4 KiB
    # clusters with the $MFT at cluster 4, and one-sector clusters with it at cluster 32.
    seed("volume", 2048, bytes(fixture_sectors("ntfs_volume", 64)), 32)
    seed("many_records", 100, bytes(fixture_sectors("ntfs_many_records", 72)), 32)

    # The $MFT and the mirror's copy of records 0-3 a few clusters apart, in both orders:
    # record 1 names the mirror at cluster 12, or record 0 the $MFT there.
    volume = fixture_sectors("ntfs_volume", 104)
    records = volume[32 * SECTOR:36 * SECTOR]
    after = bytearray(records)
    replace_once(after, 1024, 2048, bytes.fromhex("2101ff07"), bytes.fromhex("21010c00"))
    volume[32 * SECTOR:36 * SECTOR] = volume[96 * SECTOR:100 * SECTOR] = after
    seed("mirror_after", 2048, bytes(volume), 32)
    before = bytearray(records)
    replace_once(before, 0, 1024, bytes.fromhex("112f04"), bytes.fromhex("112f0c"))
    replace_once(before, 1024, 2048, bytes.fromhex("2101ff07"), bytes.fromhex("21010400"))
    volume[32 * SECTOR:36 * SECTOR] = volume[96 * SECTOR:100 * SECTOR] = before
    seed("mirror_before", 2048, bytes(volume), 32)

    # One sector per cluster, volume at sector 64, $MFT at cluster 16 in runs of 37 and 11
    # clusters: extension record 17 in the first run, record 18 split between both; a resident
    # attribute list.
    entries = [(0x10, 0), (0x30, 0), (0x80, 0), (0x80, 17), (0x80, 18), (0xB0, 0)]
    base = mft_record([(37, 16), (11, 60)], 80 * SECTOR,
                      resident(0x20, attribute_list(entries)))
    split = extension_record(18, 64, [(16, 200)])
    seed("list_split", 0, disk(151, [(80, base), (82, mirror_record(300)),
                                     (114, extension_record(17, 48, [(16, 150)])),
                                     (116, split[:SECTOR]), (140, split[SECTOR:])]), 80)

    # Four sectors per cluster, volume at sector 64, $MFT at cluster 8 in runs of 4 and 8
    # clusters, extension record 20 in the second; the list non-resident at cluster 30.
    entries = [(0x10, 0), (0x30, 0), (0x80, 0), (0x80, 20)]
    listed = attribute_list(entries)
    base = mft_record([(4, 8), (8, 12)], 28 * 4 * SECTOR,
                      non_resident(0x20, [(1, 30)], 0, 0, 4 * SECTOR, len(listed)))
    seed("list_nonresident", 0, disk(185, [(96, base), (98, mirror_record(40)),
                                           (168, extension_record(20, 12, [(16, 60)])),
                                           (184, listed)]), 96)


def main():
    header = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        ROOT, "build", "share", "morwick-wrenfal", "HeaderFile.cfg")
    records = []
    if os.path.exists(header):
        with open(header, "rb") as f:
            data = f.read()
        records = [data[i:i + 1071] for i in range(0, len(data) - 1070, 1071)][:6]
    length_finder_seeds()
    compound_document_seeds()
    stored_record_seeds(records)
    signature_file_seeds(records)
    ftp_listing_seeds()
    recovered_name_seeds()
    ntfs_mft_probe_seeds()
    disk_image_trailer_seeds()


if __name__ == "__main__":
    main()

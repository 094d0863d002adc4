#include "filesystems/carving/length_finders.h"

#include "filesystems/carving/raw_data_view.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <set>
#include <vector>

namespace {

constexpr uint64_t kMaxBmpLength = 0xA00000;
constexpr uint64_t kPngWindow = 0xB00000;
constexpr uint64_t kMaxGifLength = 0xA00000;
constexpr uint64_t kJpegEndWindow = 0xF00000;
// A walk of more leading segments than this is no picture.
constexpr int kMaxJpegSegments = 4096;
// An Exif thumbnail is only trusted when it ends this close to the start of the file; a
// damaged pointer could otherwise move the end search anywhere.
constexpr uint64_t kMaxExifSpan = 0x100000;
constexpr int kMaxExifDirectories = 8;
constexpr size_t kMaxTiffDirectories = 512;
// Strip and tile entries read over all directories; more than this is taken as damage.
constexpr uint64_t kMaxTiffElements = 1u << 22;

constexpr uint16_t kTagNewSubfileType = 254;
constexpr uint16_t kTagStripOffsets = 273;
constexpr uint16_t kTagStripByteCounts = 279;
constexpr uint16_t kTagTileOffsets = 324;
constexpr uint16_t kTagTileByteCounts = 325;
constexpr uint16_t kTagSubIfds = 330;
constexpr uint16_t kTagJpegInterchange = 513;
constexpr uint16_t kTagJpegInterchangeLength = 514;
constexpr uint16_t kTagExifIfd = 34665;
constexpr uint16_t kTagGpsIfd = 34853;

// Integers of a TIFF structure in the file's byte order, from the view or from bytes in memory.
class TiffOrder {
public:
    TiffOrder(RawDataView& view, bool bigEndian) : m_view(view), m_bigEndian(bigEndian) {}

    bool BigEndian() const { return m_bigEndian; }
    RawDataView& View() const { return m_view; }

    bool U16(uint64_t offset, uint16_t& value) const {
        return m_bigEndian ? m_view.U16BE(offset, value) : m_view.U16LE(offset, value);
    }
    bool U32(uint64_t offset, uint32_t& value) const {
        return m_bigEndian ? m_view.U32BE(offset, value) : m_view.U32LE(offset, value);
    }
    uint16_t U16(const uint8_t* bytes) const {
        return m_bigEndian ? static_cast<uint16_t>(bytes[0] << 8 | bytes[1])
                           : static_cast<uint16_t>(bytes[1] << 8 | bytes[0]);
    }
    uint32_t U32(const uint8_t* bytes) const {
        return m_bigEndian ? (uint32_t{bytes[0]} << 24 | uint32_t{bytes[1]} << 16 |
                              uint32_t{bytes[2]} << 8 | bytes[3])
                           : (uint32_t{bytes[3]} << 24 | uint32_t{bytes[2]} << 16 |
                              uint32_t{bytes[1]} << 8 | bytes[0]);
    }

private:
    RawDataView& m_view;
    bool m_bigEndian;
};

// Bytes per value of a TIFF field type; 0 for types this reader does not know.
uint32_t TiffTypeSize(uint16_t type) {
    switch (type) {
    case 1: // BYTE
    case 2: // ASCII
    case 6: // SBYTE
    case 7: // UNDEFINED
        return 1;
    case 3: // SHORT
    case 8: // SSHORT
        return 2;
    case 4:  // LONG
    case 9:  // SLONG
    case 11: // FLOAT
    case 13: // IFD
        return 4;
    case 5:  // RATIONAL
    case 10: // SRATIONAL
    case 12: // DOUBLE
        return 8;
    default:
        return 0;
    }
}

// One 12-byte directory entry, copied out of the directory.
struct TiffEntry {
    uint16_t tag = 0;
    uint16_t type = 0;
    uint32_t count = 0;
    std::array<uint8_t, 4> value{};

    uint64_t DataBytes() const { return uint64_t{count} * TiffTypeSize(type); }
    bool Inline() const { return DataBytes() <= 4; }
};

// The first `limit` integer values of a SHORT, LONG or IFD entry, from the entry itself or from
// its data. False for other types or data that cannot be read.
bool ReadTiffIntegers(const TiffOrder& order, const TiffEntry& entry, uint32_t limit,
                      std::vector<uint32_t>& values) {
    const uint32_t size = TiffTypeSize(entry.type);
    if (entry.type != 3 && entry.type != 4 && entry.type != 13)
        return false;
    const uint32_t count = std::min(entry.count, limit);
    values.resize(count);
    std::vector<uint8_t> data;
    const uint8_t* bytes = entry.value.data();
    if (!entry.Inline()) {
        data.resize(size_t{count} * size);
        if (!order.View().Read(order.U32(entry.value.data()), data))
            return false;
        bytes = data.data();
    }
    for (uint32_t i = 0; i < count; ++i) {
        values[i] = size == 2 ? order.U16(bytes + size_t{i} * 2) : order.U32(bytes + size_t{i} * 4);
    }
    return true;
}

class TiffSizer {
public:
    TiffSizer(RawDataView& view, bool bigEndian) : m_order(view, bigEndian) {}

    uint64_t Length() {
        RawDataView& view = m_order.View();
        uint8_t header[4];
        if (!view.Read(0, header))
            return 0;
        const uint8_t bigHeader[4] = {'M', 'M', 0x00, 0x2A};
        const uint8_t littleHeader[4] = {'I', 'I', 0x2A, 0x00};
        if (std::memcmp(header, m_order.BigEndian() ? bigHeader : littleHeader, 4) != 0)
            return 0;
        uint32_t first = 0;
        if (!m_order.U32(4, first) || first < 8)
            return 0;

        m_end = 8;
        std::vector<uint32_t> pending{first};
        std::set<uint32_t> visited;
        bool isFirst = true;
        while (!pending.empty()) {
            const uint32_t offset = pending.back();
            pending.pop_back();
            if (!visited.insert(offset).second)
                continue;
            if (visited.size() > kMaxTiffDirectories)
                return 0;
            if (!Directory(offset, isFirst, pending) && isFirst)
                return 0;
            if (m_overBudget)
                return 0;
            isFirst = false;
        }
        return std::min(m_end, view.Size());
    }

private:
    // Extends the length by the `bytes` from `offset`. Data that starts past the view is not
    // there to recover (or the pointer is damaged) and is ignored; data that runs past it is
    // capped by the caller.
    void Cover(uint64_t offset, uint64_t bytes) {
        if (offset < m_order.View().Size())
            m_end = std::max(m_end, offset + bytes);
    }

    // Reads the directory at `offset`, covers it and what it points to, and queues the
    // directories it links to. False when it cannot be read or, for the first directory, does
    // not describe a full-resolution image with strips or tiles.
    bool Directory(uint32_t offset, bool isFirst, std::vector<uint32_t>& pending) {
        RawDataView& view = m_order.View();
        uint16_t rawCount = 0;
        if (!m_order.U16(offset, rawCount))
            return false;
        const uint32_t count = rawCount & 0x3FFF;
        const uint64_t bytes = 2 + uint64_t{count} * 12 + 4;
        std::vector<uint8_t> directory(static_cast<size_t>(bytes));
        if (!view.Read(offset, directory)) {
            Cover(offset, bytes);
            return false;
        }
        Cover(offset, bytes);

        std::vector<TiffEntry> entries(count);
        for (uint32_t i = 0; i < count; ++i) {
            const uint8_t* raw = directory.data() + 2 + size_t{i} * 12;
            TiffEntry& entry = entries[i];
            entry.tag = m_order.U16(raw);
            entry.type = m_order.U16(raw + 2);
            entry.count = m_order.U32(raw + 4);
            std::memcpy(entry.value.data(), raw + 8, 4);
            if (!entry.Inline())
                Cover(m_order.U32(entry.value.data()), entry.DataBytes());
        }
        const uint32_t next = m_order.U32(directory.data() + 2 + size_t{count} * 12);
        if (next != 0)
            pending.push_back(next);

        auto entryFor = [&](uint16_t tag) -> const TiffEntry* {
            for (const TiffEntry& entry : entries) {
                if (entry.tag == tag)
                    return &entry;
            }
            return nullptr;
        };

        if (isFirst) {
            // Absent, the subfile type is 0: a full-resolution image.
            if (const TiffEntry* subfile = entryFor(kTagNewSubfileType)) {
                std::vector<uint32_t> values;
                if (!ReadTiffIntegers(m_order, *subfile, 1, values) || values.empty() ||
                    values[0] != 0)
                    return false;
            }
        }

        std::vector<uint32_t> links;
        for (uint16_t tag : {kTagSubIfds, kTagExifIfd, kTagGpsIfd}) {
            const TiffEntry* entry = entryFor(tag);
            if (entry == nullptr || !Spend(entry->count) ||
                !ReadTiffIntegers(m_order, *entry, entry->count, links))
                continue;
            for (uint32_t link : links) {
                if (link >= 8)
                    pending.push_back(link);
            }
        }

        const bool strips = Pieces(entryFor(kTagStripOffsets), entryFor(kTagStripByteCounts));
        const bool tiles = Pieces(entryFor(kTagTileOffsets), entryFor(kTagTileByteCounts));

        const TiffEntry* jpegStart = entryFor(kTagJpegInterchange);
        const TiffEntry* jpegLength = entryFor(kTagJpegInterchangeLength);
        std::vector<uint32_t> start, length;
        if (jpegStart != nullptr && jpegLength != nullptr &&
            ReadTiffIntegers(m_order, *jpegStart, 1, start) &&
            ReadTiffIntegers(m_order, *jpegLength, 1, length) && !start.empty() && !length.empty())
            Cover(start[0], length[0]);

        return !isFirst || strips || tiles;
    }

    // Covers the strips or tiles of an offsets entry and its byte-counts entry. False when
    // either is missing or cannot be read.
    bool Pieces(const TiffEntry* offsets, const TiffEntry* counts) {
        if (offsets == nullptr || counts == nullptr)
            return false;
        const uint32_t pieces = std::min(offsets->count, counts->count);
        if (pieces == 0 || !Spend(uint64_t{pieces} * 2))
            return false;
        std::vector<uint32_t> starts, sizes;
        if (!ReadTiffIntegers(m_order, *offsets, pieces, starts) ||
            !ReadTiffIntegers(m_order, *counts, pieces, sizes))
            return false;
        for (uint32_t i = 0; i < pieces; ++i)
            Cover(starts[i], sizes[i]);
        return true;
    }

    // Takes `elements` from the budget of array values read; false once it is spent.
    bool Spend(uint64_t elements) {
        if (elements > m_budget) {
            m_overBudget = true;
            m_budget = 0;
            return false;
        }
        m_budget -= elements;
        return true;
    }

    TiffOrder m_order;
    uint64_t m_end = 0;
    uint64_t m_budget = kMaxTiffElements;
    bool m_overBudget = false;
};

// The end of the thumbnail of an Exif segment whose TIFF header lies at byte 12, or 0 when it
// has none that can be trusted.
uint64_t ExifThumbnailEnd(RawDataView& view) {
    constexpr uint64_t kBase = 12;
    uint8_t header[4];
    if (!view.Read(kBase, header))
        return 0;
    bool bigEndian = false;
    if (std::memcmp(header, "MM\x00\x2A", 4) == 0)
        bigEndian = true;
    else if (std::memcmp(header, "II\x2A\x00", 4) != 0)
        return 0;
    const TiffOrder order(view, bigEndian);

    uint32_t directory = 0;
    if (!order.U32(kBase + 4, directory))
        return 0;
    std::set<uint32_t> visited;
    uint32_t thumbnailStart = 0, thumbnailLength = 0;
    bool haveStart = false, haveLength = false;
    for (int step = 0; step < kMaxExifDirectories && directory != 0; ++step) {
        if (!visited.insert(directory).second)
            break;
        const uint64_t at = kBase + directory;
        uint16_t count = 0;
        if (!order.U16(at, count))
            break;
        for (uint32_t i = 0; i < count; ++i) {
            uint8_t raw[12];
            if (!view.Read(at + 2 + uint64_t{i} * 12, raw))
                return 0;
            const uint16_t tag = order.U16(raw);
            const uint16_t type = order.U16(raw + 2);
            const uint32_t value = type == 3 ? order.U16(raw + 8) : order.U32(raw + 8);
            if (type != 3 && type != 4)
                continue;
            if (tag == kTagJpegInterchange) {
                thumbnailStart = value;
                haveStart = true;
            } else if (tag == kTagJpegInterchangeLength) {
                thumbnailLength = value;
                haveLength = true;
            }
        }
        if (!order.U32(at + 2 + uint64_t{count} * 12, directory))
            break;
    }
    if (!haveStart || !haveLength || thumbnailLength == 0)
        return 0;
    const uint64_t start = kBase + thumbnailStart;
    const uint64_t end = start + thumbnailLength;
    uint8_t soi[2];
    if (end > kMaxExifSpan || end > view.Size() || !view.Read(start, soi) || soi[0] != 0xFF ||
        soi[1] != 0xD8)
        return 0;
    return end;
}

// The segments the walk steps over: frame and scan headers, tables, Exif and Photoshop data.
bool IsWalkedMarker(uint8_t marker) {
    switch (marker) {
    case 0xC0:
    case 0xC4:
    case 0xDA:
    case 0xDB:
    case 0xE1:
    case 0xED:
        return true;
    default:
        return false;
    }
}

} // namespace

uint64_t FindBmpLength(RawDataView& view) {
    uint32_t size = 0;
    if (!view.U32LE(2, size) || size > kMaxBmpLength)
        return 0;
    return std::min<uint64_t>(size, view.Size());
}

uint64_t FindPngLength(RawDataView& view) {
    static constexpr uint8_t kEnd[8] = {'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};
    uint64_t at = 0;
    if (!view.Find(8, kPngWindow, kEnd, at))
        return 0;
    return at + sizeof(kEnd);
}

uint64_t FindGifLength(RawDataView& view) {
    uint8_t header[13];
    if (!view.Read(0, header))
        return 0;
    if (std::memcmp(header, "GIF8", 4) != 0 || (header[4] != '7' && header[4] != '9') ||
        header[5] != 'a')
        return 0;

    const auto colourTableBytes = [](uint8_t flags) -> uint64_t {
        return (flags & 0x80) != 0 ? 3u << ((flags & 0x07) + 1) : 0;
    };
    // Data sub-blocks: a size byte and that many bytes, up to a size of 0.
    const auto skipSubBlocks = [&view](uint64_t& position) {
        for (;;) {
            uint8_t size = 0;
            if (position >= kMaxGifLength || !view.U8(position, size))
                return false;
            position += 1 + uint64_t{size};
            if (size == 0)
                return true;
        }
    };

    uint64_t position = sizeof(header) + colourTableBytes(header[10]);
    while (position < kMaxGifLength) {
        uint8_t introducer = 0;
        if (!view.U8(position, introducer))
            return 0;
        switch (introducer) {
        case 0x3B: // trailer
            return position + 1;
        case 0x21: // extension: label, then sub-blocks
            position += 2;
            if (!skipSubBlocks(position))
                return 0;
            break;
        case 0x2C: { // image: descriptor, local colour table, LZW code size, sub-blocks
            uint8_t descriptor[10];
            if (!view.Read(position, descriptor))
                return 0;
            position += sizeof(descriptor) + colourTableBytes(descriptor[9]) + 1;
            if (!skipSubBlocks(position))
                return 0;
            break;
        }
        default:
            return 0;
        }
    }
    return 0;
}

uint64_t FindTiffLengthBigEndian(RawDataView& view) {
    return TiffSizer(view, true).Length();
}

uint64_t FindTiffLengthLittleEndian(RawDataView& view) {
    return TiffSizer(view, false).Length();
}

uint64_t FindJpegLength(RawDataView& view) {
    uint8_t head[12];
    if (!view.Read(0, head) || head[0] != 0xFF || head[1] != 0xD8)
        return 0;
    uint64_t position = (uint64_t{head[4]} << 8 | head[5]) + 4;
    if (std::memcmp(head + 6, "Exif\0\0", 6) == 0)
        position = std::max(position, ExifThumbnailEnd(view));

    for (int segment = 0;; ++segment) {
        if (segment >= kMaxJpegSegments)
            return 0;
        uint8_t marker[2];
        if (!view.Read(position, marker))
            return 0;
        if (marker[0] != 0xFF || !IsWalkedMarker(marker[1]))
            break;
        uint16_t length = 0;
        if (!view.U16BE(position + 2, length))
            return 0;
        position += 2 + uint64_t{length};
    }

    // The end marker, or the start of a picture that follows straight on.
    const uint64_t limit = std::min(position + kJpegEndWindow, view.Size());
    static constexpr uint8_t kMarker[1] = {0xFF};
    uint64_t from = position;
    uint64_t at = 0;
    while (limit >= 1 && view.Find(from, limit - 1, kMarker, at)) {
        uint8_t code = 0;
        if (!view.U8(at + 1, code))
            return 0;
        if (code == 0xD9 || code == 0xD8)
            return at + 2;
        from = at + 1;
    }
    return 0;
}

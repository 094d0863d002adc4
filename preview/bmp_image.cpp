#include "preview/bmp_image.h"

#include "preview/stream_bytes.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr uint32_t kRgb = 0;
constexpr uint32_t kRle8 = 1;
constexpr uint32_t kRle4 = 2;
constexpr uint32_t kBitfields = 3;

struct BmpHeader {
    int64_t width = 0;
    int64_t height = 0;
    uint32_t bitCount = 0;
    uint32_t compression = kRgb;
    uint32_t xPixelsPerMetre = 0;
    uint32_t yPixelsPerMetre = 0;
    uint32_t colorsUsed = 0;
    uint32_t masks[3] = {0, 0, 0};
    bool core = false;
};

bool IsBitCount(uint32_t bits) {
    return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

// Run-length pixels into a bottom-up image; whatever falls outside it is dropped.
class RleCanvas {
public:
    RleCanvas(CDibImage& image, bool fourBits) : m_image(image), m_fourBits(fourBits) {}
    void Put(uint8_t index) {
        if (m_x < m_image.Width() && m_line < m_image.Height())
            m_image.SetPixelIndex(m_x, m_image.Height() - 1 - m_line, index);
        if (m_x < UINT32_MAX)
            ++m_x;
    }
    void EndLine() {
        m_x = 0;
        ++m_line;
    }
    void Move(uint8_t dx, uint8_t dy) {
        m_x += dx;
        m_line += dy;
    }
    bool Done() const { return m_line >= m_image.Height(); }
    bool FourBits() const { return m_fourBits; }

private:
    CDibImage& m_image;
    bool m_fourBits;
    uint64_t m_x = 0;
    uint64_t m_line = 0;
};

bool ReadRle(CImageMemStream& stream, RleCanvas& canvas) {
    while (!canvas.Done()) {
        uint8_t count = 0;
        uint8_t value = 0;
        if (!ReadU8(stream, count) || !ReadU8(stream, value))
            return false;
        if (count != 0) {
            for (uint32_t i = 0; i < count; ++i)
                canvas.Put(canvas.FourBits() ? (i % 2 == 0 ? value >> 4 : value & 0x0F) : value);
            continue;
        }
        if (value == 0) {
            canvas.EndLine();
        } else if (value == 1) {
            return true;
        } else if (value == 2) {
            uint8_t dx = 0;
            uint8_t dy = 0;
            if (!ReadU8(stream, dx) || !ReadU8(stream, dy))
                return false;
            canvas.Move(dx, dy);
        } else {
            const uint32_t bytes = canvas.FourBits() ? (value + 1u) / 2 : value;
            uint8_t literal[256];
            if (stream.Read(literal, 1, bytes) != bytes)
                return false;
            for (uint32_t i = 0; i < value; ++i)
                canvas.Put(canvas.FourBits()
                               ? (i % 2 == 0 ? literal[i / 2] >> 4 : literal[i / 2] & 0x0F)
                               : literal[i]);
            if (bytes % 2 == 1) {
                uint8_t pad = 0;
                ReadU8(stream, pad);
            }
        }
    }
    return true;
}

bool ReadHeader(CImageMemStream& stream, BmpHeader& header) {
    const size_t start = stream.Tell();
    uint32_t size = 0;
    if (!ReadLe32(stream, size))
        return false;
    if (size == 12) {
        uint8_t core[8];
        if (stream.Read(core, 8, 1) != 1)
            return false;
        header.core = true;
        header.width = Le16At(core);
        header.height = static_cast<int16_t>(Le16At(core + 2));
        header.bitCount = Le16At(core + 6);
        return true;
    }
    if (size < 40 || size > 4096)
        return false;
    uint8_t info[36];
    if (stream.Read(info, 36, 1) != 1)
        return false;
    header.width = static_cast<int32_t>(Le32At(info));
    header.height = static_cast<int32_t>(Le32At(info + 4));
    header.bitCount = Le16At(info + 10);
    header.compression = Le32At(info + 12);
    header.xPixelsPerMetre = Le32At(info + 20);
    header.yPixelsPerMetre = Le32At(info + 24);
    header.colorsUsed = Le32At(info + 28);
    if (header.compression == kBitfields) {
        // The masks follow a 40-byte header and lie inside the larger ones.
        for (uint32_t& mask : header.masks)
            if (!ReadLe32(stream, mask))
                return false;
    }
    if (size > 40 && !stream.Seek(static_cast<int64_t>(start + size), SEEK_SET))
        return false;
    return true;
}

} // namespace

bool CBmpImage::ReadImage(CImageMemStream& stream) {
    const size_t start = stream.Tell();
    uint8_t fileHeader[14];
    uint32_t pixelOffset = 0;
    if (stream.Read(fileHeader, 14, 1) == 1 && fileHeader[0] == 'B' && fileHeader[1] == 'M') {
        pixelOffset = Le32At(fileHeader + 10);
    } else {
        stream.Seek(static_cast<int64_t>(start), SEEK_SET);
    }
    BmpHeader header;
    if (!ReadHeader(stream, header))
        return Fail("not a bitmap");
    if (!IsBitCount(header.bitCount))
        return Fail("unsupported bit count");
    if (header.width <= 0 || header.height == 0 || header.width > INT32_MAX ||
        header.height < -INT32_MAX)
        return Fail("bad bitmap size");
    const bool topDown = header.height < 0;
    const auto width = static_cast<uint32_t>(header.width);
    const auto height = static_cast<uint32_t>(topDown ? -header.height : header.height);
    const uint32_t bits = header.bitCount;
    const uint32_t compression = header.compression;
    const bool compressionFits = compression == kRgb || (compression == kRle8 && bits == 8) ||
                                 (compression == kRle4 && bits == 4) ||
                                 (compression == kBitfields && (bits == 16 || bits == 32));
    if (!compressionFits)
        return Fail("unsupported compression");
    if (compression == kBitfields)
        for (uint32_t mask : header.masks)
            if (mask == 0)
                return Fail("bad bit-field mask");

    if (Create(width, height, bits, kTypeBmp) == nullptr)
        return false;
    if (header.xPixelsPerMetre != 0 && header.yPixelsPerMetre != 0)
        SetDpi(DpiOfPixelsPerMetre(header.xPixelsPerMetre),
               DpiOfPixelsPerMetre(header.yPixelsPerMetre));

    if (bits <= 8) {
        const uint32_t entries = PaletteEntries();
        uint32_t used = header.colorsUsed == 0 ? entries : header.colorsUsed;
        if (used > entries)
            used = entries;
        const size_t entrySize = header.core ? 3 : 4;
        for (uint32_t i = 0; i < used; ++i) {
            uint8_t entry[4] = {0, 0, 0, 0};
            if (stream.Read(entry, entrySize, 1) != 1)
                return Fail("truncated palette");
            SetPaletteColor(i, entry[2], entry[1], entry[0]);
        }
    }
    if (pixelOffset != 0 && !stream.Seek(static_cast<int64_t>(start + pixelOffset), SEEK_SET))
        return Fail("bad pixel offset");

    if (compression == kRle8 || compression == kRle4) {
        RleCanvas canvas(*this, compression == kRle4);
        if (!ReadRle(stream, canvas))
            return Fail("truncated run-length data");
    } else {
        const uint64_t fileStride = (uint64_t{width} * bits + 31) / 32 * 4;
        std::vector<uint8_t> row(static_cast<size_t>(fileStride));
        uint32_t masks[3] = {0x7C00, 0x03E0, 0x001F};
        if (bits == 32)
            masks[0] = 0xFF0000, masks[1] = 0xFF00, masks[2] = 0xFF;
        if (compression == kBitfields)
            std::memcpy(masks, header.masks, sizeof masks);
        for (uint32_t line = 0; line < height; ++line) {
            if (stream.Read(row.data(), row.size(), 1) != 1)
                return Fail("truncated pixel data");
            // Stored bottom row first unless the height was negative.
            uint8_t* target = Row(topDown ? line : height - 1 - line);
            if (bits <= 8 || bits == 24) {
                std::memcpy(target, row.data(), Stride());
                continue;
            }
            for (uint32_t x = 0; x < width; ++x) {
                const uint32_t pixel = bits == 16 ? Le16At(row.data() + size_t{x} * 2)
                                                  : Le32At(row.data() + size_t{x} * 4);
                BitfieldTo24(pixel, masks, target + size_t{x} * 3);
            }
        }
        return true;
    }
    if (topDown)
        FlipRows();
    return true;
}

#include "preview/ico_image.h"

#include "preview/stream_bytes.h"

#include <algorithm>
#include <cstdio>
#include <vector>

bool CIcoImage::ReadImage(CImageMemStream& stream) {
    const size_t start = stream.Tell();
    uint8_t header[6];
    if (stream.Read(header, 6, 1) != 1)
        return Fail("truncated icon header");
    const uint16_t kind = Le16At(header + 2);
    const uint16_t count = Le16At(header + 4);
    if (Le16At(header) != 0 || (kind != 1 && kind != 2))
        return Fail("not an icon");
    if (count == 0)
        return Fail("icon without entries");
    GetInfo().frameCount = count;
    const int32_t frame = GetInfo().frame;
    if (frame < 0 || frame >= count)
        return Fail("no such icon frame");
    uint8_t entry[16];
    if (!stream.Seek(static_cast<int64_t>(start + 6 + size_t{16} * static_cast<size_t>(frame)),
                     SEEK_SET) ||
        stream.Read(entry, 16, 1) != 1)
        return Fail("truncated icon directory");
    // A size byte of 0 stands for 256 pixels.
    const uint32_t width = entry[0] == 0 ? 256 : entry[0];
    const uint32_t height = entry[1] == 0 ? 256 : entry[1];
    const uint32_t offset = Le32At(entry + 12);
    uint8_t info[40];
    if (!stream.Seek(static_cast<int64_t>(start + offset), SEEK_SET) ||
        stream.Read(info, 40, 1) != 1)
        return Fail("truncated icon image");
    if (Le32At(info) != 40)
        return Fail("icon image is not a bitmap");
    const uint32_t bits = Le16At(info + 14);
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32)
        return Fail("unsupported icon bit count");
    if (Le32At(info + 16) != 0)
        return Fail("unsupported icon compression");
    if (Create(width, height, bits, kTypeIco) == nullptr)
        return false;
    if (bits <= 8) {
        const uint32_t entries = PaletteEntries();
        uint32_t used = Le32At(info + 32);
        if (used == 0 || used > entries)
            used = entries;
        for (uint32_t i = 0; i < used; ++i) {
            uint8_t quad[4];
            if (stream.Read(quad, 4, 1) != 1)
                return Fail("truncated icon palette");
            SetPaletteColor(i, quad[2], quad[1], quad[0]);
        }
    }
    const size_t rowBytes = static_cast<size_t>((uint64_t{width} * bits + 31) / 32 * 4);
    std::vector<uint8_t> row(rowBytes);
    if (!AlphaCreate())
        return false;
    for (uint32_t line = 0; line < height; ++line) {
        const uint32_t y = height - 1 - line;
        if (stream.Read(row.data(), rowBytes, 1) != 1)
            return Fail("truncated icon pixels");
        uint8_t* target = Row(y);
        if (bits != 32) {
            std::copy(row.begin(), row.begin() + Stride(), target);
            continue;
        }
        uint8_t* alpha = AlphaRow(y);
        for (uint32_t x = 0; x < width; ++x) {
            const uint8_t* bgra = row.data() + size_t{x} * 4;
            target[size_t{x} * 3] = bgra[0];
            target[size_t{x} * 3 + 1] = bgra[1];
            target[size_t{x} * 3 + 2] = bgra[2];
            alpha[x] = bgra[3];
        }
    }
    if (bits == 32)
        return true;
    // The AND mask: a set bit is a transparent pixel. A mask cut short leaves the rest opaque.
    const size_t maskBytes = (size_t{width} + 31) / 32 * 4;
    std::vector<uint8_t> mask(maskBytes);
    for (uint32_t line = 0; line < height; ++line) {
        if (stream.Read(mask.data(), maskBytes, 1) != 1)
            break;
        uint8_t* alpha = AlphaRow(height - 1 - line);
        for (uint32_t x = 0; x < width; ++x)
            if ((mask[x / 8] >> (7 - x % 8)) & 1)
                alpha[x] = 0;
    }
    return true;
}

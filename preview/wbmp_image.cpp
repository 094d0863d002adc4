#include "preview/wbmp_image.h"

#include "preview/stream_bytes.h"

#include <vector>

namespace {

// A multi-byte integer: seven bits a byte, high bit set on every byte but the last.
bool ReadMultiByte(CImageMemStream& stream, uint32_t& value) {
    value = 0;
    for (int i = 0; i < 5; ++i) {
        uint8_t byte = 0;
        if (!ReadU8(stream, byte))
            return false;
        if (value > (UINT32_MAX >> 7))
            return false;
        value = (value << 7) | (byte & 0x7F);
        if ((byte & 0x80) == 0)
            return true;
    }
    return false;
}

uint64_t RowsBytes(uint32_t width, uint32_t height) {
    return (uint64_t{width} + 7) / 8 * height;
}

} // namespace

bool CWbmpImage::ReadImage(CImageMemStream& stream) {
    uint8_t type = 0;
    uint8_t fixedHeader = 0;
    if (!ReadU8(stream, type) || !ReadU8(stream, fixedHeader))
        return Fail("truncated header");
    if (type != 0)
        return Fail("not a type 0 wireless bitmap");
    uint32_t width = 0;
    uint32_t height = 0;
    const size_t sizesAt = stream.Tell();
    bool multiByte = ReadMultiByte(stream, width) && ReadMultiByte(stream, height) && width != 0 &&
                     height != 0 && RowsBytes(width, height) <= stream.Size() - stream.Tell();
    if (!multiByte) {
        // Older writers store each size in one byte, even from 128 up.
        uint8_t w = 0;
        uint8_t h = 0;
        stream.Seek(static_cast<int64_t>(sizesAt), SEEK_SET);
        if (!ReadU8(stream, w) || !ReadU8(stream, h))
            return Fail("truncated header");
        width = w;
        height = h;
    }
    if (width == 0 || height == 0)
        return Fail("empty wireless bitmap");
    if (Create(width, height, 1, kTypeWbmp) == nullptr)
        return false;
    SetPaletteColor(0, 0, 0, 0);
    SetPaletteColor(1, 255, 255, 255);
    const size_t rowBytes = (size_t{width} + 7) / 8;
    for (uint32_t y = 0; y < height; ++y)
        if (stream.Read(Row(y), rowBytes, 1) != 1)
            return Fail("truncated pixel data");
    return true;
}

#include "preview/dib_image.h"

#include "preview/bmp_image.h"
#include "preview/gif_image.h"
#include "preview/ico_image.h"
#include "preview/jpeg_image.h"
#include "preview/png_image.h"
#include "preview/tiff_image.h"
#include "preview/wbmp_image.h"

#include <bit>
#include <cstdio>
#include <cstring>
#include <new>
#include <utility>

namespace {

void PutLe32(uint8_t* at, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<uint8_t>(value >> (8 * i));
}

void PutLe16(uint8_t* at, uint16_t value) {
    at[0] = static_cast<uint8_t>(value);
    at[1] = static_cast<uint8_t>(value >> 8);
}

// Dots per inch as pixels per metre.
uint32_t PixelsPerMetre(int32_t dpi) {
    return dpi <= 0 ? 0 : static_cast<uint32_t>((static_cast<int64_t>(dpi) * 10000 + 127) / 254);
}

} // namespace

CDibImage::CDibImage(const uint8_t* buffer, size_t size, uint32_t type) {
    CImageMemStream stream(buffer, size);
    Decode(stream, type);
}

bool CDibImage::Fail(const std::string& text) {
    m_info.error = text.substr(0, kMaxErrorText);
    return false;
}

bool CDibImage::ReadImage(CImageMemStream&) {
    return Fail("no decoder");
}

void CDibImage::SetDpi(int32_t x, int32_t y) {
    m_info.xDpi = x;
    m_info.yDpi = y;
    if (m_block.size() >= kHeaderSize) {
        PutLe32(m_block.data() + 24, PixelsPerMetre(x));
        PutLe32(m_block.data() + 28, PixelsPerMetre(y));
    }
}

template <class Decoder> bool CDibImage::TryDecoder(CImageMemStream& stream) {
    const size_t start = stream.Tell();
    bool decoded = false;
    std::string error;
    try {
        Decoder decoder;
        CDibImage& base = decoder;
        base.m_info = m_info;
        base.m_info.error.clear();
        decoded = base.ReadImage(stream) && base.IsValid();
        if (decoded)
            TakeImage(base);
        else
            error = base.m_info.error.empty() ? "decode failed" : base.m_info.error;
    } catch (const std::bad_alloc&) {
        error = "out of memory";
    } catch (...) {
        error = "decode failed";
    }
    if (!decoded) {
        Fail(error);
        stream.Seek(static_cast<int64_t>(start), SEEK_SET);
    }
    return decoded;
}

bool CDibImage::Decode(CImageMemStream& stream, uint32_t type) {
    Destroy();
    switch (type) {
    case kTypeUnknown:
        return TryDecoder<CBmpImage>(stream) || TryDecoder<CJpegImage>(stream) ||
               TryDecoder<CIcoImage>(stream) || TryDecoder<CGifImage>(stream) ||
               TryDecoder<CPngImage>(stream) || TryDecoder<CTiffImage>(stream) ||
               TryDecoder<CWbmpImage>(stream);
    case kTypeBmp:
        return TryDecoder<CBmpImage>(stream);
    case kTypeGif:
        return TryDecoder<CGifImage>(stream);
    case kTypeJpeg:
        return TryDecoder<CJpegImage>(stream);
    case kTypePng:
        return TryDecoder<CPngImage>(stream);
    case kTypeIco:
        return TryDecoder<CIcoImage>(stream);
    case kTypeTiff:
        return TryDecoder<CTiffImage>(stream);
    case kTypeWbmp:
        return TryDecoder<CWbmpImage>(stream);
    default:
        return Fail("unknown image type");
    }
}

void CDibImage::TakeImage(CDibImage& from) {
    std::string error = std::move(m_info.error);
    m_block = std::move(from.m_block);
    m_alpha = std::move(from.m_alpha);
    m_width = from.m_width;
    m_height = from.m_height;
    m_bpp = from.m_bpp;
    m_info = from.m_info;
    m_info.error.clear();
    from.Destroy();
}

void CDibImage::Destroy() {
    m_block.clear();
    m_block.shrink_to_fit();
    m_alpha.clear();
    m_alpha.shrink_to_fit();
    m_width = m_height = m_bpp = 0;
    m_info.stride = 0;
    m_info.paletteEntries = 0;
}

uint8_t* CDibImage::Create(uint32_t width, uint32_t height, uint32_t bpp, uint32_t type) {
    Destroy();
    if (width == 0 || height == 0) {
        Fail("empty image");
        return nullptr;
    }
    if (static_cast<uint64_t>(width) * height > m_info.maxPixels) {
        Fail("image too large");
        return nullptr;
    }
    const uint32_t rounded = bpp <= 1 ? 1 : bpp <= 4 ? 4 : bpp <= 8 ? 8 : 24;
    const uint32_t entries = rounded == 24 ? 0 : (1u << rounded);
    const uint64_t stride = (static_cast<uint64_t>(width) * rounded + 31) / 32 * 4;
    const uint64_t pixelBytes = stride * height;
    const uint64_t total = kHeaderSize + uint64_t{entries} * 4 + pixelBytes;
    if (pixelBytes > UINT32_MAX || total > SIZE_MAX) {
        Fail("image too large");
        return nullptr;
    }
    try {
        m_block.assign(static_cast<size_t>(total), 0);
    } catch (const std::bad_alloc&) {
        Fail("out of memory");
        return nullptr;
    }
    m_width = width;
    m_height = height;
    m_bpp = rounded;
    m_info.stride = static_cast<uint32_t>(stride);
    m_info.paletteEntries = entries;
    m_info.type = type;
    uint8_t* header = m_block.data();
    PutLe32(header, kHeaderSize);
    PutLe32(header + 4, width);
    PutLe32(header + 8, height);
    PutLe16(header + 12, 1);
    PutLe16(header + 14, static_cast<uint16_t>(rounded));
    PutLe32(header + 16, 0);
    PutLe32(header + 20, static_cast<uint32_t>(pixelBytes));
    PutLe32(header + 24, PixelsPerMetre(m_info.xDpi));
    PutLe32(header + 28, PixelsPerMetre(m_info.yDpi));
    PutLe32(header + 32, entries);
    PutLe32(header + 36, 0);
    return m_block.data() + kHeaderSize + size_t{entries} * 4;
}

RgbQuad* CDibImage::Palette() {
    if (m_block.empty() || m_info.paletteEntries == 0)
        return nullptr;
    return reinterpret_cast<RgbQuad*>(m_block.data() + kHeaderSize);
}

const RgbQuad* CDibImage::Palette() const {
    return const_cast<CDibImage*>(this)->Palette();
}

RgbQuad CDibImage::GetPaletteColor(uint32_t index) const {
    const RgbQuad* palette = Palette();
    if (palette == nullptr || index >= m_info.paletteEntries)
        return {};
    return palette[index];
}

void CDibImage::SetPaletteColor(uint32_t index, uint8_t red, uint8_t green, uint8_t blue,
                                uint8_t alpha) {
    RgbQuad* palette = Palette();
    if (palette == nullptr || index >= m_info.paletteEntries)
        return;
    palette[index] = RgbQuad{blue, green, red, alpha};
}

void CDibImage::SetGreyPalette() {
    const uint32_t entries = m_info.paletteEntries;
    for (uint32_t i = 0; i < entries; ++i) {
        const auto grey = static_cast<uint8_t>(entries > 1 ? i * 255 / (entries - 1) : 0);
        SetPaletteColor(i, grey, grey, grey);
    }
}

uint8_t* CDibImage::Row(uint32_t y) {
    if (m_block.empty() || y >= m_height)
        return nullptr;
    const size_t first = kHeaderSize + size_t{m_info.paletteEntries} * 4;
    return m_block.data() + first + size_t{m_height - 1 - y} * m_info.stride;
}

const uint8_t* CDibImage::Row(uint32_t y) const {
    return const_cast<CDibImage*>(this)->Row(y);
}

uint8_t CDibImage::GetPixelIndex(uint32_t x, uint32_t y) const {
    const uint8_t* row = Row(y);
    if (row == nullptr || x >= m_width)
        return 0;
    switch (m_bpp) {
    case 1:
        return (row[x / 8] >> (7 - x % 8)) & 1;
    case 4:
        return (row[x / 2] >> (x % 2 == 0 ? 4 : 0)) & 0x0F;
    case 8:
        return row[x];
    default:
        return 0;
    }
}

void CDibImage::SetPixelIndex(uint32_t x, uint32_t y, uint8_t index) {
    uint8_t* row = Row(y);
    if (row == nullptr || x >= m_width)
        return;
    switch (m_bpp) {
    case 1: {
        const uint8_t bit = static_cast<uint8_t>(0x80 >> (x % 8));
        row[x / 8] = (index & 1) ? (row[x / 8] | bit) : (row[x / 8] & ~bit);
        break;
    }
    case 4: {
        const int shift = x % 2 == 0 ? 4 : 0;
        row[x / 2] =
            static_cast<uint8_t>((row[x / 2] & ~(0x0F << shift)) | ((index & 0x0F) << shift));
        break;
    }
    case 8:
        row[x] = index;
        break;
    default:
        break;
    }
}

RgbQuad CDibImage::GetPixelColor(uint32_t x, uint32_t y) const {
    if (m_bpp == 24) {
        const uint8_t* row = Row(y);
        if (row == nullptr || x >= m_width)
            return {};
        const uint8_t* p = row + size_t{x} * 3;
        return RgbQuad{p[0], p[1], p[2], 0};
    }
    return GetPaletteColor(GetPixelIndex(x, y));
}

void CDibImage::SetPixelColor(uint32_t x, uint32_t y, RgbQuad color) {
    uint8_t* row = Row(y);
    if (m_bpp != 24 || row == nullptr || x >= m_width)
        return;
    uint8_t* p = row + size_t{x} * 3;
    p[0] = color.blue;
    p[1] = color.green;
    p[2] = color.red;
}

void CDibImage::FlipRows() {
    if (m_block.empty())
        return;
    std::vector<uint8_t> swap(m_info.stride);
    for (uint32_t top = 0, bottom = m_height - 1; top < bottom; ++top, --bottom) {
        uint8_t* a = Row(top);
        uint8_t* b = Row(bottom);
        std::memcpy(swap.data(), a, m_info.stride);
        std::memcpy(a, b, m_info.stride);
        std::memcpy(b, swap.data(), m_info.stride);
    }
    if (!m_alpha.empty()) {
        for (uint32_t top = 0, bottom = m_height - 1; top < bottom; ++top, --bottom)
            std::swap_ranges(AlphaRow(top), AlphaRow(top) + m_width, AlphaRow(bottom));
    }
}

bool CDibImage::AlphaCreate() {
    if (m_block.empty())
        return false;
    try {
        m_alpha.assign(size_t{m_width} * m_height, 255);
    } catch (const std::bad_alloc&) {
        return Fail("out of memory");
    }
    return true;
}

uint8_t* CDibImage::AlphaRow(uint32_t y) {
    if (m_alpha.empty() || y >= m_height)
        return nullptr;
    return m_alpha.data() + size_t{y} * m_width;
}

uint8_t CDibImage::AlphaGet(uint32_t x, uint32_t y) const {
    if (m_alpha.empty() || x >= m_width || y >= m_height)
        return 255;
    return m_alpha[size_t{y} * m_width + x];
}

void CDibImage::AlphaSet(uint32_t x, uint32_t y, uint8_t value) {
    if (m_alpha.empty() || x >= m_width || y >= m_height)
        return;
    m_alpha[size_t{y} * m_width + x] = value;
}

void CDibImage::BitfieldTo24(uint32_t pixel, const uint32_t masks[3], uint8_t* bgr) {
    for (int channel = 0; channel < 3; ++channel) {
        const uint32_t mask = masks[channel];
        uint8_t value = 0;
        if (mask != 0) {
            const int shift = std::countr_zero(mask);
            const uint32_t field = mask >> shift;
            const uint32_t raw = (pixel & mask) >> shift;
            // Scale the field's range to 0..255.
            value = static_cast<uint8_t>(uint64_t{raw} * 255 / field);
        }
        bgr[2 - channel] = value;
    }
}

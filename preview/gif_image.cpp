#include "preview/gif_image.h"

#include "preview/stream_bytes.h"

#include <array>
#include <cstdio>
#include <cstring>

namespace {

constexpr uint32_t kMaxCodes = 4096;

struct ColorTable {
    uint32_t entries = 0;
    std::array<RgbQuad, 256> colors{};
};

bool ReadColorTable(CImageMemStream& stream, uint8_t flags, ColorTable& table) {
    table.entries = 2u << (flags & 7);
    uint8_t rgb[768];
    if (stream.Read(rgb, 3, table.entries) != table.entries)
        return false;
    for (uint32_t i = 0; i < table.entries; ++i)
        table.colors[i] = RgbQuad{rgb[i * 3 + 2], rgb[i * 3 + 1], rgb[i * 3], 0};
    return true;
}

// Skips data sub-blocks up to and including the empty terminator.
bool SkipSubBlocks(CImageMemStream& stream) {
    for (;;) {
        uint8_t length = 0;
        if (!ReadU8(stream, length))
            return false;
        if (length == 0)
            return true;
        if (!stream.Seek(length, SEEK_CUR))
            return false;
    }
}

// Reads the bytes of consecutive sub-blocks as one code stream.
class SubBlockReader {
public:
    explicit SubBlockReader(CImageMemStream& stream) : m_stream(stream) {}
    // The next byte; -1 at the terminator or the end of the data.
    int Next() {
        if (m_left == 0) {
            if (m_ended)
                return -1;
            uint8_t length = 0;
            if (!ReadU8(m_stream, length)) {
                m_ended = true;
                m_truncated = true;
                return -1;
            }
            if (length == 0) {
                m_ended = true;
                return -1;
            }
            m_left = length;
        }
        const int c = m_stream.GetC();
        if (c < 0) {
            m_ended = m_truncated = true;
            return -1;
        }
        --m_left;
        return c;
    }
    // Skips what is left of the frame's data; false when it was cut short.
    bool Finish() {
        while (Next() >= 0) {
        }
        return !m_truncated;
    }

private:
    CImageMemStream& m_stream;
    uint32_t m_left = 0;
    bool m_ended = false;
    bool m_truncated = false;
};

// Row order of an interlaced frame: every 8th from 0, every 8th from 4, every 4th from 2, every
// 2nd from 1.
class RowOrder {
public:
    RowOrder(uint32_t height, bool interlaced) : m_height(height), m_interlaced(interlaced) {}
    uint32_t Row() const { return m_row; }
    void Advance() {
        if (!m_interlaced) {
            ++m_row;
            return;
        }
        static constexpr uint32_t kStart[4] = {0, 4, 2, 1};
        static constexpr uint32_t kStep[4] = {8, 8, 4, 2};
        m_row += kStep[m_pass];
        while (m_row >= m_height && m_pass < 3) {
            ++m_pass;
            m_row = kStart[m_pass];
        }
    }

private:
    uint32_t m_height;
    bool m_interlaced;
    uint32_t m_pass = 0;
    uint32_t m_row = 0;
};

struct FrameDescriptor {
    uint16_t left = 0;
    uint16_t top = 0;
    uint16_t width = 0;
    uint16_t height = 0;
    uint8_t flags = 0;
};

bool ReadDescriptor(CImageMemStream& stream, FrameDescriptor& frame) {
    uint8_t d[9];
    if (stream.Read(d, 9, 1) != 1)
        return false;
    frame.left = Le16At(d);
    frame.top = Le16At(d + 2);
    frame.width = Le16At(d + 4);
    frame.height = Le16At(d + 6);
    frame.flags = d[8];
    return true;
}

// Counts the frames by walking the blocks; stops at the trailer or anything unreadable.
int32_t CountFrames(CImageMemStream& stream) {
    const size_t start = stream.Tell();
    int32_t frames = 0;
    for (;;) {
        const int block = stream.GetC();
        if (block == '!') {
            if (stream.GetC() < 0 || !SkipSubBlocks(stream))
                break;
        } else if (block == ',') {
            FrameDescriptor frame;
            if (!ReadDescriptor(stream, frame))
                break;
            if ((frame.flags & 0x80) && !stream.Seek(3 * (2 << (frame.flags & 7)), SEEK_CUR))
                break;
            if (stream.GetC() < 0 || !SkipSubBlocks(stream))
                break;
            ++frames;
        } else {
            break;
        }
    }
    stream.Seek(static_cast<int64_t>(start), SEEK_SET);
    return frames;
}

} // namespace

bool CGifImage::DecodeLzw(CImageMemStream& stream, uint32_t width, uint32_t height, bool interlaced,
                          std::vector<uint8_t>& indices) {
    const int minimum = stream.GetC();
    if (minimum < 1 || minimum > 11)
        return false;
    indices.assign(size_t{width} * height, 0);
    const uint32_t clear = 1u << minimum;
    const uint32_t end = clear + 1;
    std::array<uint16_t, kMaxCodes> prefix{};
    std::array<uint8_t, kMaxCodes> suffix{};
    std::array<uint8_t, kMaxCodes> first{};
    std::array<uint8_t, kMaxCodes + 1> stack{};
    for (uint32_t i = 0; i < clear; ++i) {
        suffix[i] = static_cast<uint8_t>(i);
        first[i] = static_cast<uint8_t>(i);
    }
    uint32_t codeSize = static_cast<uint32_t>(minimum) + 1;
    uint32_t next = clear + 2;
    int32_t previous = -1;
    uint32_t bits = 0;
    uint32_t bitCount = 0;
    size_t x = 0;
    RowOrder rows(height, interlaced);
    size_t written = 0;
    const size_t total = indices.size();
    SubBlockReader reader(stream);
    auto put = [&](uint8_t value) {
        if (written >= total)
            return;
        indices[size_t{rows.Row()} * width + x] = value;
        ++written;
        if (++x == width) {
            x = 0;
            rows.Advance();
        }
    };
    for (;;) {
        while (bitCount < codeSize) {
            const int c = reader.Next();
            if (c < 0)
                return reader.Finish() && written == total;
            bits |= static_cast<uint32_t>(c) << bitCount;
            bitCount += 8;
        }
        const uint32_t code = bits & ((1u << codeSize) - 1);
        bits >>= codeSize;
        bitCount -= codeSize;
        if (code == clear) {
            codeSize = static_cast<uint32_t>(minimum) + 1;
            next = clear + 2;
            previous = -1;
            continue;
        }
        if (code == end)
            return reader.Finish();
        if (previous < 0) {
            if (code >= clear)
                continue; // a first code must be a literal; skip what is not
            put(static_cast<uint8_t>(code));
            previous = static_cast<int32_t>(code);
            continue;
        }
        uint32_t depth = 0;
        uint32_t walk = code;
        uint8_t head = 0;
        if (code < next) {
            head = first[code];
        } else if (code == next) {
            head = first[previous];
            stack[depth++] = head;
            walk = static_cast<uint32_t>(previous);
        } else {
            return false; // a code beyond the table
        }
        while (walk >= clear && depth < kMaxCodes) {
            stack[depth++] = suffix[walk];
            walk = prefix[walk];
        }
        stack[depth++] = static_cast<uint8_t>(walk);
        while (depth > 0)
            put(stack[--depth]);
        if (next < kMaxCodes) {
            prefix[next] = static_cast<uint16_t>(previous);
            suffix[next] = head;
            first[next] = first[previous];
            ++next;
            if (next == (1u << codeSize) && codeSize < 12)
                ++codeSize;
        }
        previous = static_cast<int32_t>(code);
    }
}

bool CGifImage::ReadImage(CImageMemStream& stream) {
    uint8_t header[13];
    if (stream.Read(header, 13, 1) != 1 || std::memcmp(header, "GIF8", 4) != 0)
        return Fail("not a GIF picture");
    const uint16_t screenWidth = Le16At(header + 6);
    const uint16_t screenHeight = Le16At(header + 8);
    const uint8_t screenFlags = header[10];
    ColorTable global;
    const bool hasGlobal = (screenFlags & 0x80) != 0;
    if (hasGlobal && !ReadColorTable(stream, screenFlags, global))
        return Fail("truncated colour table");
    GetInfo().frameCount = CountFrames(stream);

    const int32_t wanted = GetInfo().frame < 0 ? 0 : GetInfo().frame;
    int32_t fitting = 0;
    int32_t transparent = -1;
    bool composite = false;
    CDibImage screen;
    std::vector<uint8_t> indices;
    for (;;) {
        const int block = stream.GetC();
        if (block == '!') {
            const int label = stream.GetC();
            if (label < 0)
                return Fail("truncated extension");
            if (label == 0xF9) {
                uint8_t control[5];
                if (stream.Read(control, 5, 1) != 1 || control[0] < 4)
                    return Fail("truncated graphic control");
                transparent = (control[1] & 1) ? control[4] : -1;
                if (!stream.Seek(control[0] - 4, SEEK_CUR))
                    return Fail("truncated graphic control");
            }
            if (!SkipSubBlocks(stream))
                return Fail("truncated extension");
            continue;
        }
        if (block != ',')
            break; // the trailer, or data that is not a block
        FrameDescriptor frame;
        if (!ReadDescriptor(stream, frame))
            return Fail("truncated image descriptor");
        ColorTable table = global;
        if ((frame.flags & 0x80) && !ReadColorTable(stream, frame.flags, table))
            return Fail("truncated local colour table");
        const bool fits = frame.width != 0 && frame.height != 0 &&
                          uint32_t{frame.left} + frame.width <= screenWidth &&
                          uint32_t{frame.top} + frame.height <= screenHeight;
        if (!fits) {
            if (stream.GetC() < 0 || !SkipSubBlocks(stream))
                return Fail("truncated image data");
            transparent = -1;
            continue;
        }
        if (fitting == 0 && !hasGlobal && frame.width < screenWidth &&
            frame.height < screenHeight) {
            composite = true;
            screen.GetInfo().maxPixels = GetInfo().maxPixels;
            if (screen.Create(screenWidth, screenHeight, 24, kTypeGif) == nullptr)
                return Fail(screen.ErrorText());
        }
        if (static_cast<uint64_t>(frame.width) * frame.height > GetInfo().maxPixels)
            return Fail("image too large");
        if (!DecodeLzw(stream, frame.width, frame.height, (frame.flags & 0x40) != 0, indices))
            return Fail("bad image data");
        const bool chosen = composite || fitting == wanted;
        ++fitting;
        if (!chosen) {
            transparent = -1;
            continue;
        }
        if (composite) {
            for (uint32_t y = 0; y < frame.height; ++y)
                for (uint32_t x = 0; x < frame.width; ++x) {
                    const uint8_t index = indices[size_t{y} * frame.width + x];
                    if (static_cast<int32_t>(index) == transparent)
                        continue;
                    const RgbQuad color =
                        index < table.entries ? table.colors[index] : RgbQuad{255, 255, 255, 0};
                    screen.SetPixelColor(frame.left + x, frame.top + y, color);
                }
            if (transparent >= 0 && fitting == 1) {
                GetInfo().transparentIndex = transparent;
                GetInfo().transparentColor = table.colors[static_cast<size_t>(transparent)];
            }
            transparent = -1;
            continue;
        }
        // A transparent index may lie anywhere in 0..255: such frames get the full palette.
        const uint32_t bits = transparent >= 0      ? 8
                              : table.entries <= 2  ? 1
                              : table.entries <= 16 ? 4
                                                    : 8;
        if (Create(frame.width, frame.height, bits, kTypeGif) == nullptr)
            return false;
        for (uint32_t i = 0; i < PaletteEntries(); ++i) {
            const RgbQuad color = i < table.entries ? table.colors[i] : RgbQuad{255, 255, 255, 0};
            SetPaletteColor(i, color.red, color.green, color.blue);
        }
        for (uint32_t y = 0; y < frame.height; ++y)
            for (uint32_t x = 0; x < frame.width; ++x)
                SetPixelIndex(x, y, indices[size_t{y} * frame.width + x]);
        GetInfo().transparentIndex = transparent;
        if (transparent >= 0)
            GetInfo().transparentColor = GetPaletteColor(static_cast<uint32_t>(transparent));
        return true;
    }
    if (composite) {
        const Info info = GetInfo();
        TakeImage(screen);
        GetInfo().transparentIndex = info.transparentIndex;
        GetInfo().transparentColor = info.transparentColor;
        GetInfo().frameCount = info.frameCount;
        return true;
    }
    return Fail("no frame to show");
}

#include "platform/text/disk_text_decoding.h"

#include "platform/text/utf_conversion.h"

#include <array>

namespace {

// Length of the well-formed sequence at `at`, 0 when it is ill-formed, and -1 when the bytes
// end inside a sequence that is well-formed so far.
int SequenceLength(std::span<const uint8_t> bytes, size_t at) {
    const uint8_t lead = bytes[at];
    if (lead < 0x80) {
        return 1;
    }
    int length = 0;
    uint8_t low = 0x80;
    uint8_t high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    for (int i = 1; i < length; ++i) {
        if (at + i >= bytes.size()) {
            return -1;
        }
        const uint8_t next = bytes[at + i];
        // Only the second byte has the narrowed range (no overlong forms or surrogates).
        if (next < (i == 1 ? low : 0x80) || next > (i == 1 ? high : 0xBF)) {
            return 0;
        }
    }
    return length;
}

// Where the well-formed part ends: bytes.size() when all of it is, else the start of an
// incomplete sequence at the end; SIZE_MAX when any sequence is ill-formed.
size_t WellFormedEnd(std::span<const uint8_t> bytes) {
    size_t at = 0;
    while (at < bytes.size()) {
        const int length = SequenceLength(bytes, at);
        if (length == 0) {
            return SIZE_MAX;
        }
        if (length < 0) {
            return at;
        }
        at += static_cast<size_t>(length);
    }
    return at;
}

constexpr std::array<char16_t, 32> kWindows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

} // namespace

char16_t DecodeWindows1252Byte(uint8_t byte) {
    return byte >= 0x80 && byte < 0xA0 ? kWindows1252High[byte - 0x80]
                                       : static_cast<char16_t>(byte);
}

std::u16string DecodeWindows1252(std::span<const uint8_t> bytes) {
    std::u16string text;
    text.reserve(bytes.size());
    for (const uint8_t byte : bytes) {
        text.push_back(DecodeWindows1252Byte(byte));
    }
    return text;
}

std::u16string DecodeDiskText(std::span<const uint8_t> bytes, bool cutAtEnd) {
    const size_t end = WellFormedEnd(bytes);
    if (end == bytes.size() || (cutAtEnd && end != SIZE_MAX)) {
        const auto whole = bytes.first(end);
        return Utf8ToUtf16(
            std::string_view(reinterpret_cast<const char*>(whole.data()), whole.size()));
    }
    return DecodeWindows1252(bytes);
}

std::u16string CutText(std::u16string text, size_t maxUnits) {
    if (text.size() <= maxUnits) {
        return text;
    }
    size_t keep = maxUnits;
    if (keep > 0 && text[keep - 1] >= 0xD800 && text[keep - 1] <= 0xDBFF) {
        --keep;
    }
    text.resize(keep);
    return text;
}

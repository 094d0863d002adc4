#include "platform/text/utf_conversion.h"

namespace {

bool IsHighSurrogate(char32_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool IsLowSurrogate(char32_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

void AppendUtf16(std::u16string& out, char32_t codePoint) {
    if (codePoint < 0x10000) {
        out.push_back(static_cast<char16_t>(codePoint));
        return;
    }
    const char32_t offset = codePoint - 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (offset >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (offset & 0x3FF)));
}

void AppendUtf8(std::string& out, char32_t codePoint) {
    if (codePoint < 0x80) {
        out.push_back(static_cast<char>(codePoint));
    } else if (codePoint < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (codePoint >> 6)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    } else if (codePoint < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (codePoint >> 12)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (codePoint >> 18)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    }
}

} // namespace

std::u16string Utf8ToUtf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    const size_t size = utf8.size();
    size_t i = 0;
    while (i < size) {
        const auto lead = static_cast<uint8_t>(utf8[i]);
        ++i;
        if (lead < 0x80) {
            out.push_back(lead);
            continue;
        }
        // The ranges allowed for the first continuation byte exclude overlong forms, encoded
        // surrogates and values above U+10FFFF, so a sequence that completes is always valid.
        size_t needed = 0;
        char32_t codePoint = 0;
        uint8_t lower = 0x80;
        uint8_t upper = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            needed = 1;
            codePoint = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            needed = 2;
            codePoint = lead & 0x0F;
            if (lead == 0xE0) {
                lower = 0xA0;
            } else if (lead == 0xED) {
                upper = 0x9F;
            }
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            needed = 3;
            codePoint = lead & 0x07;
            if (lead == 0xF0) {
                lower = 0x90;
            } else if (lead == 0xF4) {
                upper = 0x8F;
            }
        } else {
            out.push_back(kReplacementCharacter);
            continue;
        }
        bool complete = true;
        for (size_t k = 0; k < needed; ++k) {
            if (i >= size) {
                complete = false;
                break;
            }
            const auto unit = static_cast<uint8_t>(utf8[i]);
            if (unit < lower || unit > upper) {
                // The offending byte is not consumed: it may start the next sequence.
                complete = false;
                break;
            }
            codePoint = (codePoint << 6) | (unit & 0x3F);
            lower = 0x80;
            upper = 0xBF;
            ++i;
        }
        if (complete) {
            AppendUtf16(out, codePoint);
        } else {
            out.push_back(kReplacementCharacter);
        }
    }
    return out;
}

std::string Utf16ToUtf8(std::u16string_view utf16) {
    std::string out;
    out.reserve(utf16.size());
    const size_t size = utf16.size();
    size_t i = 0;
    while (i < size) {
        const char32_t unit = utf16[i];
        ++i;
        if (!IsHighSurrogate(unit) && !IsLowSurrogate(unit)) {
            AppendUtf8(out, unit);
        } else if (IsHighSurrogate(unit) && i < size && IsLowSurrogate(utf16[i])) {
            AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (utf16[i] - 0xDC00));
            ++i;
        } else {
            AppendUtf8(out, kReplacementCharacter);
        }
    }
    return out;
}

std::u16string Utf16FromLittleEndian(std::span<const uint8_t> bytes) {
    std::u16string out;
    out.reserve(bytes.size() / 2);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        out.push_back(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)));
    }
    return out;
}

void AppendUtf16LittleEndian(std::vector<uint8_t>& out, std::u16string_view text) {
    out.reserve(out.size() + text.size() * 2);
    for (const char16_t unit : text) {
        out.push_back(static_cast<uint8_t>(unit & 0xFF));
        out.push_back(static_cast<uint8_t>(unit >> 8));
    }
}

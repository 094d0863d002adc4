#include "jobs/recovery/recovered_name.h"

#include "platform/text/utf_conversion.h"

namespace {

constexpr char16_t kSubstitute = u'_';

bool IsHighSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool IsLowSurrogate(char16_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

bool IsForbidden(char16_t unit) {
    return unit < 0x20 || unit == 0x7F || unit == u'/' || unit == u'\\';
}

// Bytes of UTF-8 for the character starting at text[i] (a valid pair counts as one character of
// 4 bytes); `units` receives its length in code units. The text holds no unpaired surrogates.
size_t CharacterBytes(std::u16string_view text, size_t i, size_t& units) {
    const char16_t unit = text[i];
    if (IsHighSurrogate(unit) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
        units = 2;
        return 4;
    }
    units = 1;
    if (unit < 0x80)
        return 1;
    return unit < 0x800 ? 2 : 3;
}

size_t Utf8Length(std::u16string_view text) {
    size_t bytes = 0;
    size_t units = 0;
    for (size_t i = 0; i < text.size(); i += units)
        bytes += CharacterBytes(text, i, units);
    return bytes;
}

// The longest prefix of text, ending on a character boundary, that fits in `budget` bytes.
std::u16string_view FittingPrefix(std::u16string_view text, size_t budget) {
    size_t bytes = 0;
    size_t units = 0;
    size_t i = 0;
    while (i < text.size()) {
        const size_t next = CharacterBytes(text, i, units);
        if (bytes + next > budget)
            break;
        bytes += next;
        i += units;
    }
    return text.substr(0, i);
}

std::u16string ReplaceBadUnits(std::u16string_view name) {
    std::u16string out;
    out.reserve(name.size());
    for (size_t i = 0; i < name.size(); ++i) {
        const char16_t unit = name[i];
        if (IsForbidden(unit)) {
            out.push_back(kSubstitute);
        } else if (IsHighSurrogate(unit) && i + 1 < name.size() && IsLowSurrogate(name[i + 1])) {
            out.push_back(unit);
            out.push_back(name[++i]);
        } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
            out.push_back(kReplacementCharacter);
        } else {
            out.push_back(unit);
        }
    }
    return out;
}

std::u16string CutToLimit(const std::u16string& name) {
    const size_t dot = name.rfind(u'.');
    std::u16string_view extension;
    if (dot != std::u16string::npos && dot > 0 && name.size() - dot - 1 <= kMaxKeptExtensionLength)
        extension = std::u16string_view(name).substr(dot);
    // The extension holds at most 16 units plus the dot (under 50 bytes), so the stem keeps
    // most of the budget and never ends up empty.
    const std::u16string_view stem =
        std::u16string_view(name).substr(0, name.size() - extension.size());
    std::u16string out(FittingPrefix(stem, kMaxRecoveredNameBytes - Utf8Length(extension)));
    out.append(extension);
    return out;
}

} // namespace

std::u16string SanitiseRecoveredName(std::u16string_view name) {
    if (name.empty())
        return std::u16string(1, kSubstitute);
    if (name == u"." || name == u"..")
        return kSubstitute + std::u16string(name);
    std::u16string out = ReplaceBadUnits(name);
    if (Utf8Length(out) > kMaxRecoveredNameBytes)
        out = CutToLimit(out);
    return out;
}

bool NameHasLineBreakOrNul(std::u16string_view name) {
    return name.find_first_of(std::u16string_view(u"\r\n\0", 3)) != std::u16string_view::npos;
}

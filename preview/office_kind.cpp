#include "preview/office_kind.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string>

namespace {

constexpr std::array<uint8_t, 8> kCompoundSignature = {0xD0, 0xCF, 0x11, 0xE0,
                                                       0xA1, 0xB1, 0x1A, 0xE1};

bool SameLetters(std::string_view text, std::string_view lower) {
    return text.size() == lower.size() &&
           std::equal(text.begin(), text.end(), lower.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) == b;
           });
}

} // namespace

OfficeKind OfficeKindOfExtension(std::string_view extension) {
    if (SameLetters(extension, "doc")) {
        return OfficeKind::Word;
    }
    if (SameLetters(extension, "xls")) {
        return OfficeKind::Excel;
    }
    if (SameLetters(extension, "ppt")) {
        return OfficeKind::PowerPoint;
    }
    if (SameLetters(extension, "mdb")) {
        return OfficeKind::Access;
    }
    return OfficeKind::None;
}

OfficeKind OfficeKindOfPath(const std::filesystem::path& path) {
    const std::string name = path.filename().string();
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos) {
        return OfficeKind::None;
    }
    return OfficeKindOfExtension(std::string_view(name).substr(dot + 1));
}

bool StartsWithCompoundSignature(std::span<const uint8_t> bytes, size_t length) {
    length = std::min(length, kCompoundSignature.size());
    return bytes.size() >= length && std::equal(kCompoundSignature.begin(),
                                                kCompoundSignature.begin() + length, bytes.begin());
}

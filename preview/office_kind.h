#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string_view>

// The office documents the preview shows, numbered as the preview numbers them.
enum class OfficeKind {
    None = 0,
    Word = 1,
    Excel = 2,
    PowerPoint = 3,
    Access = 4,
};

// The kind of an extension (without its dot), compared without regard to case: "doc" Word,
// "xls" Excel, "ppt" PowerPoint, "mdb" Access, anything else None.
OfficeKind OfficeKindOfExtension(std::string_view extension);
// The kind of a document path, by the extension of its last component; the path itself is
// never changed (Linux paths are case-sensitive).
OfficeKind OfficeKindOfPath(const std::filesystem::path& path);

// Word, Excel and PowerPoint files of these kinds are compound documents; Access databases
// are not.
constexpr bool IsCompoundKind(OfficeKind kind) {
    return kind == OfficeKind::Word || kind == OfficeKind::Excel || kind == OfficeKind::PowerPoint;
}

// The first `length` bytes (7 or 8) of the compound-document signature D0 CF 11 E0 A1 B1 1A E1
// begin `bytes`.
bool StartsWithCompoundSignature(std::span<const uint8_t> bytes, size_t length);

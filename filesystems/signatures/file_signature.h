#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

// One known file type of the raw search: a few header bytes at a fixed offset of a file's first
// sector, the size assumed for a file of the type, its group in the lists and the length finder
// that sizes it. The delivered types are company-defined; the user adds more in the signature
// dialogs. The header file stores each record in its packed form (FileSignatureSerializer).
struct FileSignature {
    // Longest software name or extension a record holds; the stored field has room for the NUL.
    static constexpr size_t kMaxTextUnits = 259;
    static constexpr size_t kMaxMatchLength = 8;
    static constexpr uint32_t kSectorSize = 512;

    // Size units as the add/edit dialog stores them.
    static constexpr uint8_t kUnitMegabytes = 0;
    static constexpr uint8_t kUnitKilobytes = 1;

    // Length-finder kinds of the raw search; kinds from kFinderNone up have no finder.
    static constexpr uint16_t kFinderBmp = 0;
    static constexpr uint16_t kFinderPng = 1;
    static constexpr uint16_t kFinderGif = 2;
    static constexpr uint16_t kFinderTiff = 3;
    static constexpr uint16_t kFinderTiffAlternate = 4;
    static constexpr uint16_t kFinderJpeg = 5;
    static constexpr uint16_t kFinderNone = 6;

    // The one TIFF record whose finder reads little-endian; every other TIFF record is big-endian.
    static constexpr std::u16string_view kLittleEndianTiffName = u"Tiff Images (Intel)";

    std::u16string softwareName; // the description shown in the lists
    std::u16string extension;    // without the dot
    uint32_t matchOffset = 0;    // of the header bytes inside the first sector
    uint8_t matchLength = 0;     // header bytes that count, 1 to 8; 0 never matches
    std::array<uint8_t, kMaxMatchLength> header{};
    bool selected = false;       // takes part in the search
    bool companyDefined = false; // delivered; cannot be removed, only resized
    uint32_t maxFileSize = 0;    // bytes, the length assumed when no finder applies
    uint8_t sizeUnit = kUnitKilobytes;
    uint8_t fileGroup = 0; // index into the file-group table (signature_file.h)
    uint16_t finderKind = kFinderNone;

    bool operator==(const FileSignature&) const = default;
};

// True when the record's header bytes lie inside `sector` at the match offset and equal it. A
// record with match length 0 never matches; lengths above 8 count as 8.
inline bool HeaderMatches(const FileSignature& signature, std::span<const uint8_t> sector) {
    const size_t length = signature.matchLength < FileSignature::kMaxMatchLength
                              ? signature.matchLength
                              : FileSignature::kMaxMatchLength;
    if (length == 0 || signature.matchOffset > sector.size() ||
        length > sector.size() - signature.matchOffset) {
        return false;
    }
    for (size_t i = 0; i < length; ++i) {
        if (sector[signature.matchOffset + i] != signature.header[i]) {
            return false;
        }
    }
    return true;
}

// True when the raw search sizes a file of this type with a length finder. Records the user
// added never do, whatever kind they carry: files saved by older versions gave them kind 0,
// which would have sized every user type as a bitmap.
inline bool UsesFinder(const FileSignature& signature) {
    return signature.companyDefined && signature.finderKind < FileSignature::kFinderNone;
}

// The TIFF finder reads little-endian for the record named kLittleEndianTiffName.
inline bool IsLittleEndianTiff(const FileSignature& signature) {
    return signature.softwareName == FileSignature::kLittleEndianTiffName;
}

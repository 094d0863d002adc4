#pragma once

#include "filesystems/signatures/file_signature.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// The stored form of a file signature: 1071 bytes, packed, little-endian, as the header file
// holds them one after another. The two list links are written as 0 and ignored on read; the
// selected byte is written as 0 or 1.
class FileSignatureSerializer {
public:
    static constexpr size_t kOffsetNext = 0;
    static constexpr size_t kOffsetPrevious = 4;
    static constexpr size_t kOffsetSoftwareName = 8;
    static constexpr size_t kOffsetExtension = 528;
    static constexpr size_t kOffsetMatchOffset = 1048;
    static constexpr size_t kOffsetMatchLength = 1052;
    static constexpr size_t kOffsetHeader = 1053;
    static constexpr size_t kOffsetSelected = 1061;
    static constexpr size_t kOffsetCompanyDefined = 1062;
    static constexpr size_t kOffsetMaxFileSize = 1063;
    static constexpr size_t kOffsetSizeUnit = 1067;
    static constexpr size_t kOffsetFileGroup = 1068;
    static constexpr size_t kOffsetFinderKind = 1069;
    static constexpr size_t kSize = 1071;
    // UTF-16 units in each of the two text fields, the NUL included.
    static constexpr size_t kTextFieldUnits = 260;

    static std::vector<uint8_t> Write(const FileSignature& signature);
    // Writes into the first kSize bytes of `out`; false when fewer are given.
    static bool Write(const FileSignature& signature, std::span<uint8_t> out);

    // Fails, leaving `out` as it was, when fewer than kSize bytes are given. What another
    // program may have stored is bounded here: match lengths above 8 become 8 (0 stays 0 and
    // never matches) and texts keep at most 259 units.
    static bool Read(std::span<const uint8_t> bytes, FileSignature& out);
};

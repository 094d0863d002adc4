#pragma once

#include "filesystems/signatures/file_signature.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Whether a sector starts a file of a known type, by the active signature list: the list is
// walked in order and the first record whose header bytes lie at its match offset wins. A record
// whose match offset plus match length passes the 512-byte sector never matches, nor does one
// with match length 0. A winner whose extension is exactly "BMP" counts only while the bitmap's
// file size (the u32 at byte 2) is below 20 MiB; otherwise the sector matches nothing, whatever
// later records say.
//
// MatchFileSignature walks the list as it stands; SignatureMatcher does the same from tables
// built once, for searches that test every sector of a drive. Both give the same answers.

// On a match: true, the record's extension (cut to kMaxExtensionUnits) in `extension` and,
// when `record` is not null, a copy of the record. On no match: false, both left as they were.
bool MatchFileSignature(std::span<const FileSignature> active, std::span<const uint8_t> sector,
                        std::u16string& extension, FileSignature* record = nullptr);

class SignatureMatcher {
public:
    static constexpr uint32_t kSectorBytes = 512;
    // A raw find keeps at most this many characters of its extension.
    static constexpr size_t kMaxExtensionUnits = 14;
    // Bitmaps claiming this size or more are no match.
    static constexpr uint32_t kMaxBitmapBytes = 0x1400000;

    SignatureMatcher() = default;
    // Copies the records.
    explicit SignatureMatcher(std::span<const FileSignature> active);

    // The record `sector` matches, or null. Only the first 512 bytes count; a shorter span
    // matches only records whose header lies inside it.
    const FileSignature* Match(std::span<const uint8_t> sector) const;
    // As MatchFileSignature.
    bool Match(std::span<const uint8_t> sector, std::u16string& extension,
               FileSignature* record = nullptr) const;

    std::span<const FileSignature> Signatures() const { return m_records; }
    bool Empty() const { return m_candidates.empty(); }

    // The first kMaxExtensionUnits characters of `extension`, up to a NUL if it holds one.
    static std::u16string CutExtension(std::u16string_view extension);

private:
    // A record that can match, under the byte its header starts with.
    struct Candidate {
        uint32_t index = 0; // in m_records, so the smallest matching one wins
        uint8_t length = 0; // header bytes compared, 1 to 8
        std::array<uint8_t, FileSignature::kMaxMatchLength> header{};
    };
    // The candidates whose header starts at `offset`, bucketed by that first byte: bucket b
    // holds m_candidates[first[b], first[b + 1]), in list order.
    struct OffsetTable {
        uint32_t offset = 0;
        std::array<uint32_t, 257> first{};
    };

    std::vector<FileSignature> m_records;
    std::vector<OffsetTable> m_tables;
    std::vector<Candidate> m_candidates;
};

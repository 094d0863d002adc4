#include "filesystems/signatures/signature_matcher.h"

#include <algorithm>
#include <cstring>
#include <map>

namespace {

constexpr std::u16string_view kBitmapExtension = u"BMP";

// Records that can match at all: a header of at least one byte that ends inside the sector.
bool CanMatch(const FileSignature& record) {
    return record.matchLength != 0 &&
           uint64_t{record.matchOffset} + record.matchLength <= SignatureMatcher::kSectorBytes;
}

size_t ComparedLength(const FileSignature& record) {
    return std::min<size_t>(record.matchLength, FileSignature::kMaxMatchLength);
}

std::span<const uint8_t> SectorPart(std::span<const uint8_t> sector) {
    return sector.first(std::min<size_t>(sector.size(), SignatureMatcher::kSectorBytes));
}

// The bitmap rule: a winner named "BMP" whose file-size field is 20 MiB or more is no match.
bool RejectedBitmap(const FileSignature& record, std::span<const uint8_t> sector) {
    if (record.extension != kBitmapExtension)
        return false;
    if (sector.size() < 6)
        return true;
    const uint32_t size =
        static_cast<uint32_t>(sector[2]) | (static_cast<uint32_t>(sector[3]) << 8) |
        (static_cast<uint32_t>(sector[4]) << 16) | (static_cast<uint32_t>(sector[5]) << 24);
    return size >= SignatureMatcher::kMaxBitmapBytes;
}

void Report(const FileSignature& record, std::u16string& extension, FileSignature* copy) {
    extension = SignatureMatcher::CutExtension(record.extension);
    if (copy != nullptr)
        *copy = record;
}

} // namespace

bool MatchFileSignature(std::span<const FileSignature> active, std::span<const uint8_t> sector,
                        std::u16string& extension, FileSignature* record) {
    sector = SectorPart(sector);
    for (const FileSignature& candidate : active) {
        if (!CanMatch(candidate) || !HeaderMatches(candidate, sector))
            continue;
        if (RejectedBitmap(candidate, sector))
            return false;
        Report(candidate, extension, record);
        return true;
    }
    return false;
}

SignatureMatcher::SignatureMatcher(std::span<const FileSignature> active)
    : m_records(active.begin(), active.end()) {
    // Candidates grouped by offset, then by first byte, each group in list order.
    std::map<uint32_t, std::array<std::vector<Candidate>, 256>> grouped;
    for (size_t i = 0; i < m_records.size(); ++i) {
        const FileSignature& record = m_records[i];
        if (!CanMatch(record))
            continue;
        Candidate candidate;
        candidate.index = static_cast<uint32_t>(i);
        candidate.length = static_cast<uint8_t>(ComparedLength(record));
        candidate.header = record.header;
        grouped[record.matchOffset][record.header[0]].push_back(candidate);
    }
    for (const auto& [offset, buckets] : grouped) {
        OffsetTable table;
        table.offset = offset;
        for (size_t byte = 0; byte < buckets.size(); ++byte) {
            table.first[byte] = static_cast<uint32_t>(m_candidates.size());
            m_candidates.insert(m_candidates.end(), buckets[byte].begin(), buckets[byte].end());
        }
        table.first[256] = static_cast<uint32_t>(m_candidates.size());
        m_tables.push_back(table);
    }
}

const FileSignature* SignatureMatcher::Match(std::span<const uint8_t> sector) const {
    sector = SectorPart(sector);
    const uint8_t* bytes = sector.data();
    const size_t size = sector.size();
    uint32_t best = UINT32_MAX;
    for (const OffsetTable& table : m_tables) {
        if (table.offset >= size)
            break; // tables are in offset order
        const uint8_t first = bytes[table.offset];
        const uint32_t end = table.first[first + 1];
        for (uint32_t k = table.first[first]; k < end; ++k) {
            const Candidate& candidate = m_candidates[k];
            if (candidate.index >= best)
                break;
            if (table.offset + candidate.length > size)
                continue;
            if (std::memcmp(bytes + table.offset, candidate.header.data(), candidate.length) == 0) {
                best = candidate.index;
                break;
            }
        }
    }
    if (best == UINT32_MAX)
        return nullptr;
    const FileSignature& record = m_records[best];
    return RejectedBitmap(record, sector) ? nullptr : &record;
}

bool SignatureMatcher::Match(std::span<const uint8_t> sector, std::u16string& extension,
                             FileSignature* record) const {
    const FileSignature* found = Match(sector);
    if (found == nullptr)
        return false;
    Report(*found, extension, record);
    return true;
}

std::u16string SignatureMatcher::CutExtension(std::u16string_view extension) {
    // Extensions are C strings where they are stored: nothing after a NUL counts.
    extension = extension.substr(0, extension.find(u'\0'));
    return std::u16string(extension.substr(0, std::min(extension.size(), kMaxExtensionUnits)));
}

#pragma once

#include "filesystems/ntfs/ntfs_record_entry.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

// The stored form of one entry of the advance scan's record table: 24 bytes, packed,
// little-endian, six 32-bit fields: the record's sector (partition-relative), the item id, the
// record number, the parent's record number, the file flag and the orphan flag (1 or 0).
class NtfsRecordEntrySerializer {
public:
    static constexpr size_t kOffsetSector = 0;
    static constexpr size_t kOffsetItemId = 4;
    static constexpr size_t kOffsetRecordNumber = 8;
    static constexpr size_t kOffsetParentRecord = 12;
    static constexpr size_t kOffsetIsFile = 16;
    static constexpr size_t kOffsetOrphan = 20;
    static constexpr size_t kSize = 24;

    // nullopt when the record's sector does not fit 32 bits.
    static std::optional<std::array<uint8_t, kSize>> Write(const NtfsRecordEntry& entry);

    // Fails, leaving `out` as it was, when fewer than kSize bytes are given. Any nonzero flag
    // counts as set.
    static bool Read(std::span<const uint8_t> bytes, NtfsRecordEntry& out);
};

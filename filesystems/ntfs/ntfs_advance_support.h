#pragma once

// What the passes of the NTFS advance scan (ntfs_file_system_advance*.cpp) share: the texts and
// block sizes of the reading passes and the check of a sector that starts a file record.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include "resources/string_ids.h"

namespace ntfs_advance {


constexpr size_t kSectorBytes = 512;
// The partition's first and last sectors that the reading passes leave out.
constexpr uint64_t kEdgeSectors = 32;
constexpr uint32_t kReadBlockSectors = 1600;

inline uint32_t Clamp32(uint64_t value) {
    return static_cast<uint32_t>(std::min<uint64_t>(value, UINT32_MAX));
}

// A reading pass's block: one sector more than a block, so that a record at the block's last
// sector is whole; no larger than a small volume needs.
inline size_t BlockBytes(uint64_t totalSectors) {
    return (static_cast<size_t>(std::min<uint64_t>(kReadBlockSectors, totalSectors)) + 1) *
           kSectorBytes;
}

inline bool IsRecordStart(const uint8_t* bytes) {
    return std::memcmp(bytes, "FILE", 4) == 0 && (bytes[4] == '*' || bytes[4] == '0');
}

} // namespace ntfs_advance

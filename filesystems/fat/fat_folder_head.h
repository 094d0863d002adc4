#pragma once

#include <cstdint>
#include <cstring>

// Byte tests of FAT on-disk structures that the scans and the lost-drive search share: the "."
// and ".." entries that begin every folder but the root, the cluster an entry names, and the
// media signature a FAT's first sector begins with. Callers pass at least 64 bytes (two
// entries) or one 512-byte sector.
namespace fat_folder_head {

inline bool IsDotName(const uint8_t* entry) {
    return std::memcmp(entry, ".       ", 8) == 0;
}
inline bool IsDotDotName(const uint8_t* entry) {
    return std::memcmp(entry, "..      ", 8) == 0;
}
// The first cluster an entry names. FAT12 and FAT16 keep other data in the high word.
inline uint32_t EntryCluster(const uint8_t* entry, bool withHighWord) {
    const uint32_t low = static_cast<uint32_t>(entry[26] | (entry[27] << 8));
    const uint32_t high = static_cast<uint32_t>(entry[20] | (entry[21] << 8));
    return withHighWord ? (high << 16) | low : low;
}
// F8 FF FF for fixed disks, F0 FF FF for removable media.
inline bool HasFatSignature(const uint8_t* sector) {
    return (sector[0] == 0xF8 || sector[0] == 0xF0) && sector[1] == 0xFF && sector[2] == 0xFF;
}

} // namespace fat_folder_head

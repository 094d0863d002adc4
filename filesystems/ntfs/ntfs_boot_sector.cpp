#include "filesystems/ntfs/ntfs_boot_sector.h"

#include "platform/byte_reader.h"

#include <cstring>

namespace {

constexpr uint16_t kSectorBytes = 512;

bool IsPowerOfTwo(uint32_t value, uint32_t largest) {
    return value != 0 && value <= largest && (value & (value - 1)) == 0;
}

} // namespace

NtfsBootSector::Check NtfsBootSector::Parse(std::span<const uint8_t> sector, uint64_t,
                                            uint32_t largestCluster, NtfsBootSector& out) {
    const ByteReader reader(sector);
    uint8_t mark0 = 0;
    uint8_t mark1 = 0;
    if (!reader.ReadU8(510, mark0) || !reader.ReadU8(511, mark1) || mark0 != 0x55 ||
        mark1 != 0xAA || std::memcmp(sector.data() + 3, "NTFS", 4) != 0)
        return Check::NotNtfs;
    uint16_t bytesPerSector = 0;
    uint8_t sectorsPerCluster = 0;
    uint8_t recordCode = 0;
    uint64_t mftCluster = 0;
    uint64_t mirrorCluster = 0;
    if (!reader.ReadU16(11, bytesPerSector) || !reader.ReadU8(13, sectorsPerCluster) ||
        !reader.ReadU64(48, mftCluster) || !reader.ReadU64(56, mirrorCluster) ||
        !reader.ReadU8(64, recordCode))
        return Check::NotNtfs;
    if (!IsPowerOfTwo(sectorsPerCluster, largestCluster))
        return Check::ClusterSize;
    NtfsBootSector parsed;
    parsed.sectorsPerCluster = sectorsPerCluster;
    parsed.mftStartSector = (mftCluster & 0xFFFFFFFF) * sectorsPerCluster;
    parsed.mftMirrorSector = (mirrorCluster & 0xFFFFFFFF) * sectorsPerCluster;
    out = parsed;
    return Check::Usable;
}

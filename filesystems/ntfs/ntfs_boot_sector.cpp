#include "filesystems/ntfs/ntfs_boot_sector.h"

#include "platform/text/byte_reader.h"

#include <cstring>

namespace {

constexpr uint16_t kSectorBytes = 512;
constexpr uint32_t kRecordBytes = 1024;
// The sectors of one file record: record 0 of the $MFT and of its mirror must lie whole inside
// the volume.
constexpr uint64_t kRecordSectors = kRecordBytes / kSectorBytes;

bool IsPowerOfTwo(uint32_t value, uint32_t largest) {
    return value != 0 && value <= largest && (value & (value - 1)) == 0;
}

// The record size code: a positive value counts clusters, a negative one is a power of two in
// bytes. 0 when the code gives no size.
uint64_t RecordBytes(int8_t code, uint32_t sectorsPerCluster) {
    if (code > 0)
        return uint64_t(code) * sectorsPerCluster * kSectorBytes;
    if (code < 0 && code >= -31)
        return uint64_t{1} << -code;
    return 0;
}

// The sector of `cluster`, when the record there lies inside the volume.
bool FitsVolume(uint64_t cluster, uint32_t sectorsPerCluster, uint64_t totalSectors,
                uint64_t& sector) {
    if (cluster > (totalSectors / sectorsPerCluster))
        return false;
    sector = cluster * sectorsPerCluster;
    return sector < totalSectors && totalSectors - sector >= kRecordSectors;
}

} // namespace

NtfsBootSector::Check NtfsBootSector::Parse(std::span<const uint8_t> sector, uint64_t totalSectors,
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
    if (bytesPerSector != kSectorBytes)
        return Check::SectorSize;
    if (!IsPowerOfTwo(sectorsPerCluster, largestCluster) || sectorsPerCluster > totalSectors)
        return Check::ClusterSize;
    if (RecordBytes(static_cast<int8_t>(recordCode), sectorsPerCluster) != kRecordBytes)
        return Check::RecordSize;
    NtfsBootSector parsed;
    parsed.sectorsPerCluster = sectorsPerCluster;
    if (!FitsVolume(mftCluster, sectorsPerCluster, totalSectors, parsed.mftStartSector) ||
        !FitsVolume(mirrorCluster, sectorsPerCluster, totalSectors, parsed.mftMirrorSector))
        return Check::MftLocation;
    out = parsed;
    return Check::Usable;
}

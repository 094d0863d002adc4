#include "filesystems/fat/fat_boot_info.h"

#include "platform/text/byte_reader.h"

#include <algorithm>

namespace {

// Sectors a FAT may hold beyond what its clusters need: formatters that size the table before
// the data area round it up by a sector or two (and by 1/64 on the largest volumes).
constexpr uint64_t kFatSlackSectors = 4;

} // namespace

int ParseFatBootSector(std::span<const uint8_t> sector, FatBootInfo& info) {
    ByteReader reader(sector);
    uint8_t sectorsPerCluster = 0;
    if (!reader.ReadU8(13, sectorsPerCluster))
        return 0;
    switch (sectorsPerCluster) {
    case 1:
    case 2:
    case 4:
    case 8:
    case 16:
    case 32:
    case 64:
    case 128:
        break;
    default:
        return 0;
    }
    uint16_t reserved = 0, rootEntries = 0, sectorsPerFat16 = 0, totalSectors16 = 0;
    uint32_t totalSectors32 = 0;
    uint8_t media = 0;
    if (!reader.ReadU16(14, reserved) || !reader.ReadU16(17, rootEntries) ||
        !reader.ReadU16(19, totalSectors16) || !reader.ReadU8(21, media) ||
        !reader.ReadU16(22, sectorsPerFat16))
        return 0;
    if (totalSectors16 == 0 && !reader.ReadU32(32, totalSectors32))
        totalSectors32 = 0;

    info.sectorsPerCluster = sectorsPerCluster;
    info.reservedSectors = reserved;
    // Round up: a root folder of 1000 entries needs 63 sectors, not 62.
    info.rootFolderSectors = (static_cast<uint32_t>(rootEntries) * 32 + 511) / 512;
    info.sectorsPerFat = sectorsPerFat16;
    info.media = media;
    info.rootCluster = 0;
    info.totalSectors = totalSectors16 != 0 ? totalSectors16 : totalSectors32;

    if (reserved >= 32) {
        info.type = FatType::Fat32;
        info.rootFolderSectors = 0;
        uint32_t sectorsPerFat32 = 0, rootCluster = 0;
        if (!reader.ReadU32(36, sectorsPerFat32) || !reader.ReadU32(44, rootCluster))
            return 0;
        info.sectorsPerFat = sectorsPerFat32;
        info.rootCluster = rootCluster;
        info.endMark = PropertiesOf(FatType::Fat32).endMark;
        if (sectorsPerFat32 <= 266 || rootCluster < 2)
            return 0;
        return 1;
    }
    if (sectorsPerFat16 <= 12) {
        info.type = FatType::Fat12;
        info.endMark = PropertiesOf(FatType::Fat12).endMark;
        return 1;
    }
    info.type = FatType::Fat16;
    info.endMark = PropertiesOf(FatType::Fat16).endMark;
    return sectorsPerFat16 >= 266 ? 0 : 1;
}

uint64_t MaxFatSectors(FatType type, uint64_t totalSectors, uint32_t reservedSectors,
                       uint32_t rootFolderSectors, uint32_t sectorsPerCluster) {
    const uint64_t system = uint64_t{reservedSectors} + rootFolderSectors;
    if (sectorsPerCluster == 0 || totalSectors <= system)
        return 0;
    const uint64_t clusters =
        std::min((totalSectors - system) / sectorsPerCluster, kFatMaxClusterNumber) + 2;
    const uint64_t bytes = (clusters * PropertiesOf(type).entryBits + 7) / 8;
    const uint64_t sectors = (bytes + 511) / 512;
    return sectors + sectors / 64 + kFatSlackSectors;
}

uint64_t FatSectorsTableDescribes(FatType type, uint32_t reservedSectors, uint32_t sectorsPerFat,
                                  uint32_t rootFolderSectors, uint32_t sectorsPerCluster) {
    if (sectorsPerFat == 0)
        return 0;
    // At most 2^32 x 341 entries and 128 sectors a cluster: well inside 64 bits.
    const uint64_t clusters = uint64_t{sectorsPerFat} * PropertiesOf(type).entriesPerSector - 2;
    return uint64_t{reservedSectors} + 2ull * sectorsPerFat + rootFolderSectors +
           clusters * sectorsPerCluster;
}

bool FatLayoutFits(const FatBootInfo& info, uint64_t totalSectors) {
    const uint64_t system =
        uint64_t{info.reservedSectors} + 2ull * info.sectorsPerFat + info.rootFolderSectors;
    if (system >= totalSectors)
        return false;
    return info.sectorsPerFat <= MaxFatSectors(info.type, totalSectors, info.reservedSectors,
                                               info.rootFolderSectors, info.sectorsPerCluster);
}

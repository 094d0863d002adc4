#include "diskio/inventory/boot_sector_file_system.h"

#include <cstring>

namespace {

uint16_t U16(std::span<const uint8_t> s, size_t at) {
    return static_cast<uint16_t>(s[at] | (s[at + 1] << 8));
}

uint32_t U32(std::span<const uint8_t> s, size_t at) {
    return static_cast<uint32_t>(s[at]) | (static_cast<uint32_t>(s[at + 1]) << 8) |
           (static_cast<uint32_t>(s[at + 2]) << 16) | (static_cast<uint32_t>(s[at + 3]) << 24);
}

bool IsPowerOfTwo(uint32_t value) {
    return value != 0 && (value & (value - 1)) == 0;
}

} // namespace

std::u16string FileSystemFromBootSector(std::span<const uint8_t> sector) {
    if (sector.size() < 512)
        return {};
    if (std::memcmp(&sector[3], "NTFS", 4) == 0)
        return u"NTFS";
    if (sector[510] != 0x55 || sector[511] != 0xAA)
        return {};
    if (sector[0] != 0xEB && sector[0] != 0xE9)
        return {};
    uint16_t bytesPerSector = U16(sector, 11);
    uint8_t sectorsPerCluster = sector[13];
    uint8_t fatCount = sector[16];
    if (bytesPerSector < 512 || bytesPerSector > 4096 || !IsPowerOfTwo(bytesPerSector) ||
        !IsPowerOfTwo(sectorsPerCluster) || fatCount == 0 || U16(sector, 14) == 0)
        return {};
    if (U16(sector, 22) == 0 && U32(sector, 36) != 0)
        return u"FAT32";
    return u"FAT";
}

uint8_t FatTypeFromBootSector(std::span<const uint8_t> sector) {
    if (sector.size() < 24)
        return 4;
    return U16(sector, 22) <= 12 ? 1 : 4;
}

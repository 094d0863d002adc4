#pragma once

#include "filesystems/fat/fat_type.h"

#include <cstdint>
#include <span>

// The fields of a FAT boot sector the reader needs, as ParseFatBootSector reads them.
struct FatBootInfo {
    FatType type = FatType::Unknown;
    uint8_t sectorsPerCluster = 0;
    uint32_t reservedSectors = 0;
    uint32_t rootFolderSectors = 0;
    uint32_t sectorsPerFat = 0;
    uint8_t media = 0;
    uint32_t rootCluster = 0;
    uint32_t endMark = 0;
};

// Reads a boot sector into `info`. Sectors per cluster must be a power of two from 1 to 128,
// else nothing else is filled and the result is 0. The result is also 0 for FAT32 with 266 or
// fewer sectors per FAT or a root cluster below 2, and for FAT16 with 266 or more sectors per
// FAT; those fields are filled all the same.
int ParseFatBootSector(std::span<const uint8_t> sector, FatBootInfo& info);

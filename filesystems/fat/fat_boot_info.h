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
    // The volume's size as the boot sector gives it: the 16-bit count, or the 32-bit one when
    // that is 0.
    uint64_t totalSectors = 0;
};

// Reads a boot sector into `info`. Sectors per cluster must be a power of two from 1 to 128,
// else nothing else is filled and the result is 0. The result is also 0 for FAT32 with 266 or
// fewer sectors per FAT or a root cluster below 2, and for FAT16 with 266 or more sectors per
// FAT; those fields are filled all the same.
int ParseFatBootSector(std::span<const uint8_t> sector, FatBootInfo& info);

// The most sectors one FAT of a volume can need: one entry for each cluster the volume could
// hold if the FATs took no room (at most the largest cluster number any FAT holds), plus the
// two reserved entries, in whole sectors, with a little room for formatters that round the
// table up. 0 when the layout leaves no data area.
uint64_t MaxFatSectors(FatType type, uint64_t totalSectors, uint32_t reservedSectors,
                       uint32_t rootFolderSectors, uint32_t sectorsPerCluster);

// Sectors of a volume whose data area holds every cluster its table can describe: the
// reserved sectors, two FATs, the root folder and (sectors per FAT x entries per FAT sector -
// 2) clusters. 0 without a table.
uint64_t FatSectorsTableDescribes(FatType type, uint32_t reservedSectors, uint32_t sectorsPerFat,
                                  uint32_t rootFolderSectors, uint32_t sectorsPerCluster);

// Whether a parsed boot sector's layout lies inside a volume of `totalSectors`: the reserved
// sectors, two FATs and the root folder end before the volume does, and the FAT is no larger
// than MaxFatSectors.
bool FatLayoutFits(const FatBootInfo& info, uint64_t totalSectors);

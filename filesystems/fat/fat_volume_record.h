#pragma once

#include <cstdint>
#include <string>

// The saved form of a FAT volume in a scan-information file, as far as the reader needs it.
struct FatVolumeRecord {
    uint64_t firstSector = 0;
    uint64_t lastSector = 0;
    uint64_t totalSectors = 0;
    uint8_t fatType = 0;
    uint8_t drive = 0;
    uint8_t sectorsPerCluster = 0;
    uint8_t imageFlag = 0;
    uint32_t rootCluster = 0;
    uint32_t mapSize = 0;
    uint32_t sectorsPerFat = 0;
    uint8_t linkingMode = 0;
    uint32_t reservedSectors = 0;
    uint32_t rootFolderSectors = 0;
    uint32_t absoluteSectors = 0;
    std::u16string imagePath;

    bool operator==(const FatVolumeRecord&) const = default;
};

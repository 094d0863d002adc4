#pragma once

#include <cstdint>
#include <string>

// The saved form of an NTFS volume in a scan-information file, as far as the reader needs it.
struct NtfsVolumeRecord {
    uint8_t drive = 0;
    uint16_t sectorsPerCluster = 0;
    uint8_t imageFlag = 0;
    uint64_t firstSector = 0;
    uint64_t lastSector = 0;
    uint64_t totalSectors = 0;
    uint32_t mftStartSector = 0;
    uint32_t mftMirrorSector = 0;
    uint32_t recordTableBase = 0;
    uint32_t recordTableCount = 0;
    uint32_t clusterCount = 0;
    std::u16string imagePath;

    bool operator==(const NtfsVolumeRecord&) const = default;
};

#pragma once

#include <cstdint>
#include <vector>

// Geometry the lost-drive search keeps for a volume it rebuilt (node kind 3), read by the
// volume readers in place of a boot sector. Zero for every other kind of drive.
struct FoundVolumeFields {
    uint32_t sectorsPerFat = 0;
    uint32_t reservedSectors = 0;
    uint16_t rootFolderSectors = 0;
    uint8_t sectorsPerCluster = 0;
    uint32_t rootCluster = 0;             // FAT32 root folder cluster
    std::vector<uint32_t> folderClusters; // clusters that held folders, owned by the node
    uint32_t mftSector = 0;               // NTFS: $MFT, relative to the volume
    uint32_t mftMirrorSector = 0;         // NTFS: $MFTMirr, relative to the volume
    uint16_t ntfsSectorsPerCluster = 0;

    bool operator==(const FoundVolumeFields&) const = default;
};

#pragma once

#include "diskio/records/found_volume_fields.h"

#include <cstdint>
#include <string>

// Detail of a volume: a lettered drive, a volume found by the lost-drive search or an image of
// a volume. `disk` and the sectors place it on its disk; a drive that no single extent placed
// is read through its own letter (disk = its letter index, first sector 0).
struct LogicalDriveInfo {
    uint8_t drive = 0; // letter index, 0 = A:
    std::u16string rootPath;
    std::u16string reserved; // the volume label, when the drive list read one
    std::u16string typeName; // "FIXED", "REMOVABLE", "CDROM", ...
    uint64_t freeBytes = 0;
    uint64_t totalBytes = 0;
    std::u16string fileSystem; // "NTFS", "FAT32", "FAT", ...
    uint8_t spanned = 0;
    uint8_t disk = 0;
    uint64_t firstSector = 0;
    uint64_t totalSectors = 0;
    uint64_t lastSector = 0;
    uint8_t partitionType = 0; // 1 FAT12, 4 FAT16, 7 NTFS, 11 FAT32, 0 other
    FoundVolumeFields foundVolume;
    std::u16string sizeText;

    bool operator==(const LogicalDriveInfo&) const = default;
};

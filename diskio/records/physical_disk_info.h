#pragma once

#include "diskio/records/disk_identify_info.h"

#include <cstdint>
#include <optional>
#include <string>

// Detail of a physical disk, a removable disk, a CD/DVD drive or an image of a disk.
struct PhysicalDiskInfo {
    uint8_t drive = 0; // 0x80 + n for disks; the letter index for a CD/DVD drive
    uint64_t totalSectors = 0;
    std::u16string sizeText;                  // at most 31 characters are stored
    std::optional<DiskIdentifyInfo> identify; // hard disks only

    bool operator==(const PhysicalDiskInfo&) const = default;
};

#pragma once

#include "platform/devices/device_source.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// What the machine (or the device map) offers, before it becomes drive nodes: the physical
// disks by index (drive number 0x80 + index) and the lettered volumes, in letter order.
struct InventoryDisk {
    int index = 0; // 0..23
    DeviceSource source;
    bool removable = false;
    std::string name; // "sda", "nvme0n1", "disk0"
};

struct InventoryVolume {
    int letter = 0; // 0 = A:
    DeviceSource source;
    std::u16string typeName; // "FIXED", "REMOVABLE", "CDROM"
    uint64_t totalBytes = 0;
    std::optional<std::string> mountPoint;
    // The one extent that places the volume on a disk, when there is one.
    std::optional<int> diskIndex;
    uint64_t firstSector = 0;
    uint64_t sectorCount = 0;
    std::string name;
};

struct DriveInventory {
    std::vector<InventoryDisk> disks;
    std::vector<InventoryVolume> volumes;
    // Sources that were left out, one message each, naming the source and why.
    std::vector<std::string> problems;
};

#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Where one drive number reads from: a path (block device or image file) and, for a
// partition inside a mapped disk, the sector range it covers. Sector numbers given to a
// ranged source are relative to firstSector, and no read may reach past sectorCount.
struct DeviceSource {
    // Sectors from `first` (relative to firstSector), `count` of them.
    struct SectorRun {
        uint64_t first = 0;
        uint64_t count = 0;
        bool operator==(const SectorRun&) const = default;
    };

    std::string path;
    uint64_t firstSector = 0;
    std::optional<uint64_t> sectorCount;
    // Sectors that fail to read although the file holds them, as a failing disk's bad sectors
    // do: a copy of a disk can stand in for the disk itself (the jobs' read-error tests use it).
    std::vector<SectorRun> unreadable = {};

    bool operator==(const DeviceSource&) const = default;
};

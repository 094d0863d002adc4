#pragma once

#include <cstdint>
#include <optional>
#include <string>

// Where one drive number reads from: a path (block device or image file) and, for a
// partition inside a mapped disk, the sector range it covers. Sector numbers given to a
// ranged source are relative to firstSector, and no read may reach past sectorCount.
struct DeviceSource {
    std::string path;
    uint64_t firstSector = 0;
    std::optional<uint64_t> sectorCount;

    bool operator==(const DeviceSource&) const = default;
};

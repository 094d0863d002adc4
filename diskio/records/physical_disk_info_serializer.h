#pragma once

#include "diskio/records/physical_disk_info.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// The stored form of a disk's detail: 77 bytes, packed, little-endian. The identify data is
// not part of it: a 32-bit marker says whether it follows, written by its own serializer.
class PhysicalDiskInfoSerializer {
public:
    static constexpr size_t kSizeTextUnits = 32;

    static constexpr size_t kOffsetDrive = 0;
    static constexpr size_t kOffsetTotalSectors = 1;
    static constexpr size_t kOffsetSizeText = 9;
    static constexpr size_t kOffsetIdentify = kOffsetSizeText + 2 * kSizeTextUnits;
    static constexpr size_t kSize = kOffsetIdentify + 4;

    // Exactly kSize bytes; the identify marker is 1 when `info.identify` has a value.
    static std::vector<uint8_t> Write(const PhysicalDiskInfo& info);

    // Fails, leaving `out` as it was, when fewer than kSize bytes are given. `out.identify` is
    // left empty; `hasIdentify` tells whether identify data follows (any nonzero marker). A size
    // text stored without its NUL keeps at most 31 units, as Write would have cut it.
    static bool Read(std::span<const uint8_t> bytes, PhysicalDiskInfo& out, bool& hasIdentify);
    static bool Read(std::span<const uint8_t> bytes, PhysicalDiskInfo& out);
};

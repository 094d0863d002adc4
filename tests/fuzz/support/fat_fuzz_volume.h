#pragma once

#include "diskio/sources/sector_source.h"
#include "filesystems/fat/fat_file_system.h"
#include "tests/fuzz/support/fuzz_support.h"

#include <cstdint>
#include <span>

// A FAT reader over fuzz input taken as the first sectors of a volume. The volume is as long as
// its boot sector says (capped), so what the input does not hold reads as unreadable sectors,
// as on a disk whose tail has failed.
class FatFuzzVolume {
public:
    // Sectors a volume may claim: bounds the whole-volume passes of one input (twice the longest
    // input, so a failed tail is still met).
    static constexpr uint64_t kMaxVolumeSectors = 1u << 12;

    explicit FatFuzzVolume(std::span<const uint8_t> input);
    CFatFileSystem& Reader() { return m_reader; }

private:
    FuzzScanEnvironment m_scan;
    CFatFileSystem m_reader{m_scan.environment};
};

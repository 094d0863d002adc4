#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One entry of a zip or rar archive as its directory or header describes it.
struct ArchiveEntry {
    std::u16string name;
    uint64_t unpackedSize = 0;
    uint64_t packedSize = 0;
    // MS-DOS date in the high 16 bits, time in the low 16 bits.
    uint32_t dosDateTime = 0;
};

// The entries of one archive in the order they were read, and the sum of their sizes.
struct ArchiveListing {
    // Names longer than this many UTF-16 units are cut.
    static constexpr size_t kMaxNameUnits = 259;
    // A hostile directory of tiny records cannot fill memory.
    static constexpr size_t kMaxEntries = 1 << 20;

    std::vector<ArchiveEntry> entries;
    uint64_t totalUnpackedSize = 0;
    // The directory (zip) or the headers (rar) are missing, or end in bytes that are none:
    // the entries listed are all that could be read.
    bool damaged = false;

    void Add(ArchiveEntry entry);
};

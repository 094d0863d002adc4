#pragma once

#include "archiveview/core/archive_listing.h"
#include "archiveview/core/memory_byte_source.h"

#include <cstddef>
#include <cstdint>
#include <set>

// Runs an archive walk over a fuzz input: its first byte picks a sector that fails to read
// (255: none), the rest is the archive. `reads` is how many sector reads the walk asked for.
template <typename Walk>
ArchiveListing WalkFuzzArchive(const uint8_t* data, size_t size, Walk walk, uint64_t& reads) {
    const std::set<uint64_t> failing =
        data[0] == 255 ? std::set<uint64_t>{} : std::set<uint64_t>{data[0]};
    MemoryByteSource source({data + 1, size - 1}, failing);
    ArchiveListing listing = walk(source, size - 1);
    reads = source.ReadCount();
    return listing;
}

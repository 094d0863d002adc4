// The zip directory walk over any bytes: ends, lists no more than the bytes can hold, and reads
// nothing twice over.
#include "archiveview/core/memory_byte_source.h"
#include "archiveview/core/zip_directory_walk.h"

#include <cstdlib>
#include <set>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    // The first byte picks a sector that fails to read (255: none).
    const std::set<uint64_t> failing =
        data[0] == 255 ? std::set<uint64_t>{} : std::set<uint64_t>{data[0]};
    MemoryByteSource source({data + 1, size - 1}, failing);
    const ArchiveListing listing = ReadZipDirectory(source, size - 1);
    if (listing.entries.size() > (size - 1) / 46)
        std::abort();
    if (source.ReadCount() > 4 * (size / 512 + 2) + 6 * listing.entries.size())
        std::abort();
    return 0;
}

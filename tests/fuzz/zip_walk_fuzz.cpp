// The zip directory walk over any bytes: ends, lists no more than the bytes can hold, and reads
// each sector a bounded number of times.
#include "archiveview/core/zip_directory_walk.h"
#include "tests/fuzz/support/archive_walk_input.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    uint64_t reads = 0;
    const ArchiveListing listing = WalkFuzzArchive(data, size, ReadZipDirectory, reads);
    if (listing.entries.size() > (size - 1) / 46)
        std::abort();
    if (reads > 4 * (size / 512 + 2) + 6 * listing.entries.size())
        std::abort();
    return 0;
}

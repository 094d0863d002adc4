// The RAR header walk over any bytes: ends, lists no more entries than headers fit, and cuts
// every name.
#include "archiveview/core/rar_header_walk.h"
#include "tests/fuzz/support/archive_walk_input.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    uint64_t reads = 0;
    const ArchiveListing listing = WalkFuzzArchive(data, size, ReadRarHeaders, reads);
    if (listing.entries.size() > (size - 1) / 32)
        std::abort();
    for (const auto& entry : listing.entries) {
        if (entry.name.size() > ArchiveListing::kMaxNameUnits)
            std::abort();
    }
    return 0;
}

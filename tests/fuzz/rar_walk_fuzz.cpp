// The RAR header walk over any bytes: ends, and lists no more entries than headers fit.
#include "archiveview/core/memory_byte_source.h"
#include "archiveview/core/rar_header_walk.h"

#include <cstdlib>
#include <set>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    // The first byte picks a sector that fails to read (255: none).
    const std::set<uint64_t> failing =
        data[0] == 255 ? std::set<uint64_t>{} : std::set<uint64_t>{data[0]};
    MemoryByteSource source({data + 1, size - 1}, failing);
    const ArchiveListing listing = ReadRarHeaders(source, size - 1);
    if (listing.entries.size() > (size - 1) / 32)
        std::abort();
    for (const auto& entry : listing.entries) {
        if (entry.name.size() > ArchiveListing::kMaxNameUnits)
            std::abort();
    }
    return 0;
}

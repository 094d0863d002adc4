#include "archiveview/core/archive_listing.h"

void ArchiveListing::Add(ArchiveEntry entry) {
    const uint64_t size = entry.unpackedSize;
    totalUnpackedSize =
        size > UINT64_MAX - totalUnpackedSize ? UINT64_MAX : totalUnpackedSize + size;
    entries.push_back(std::move(entry));
}

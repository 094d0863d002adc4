#include "archiveview/core/archive_entry_name.h"

#include "archiveview/core/archive_listing.h"
#include "platform/text/disk_text_decoding.h"

#include <algorithm>
#include <vector>

bool ReadArchiveEntryName(PreviewByteSource& source, uint64_t offset, uint32_t length,
                          std::u16string& name) {
    // Four UTF-8 bytes at most make one unit of the cut name.
    constexpr uint32_t kMaxBytes = ArchiveListing::kMaxNameUnits * 4;
    std::vector<uint8_t> bytes(std::min(length, kMaxBytes));
    if (ReadBytesAt(source, offset, bytes).result == PreviewByteSource::SectorRead::PastEnd) {
        return false;
    }
    const auto end = std::find(bytes.begin(), bytes.end(), uint8_t{0});
    const bool cut = end == bytes.end() && bytes.size() < length;
    bytes.erase(end, bytes.end());
    name = CutText(DecodeDiskText(bytes, cut), ArchiveListing::kMaxNameUnits);
    return true;
}

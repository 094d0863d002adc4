#include "filesystems/ntfs/ntfs_record_entry_serializer.h"

#include "platform/text/byte_reader.h"
#include "platform/text/byte_writer.h"

#include <limits>

std::optional<std::array<uint8_t, NtfsRecordEntrySerializer::kSize>>
NtfsRecordEntrySerializer::Write(const NtfsRecordEntry& entry) {
    if (entry.sector > std::numeric_limits<uint32_t>::max()) {
        return std::nullopt;
    }
    std::array<uint8_t, kSize> bytes{};
    ByteWriter writer(bytes);
    writer.PutU32(kOffsetSector, static_cast<uint32_t>(entry.sector));
    writer.PutU32(kOffsetItemId, entry.itemId);
    writer.PutU32(kOffsetRecordNumber, entry.recordNumber);
    writer.PutU32(kOffsetParentRecord, entry.parentRecord);
    writer.PutU32(kOffsetIsFile, entry.isFile ? 1 : 0);
    writer.PutU32(kOffsetOrphan, entry.orphan ? 1 : 0);
    return bytes;
}

bool NtfsRecordEntrySerializer::Read(std::span<const uint8_t> bytes, NtfsRecordEntry& out) {
    const ByteReader reader(bytes);
    uint32_t sector = 0;
    uint32_t isFile = 0;
    uint32_t orphan = 0;
    NtfsRecordEntry entry;
    if (!reader.ReadU32(kOffsetSector, sector) || !reader.ReadU32(kOffsetItemId, entry.itemId) ||
        !reader.ReadU32(kOffsetRecordNumber, entry.recordNumber) ||
        !reader.ReadU32(kOffsetParentRecord, entry.parentRecord) ||
        !reader.ReadU32(kOffsetIsFile, isFile) || !reader.ReadU32(kOffsetOrphan, orphan)) {
        return false;
    }
    entry.sector = sector;
    entry.isFile = isFile != 0;
    entry.orphan = orphan != 0;
    out = entry;
    return true;
}

#include "filesystems/ntfs/ntfs_run_entry_serializer.h"

#include "platform/text/byte_reader.h"
#include "platform/text/byte_writer.h"

#include <limits>

namespace {

constexpr uint64_t kMaxU32 = std::numeric_limits<uint32_t>::max();

bool IsMark(char mark) {
    return mark == NtfsRunEntry::kFirst || mark == NtfsRunEntry::kLater;
}

// Whether `raw` uses no bits beyond its stored size (a sparse run has none at all).
bool FitsOffsetSize(uint64_t raw, uint8_t size) {
    return size >= 8 || (raw >> (8 * size)) == 0;
}

} // namespace

std::optional<std::array<uint8_t, NtfsRunEntrySerializer::kSize>>
NtfsRunEntrySerializer::Write(const NtfsRunEntry& run) {
    if (run.lengthSectors > kMaxU32 || run.offsetSize > kMaxOffsetSize || run.rawOffset > kMaxU32 ||
        !FitsOffsetSize(run.rawOffset, run.offsetSize) || !IsMark(run.mark)) {
        return std::nullopt;
    }
    std::array<uint8_t, kSize> bytes{};
    ByteWriter writer(bytes);
    writer.PutU32(kOffsetLink, 0);
    writer.PutU32(kOffsetLength, static_cast<uint32_t>(run.lengthSectors));
    writer.PutU32(kOffsetOffset, static_cast<uint32_t>(run.rawOffset));
    writer.PutU8(kOffsetOffsetSize, run.offsetSize);
    writer.PutU8(kOffsetMark, static_cast<uint8_t>(run.mark));
    return bytes;
}

bool NtfsRunEntrySerializer::Read(std::span<const uint8_t> bytes, NtfsRunEntry& out) {
    const ByteReader reader(bytes);
    uint32_t length = 0;
    uint32_t offset = 0;
    uint8_t size = 0;
    uint8_t mark = 0;
    if (!reader.ReadU32(kOffsetLength, length) || !reader.ReadU32(kOffsetOffset, offset) ||
        !reader.ReadU8(kOffsetOffsetSize, size) || !reader.ReadU8(kOffsetMark, mark)) {
        return false;
    }
    if (size > kMaxOffsetSize || !FitsOffsetSize(offset, size) ||
        !IsMark(static_cast<char>(mark))) {
        return false;
    }
    NtfsRunEntry run;
    run.lengthSectors = length;
    run.rawOffset = offset;
    run.offsetSize = size;
    run.mark = static_cast<char>(mark);
    out = run;
    return true;
}

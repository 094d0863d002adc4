#include "diskio/records/physical_disk_info_serializer.h"

#include "platform/text/byte_reader.h"
#include "platform/text/byte_writer.h"

static_assert(PhysicalDiskInfoSerializer::kOffsetIdentify == 73);
static_assert(PhysicalDiskInfoSerializer::kSize == 77);

std::vector<uint8_t> PhysicalDiskInfoSerializer::Write(const PhysicalDiskInfo& info) {
    std::vector<uint8_t> bytes(kSize, 0);
    ByteWriter writer(bytes);
    writer.PutU8(kOffsetDrive, info.drive);
    writer.PutU64(kOffsetTotalSectors, info.totalSectors);
    writer.PutUtf16Field(kOffsetSizeText, info.sizeText, kSizeTextUnits);
    writer.PutU32(kOffsetIdentify, info.identify.has_value() ? 1 : 0);
    return bytes;
}

bool PhysicalDiskInfoSerializer::Read(std::span<const uint8_t> bytes, PhysicalDiskInfo& out,
                                      bool& hasIdentify) {
    if (bytes.size() < kSize) {
        return false;
    }
    const ByteReader reader(bytes.first(kSize));
    PhysicalDiskInfo info;
    uint32_t identify = 0;
    if (!reader.ReadU8(kOffsetDrive, info.drive) ||
        !reader.ReadU64(kOffsetTotalSectors, info.totalSectors) ||
        !reader.ReadStoredUtf16Field(kOffsetSizeText, kSizeTextUnits, info.sizeText) ||
        !reader.ReadU32(kOffsetIdentify, identify)) {
        return false;
    }
    out = std::move(info);
    hasIdentify = identify != 0;
    return true;
}

bool PhysicalDiskInfoSerializer::Read(std::span<const uint8_t> bytes, PhysicalDiskInfo& out) {
    bool hasIdentify = false;
    return Read(bytes, out, hasIdentify);
}

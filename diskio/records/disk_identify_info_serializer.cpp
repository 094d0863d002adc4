#include "diskio/records/disk_identify_info_serializer.h"

#include "platform/text/byte_reader.h"
#include "platform/text/byte_writer.h"

static_assert(DiskIdentifyInfoSerializer::kOffsetSerialNumber == 41);
static_assert(DiskIdentifyInfoSerializer::kOffsetFirmwareRevision == 62);
static_assert(DiskIdentifyInfoSerializer::kOffsetTemperature == 71);
static_assert(DiskIdentifyInfoSerializer::kSize == 76);

std::vector<uint8_t> DiskIdentifyInfoSerializer::Write(const DiskIdentifyInfo& info) {
    std::vector<uint8_t> bytes(kSize, 0);
    ByteWriter writer(bytes);
    writer.PutTextField(kOffsetModel, info.model, kModelBytes);
    writer.PutTextField(kOffsetSerialNumber, info.serialNumber, kSerialNumberBytes);
    writer.PutTextField(kOffsetFirmwareRevision, info.firmwareRevision, kFirmwareRevisionBytes);
    writer.PutU32(kOffsetTemperature, info.temperature);
    writer.PutU8(kOffsetSpare, 0);
    return bytes;
}

bool DiskIdentifyInfoSerializer::Read(std::span<const uint8_t> bytes, DiskIdentifyInfo& out) {
    if (bytes.size() < kSize) {
        return false;
    }
    const ByteReader reader(bytes.first(kSize));
    DiskIdentifyInfo info;
    if (!reader.ReadStoredTextField(kOffsetModel, kModelBytes, info.model) ||
        !reader.ReadStoredTextField(kOffsetSerialNumber, kSerialNumberBytes, info.serialNumber) ||
        !reader.ReadStoredTextField(kOffsetFirmwareRevision, kFirmwareRevisionBytes,
                                    info.firmwareRevision) ||
        !reader.ReadU32(kOffsetTemperature, info.temperature)) {
        return false;
    }
    out = std::move(info);
    return true;
}

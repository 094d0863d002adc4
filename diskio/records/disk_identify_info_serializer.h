#pragma once

#include "diskio/records/disk_identify_info.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// The stored form of a disk's identify data: 76 bytes, packed, little-endian. The three texts
// are 8-bit, each ending with a NUL inside its field; longer text is cut.
class DiskIdentifyInfoSerializer {
public:
    static constexpr size_t kModelBytes = DiskIdentifyInfo::kMaxModel + 1;
    static constexpr size_t kSerialNumberBytes = DiskIdentifyInfo::kMaxSerialNumber + 1;
    static constexpr size_t kFirmwareRevisionBytes = DiskIdentifyInfo::kMaxFirmwareRevision + 1;

    static constexpr size_t kOffsetModel = 0;
    static constexpr size_t kOffsetSerialNumber = kOffsetModel + kModelBytes;
    static constexpr size_t kOffsetFirmwareRevision = kOffsetSerialNumber + kSerialNumberBytes;
    static constexpr size_t kOffsetTemperature = kOffsetFirmwareRevision + kFirmwareRevisionBytes;
    static constexpr size_t kOffsetSpare = kOffsetTemperature + 4;
    static constexpr size_t kSize = kOffsetSpare + 1;

    // Exactly kSize bytes; the spare byte is 0.
    static std::vector<uint8_t> Write(const DiskIdentifyInfo& info);

    // Fails, leaving `out` as it was, when fewer than kSize bytes are given. The spare byte is
    // not looked at. A text stored without its NUL keeps the record's maximum (40, 20 and 8
    // bytes), as Write would have cut it.
    static bool Read(std::span<const uint8_t> bytes, DiskIdentifyInfo& out);
};

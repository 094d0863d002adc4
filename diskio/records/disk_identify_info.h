#pragma once

#include <cstdint>
#include <string>

// What a hard disk says of itself: model, serial number and firmware revision (8-bit text,
// at most 40, 20 and 8 characters) and the raw value of the temperature attribute, 0 when it
// was not read. Image files and every other kind of drive carry an empty one.
struct DiskIdentifyInfo {
    static constexpr size_t kMaxModel = 40;
    static constexpr size_t kMaxSerialNumber = 20;
    static constexpr size_t kMaxFirmwareRevision = 8;

    std::string model;
    std::string serialNumber;
    std::string firmwareRevision;
    uint32_t temperature = 0;

    bool operator==(const DiskIdentifyInfo&) const = default;
};

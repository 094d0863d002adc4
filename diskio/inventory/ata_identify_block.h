#pragma once

#include "diskio/records/disk_identify_info.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

// Reads the fields a disk reports about itself out of the 512-byte blocks it answers with:
// IDENTIFY DEVICE data, SMART READ DATA and the SCSI unit serial number page. Every function
// works on the bytes alone and accepts any content.
class AtaIdentifyBlock {
public:
    static constexpr size_t kSize = 512;
    using Block = std::array<uint8_t, kSize>;

    // Model, serial number and firmware revision of an identify block as the device sent it
    // (two characters per little-endian word, the first in the high byte). The temperature
    // stays 0.
    static DiskIdentifyInfo Strings(std::span<const uint8_t, kSize> block);

    // The SMART feature set is both supported and enabled, in words whose validity the block
    // confirms (words 83 and 87 carry 01b in bits 15:14).
    static bool SmartEnabled(std::span<const uint8_t, kSize> block);

    // The block as the device sent it, from the form the kernel's HDIO_GET_IDENTITY returns:
    // the kernel rewrites the three strings in reading order and keeps the words in host order.
    static Block FromKernelIdentity(std::span<const uint8_t, kSize> kernelBlock);

    // The first raw byte of attribute 194 (temperature) in SMART data; 0 when the table has
    // no such attribute.
    static uint32_t SmartTemperature(std::span<const uint8_t, kSize> smartData);

    // The serial number in a unit serial number VPD page (page 80h, as sysfs gives it in
    // vpd_pg80); empty when the page is short or is another page.
    static std::string VpdSerialNumber(std::span<const uint8_t> page);

    // Printable ASCII only, without leading and trailing blanks, at most `limit` characters.
    static std::string CleanText(std::string_view raw, size_t limit);
};

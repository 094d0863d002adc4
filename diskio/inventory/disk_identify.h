#pragma once

#include "diskio/records/disk_identify_info.h"

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

// Asks a physical disk (drive number 0x80 + n, through the device table) for its model,
// serial number, firmware revision and temperature. Only read commands ever reach the disk:
// HDIO_GET_IDENTITY, else IDENTIFY DEVICE over ATA PASS-THROUGH, else the strings the kernel
// keeps in sysfs for that block device; the temperature comes from SMART READ DATA when the
// identify data says SMART is supported and enabled. Image files, unmapped drives and drive
// letters read nothing.
//
// Where the disk's identify data and sysfs both name a model and sysfs's is not part of the
// disk's (the kernel shortens it to 16 characters for SATA disks), sysfs's model is kept: it
// is what the rest of the system shows for that device.
class DiskIdentifier {
public:
    explicit DiskIdentifier(std::filesystem::path sysfsRoot = "/sys");

    // Nonzero when any of the strings was read; otherwise `out` is left empty.
    int Read(uint8_t drive, DiskIdentifyInfo& out) const;

    // The strings sysfs holds for block device `blockName` ("sda", "nvme0n1", "vda"); nonzero
    // when any was found, otherwise `out` is left empty.
    int ReadFromSysfs(std::string_view blockName, DiskIdentifyInfo& out) const;

    // The model sysfs gives for `blockName`, cleaned; empty when there is none.
    std::string SysfsModel(std::string_view blockName) const;

    // The kernel's name of the device `devicePath` leads to ("/dev/sda" -> "sda"); empty when
    // the path does not resolve.
    static std::string BlockName(const std::string& devicePath);

    // Replaces the identify model by `sysfsModel` when that is neither empty nor part of it.
    static void ApplySysfsModel(DiskIdentifyInfo& info, std::string_view sysfsModel);

    // Sense data returned with an ATA pass-through command reports a failure: a sense key
    // other than none or recovered, an ATA status with ERR or DF set, or a format not known.
    static bool SenseReportsError(std::span<const uint8_t> sense);

private:
    std::filesystem::path m_sysfsRoot;
};

// DiskIdentifier on the system's sysfs.
int ReadDiskIdentify(uint8_t drive, DiskIdentifyInfo& out);

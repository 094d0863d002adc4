#pragma once

#include "diskio/records/logical_drive_info.h"
#include "diskio/records/physical_disk_info.h"

#include <cstdint>
#include <string>
#include <variant>

enum class DriveKind : uint8_t {
    HardDisk = 0,
    LogicalDrive = 1,
    FoundVolume = 2,
    RebuiltVolume = 3,
    RemovableDisk = 4,
    CdRomDrive = 5,
    DiskImage = 6,
    VolumeImage = 7,
    CdRomImage = 8,
};

// One entry of the drive list. Disks, CD/DVD drives and images of them carry a
// PhysicalDiskInfo; volumes carry a LogicalDriveInfo.
struct DriveNode {
    uint8_t number = 0; // drive number for DiskReadWrite: 0x80 + n for disks, 10, 11, ... else
    DriveKind kind = DriveKind::HardDisk;
    std::u16string imagePath; // kinds 6 to 8
    std::variant<std::monostate, PhysicalDiskInfo, LogicalDriveInfo> detail;

    const PhysicalDiskInfo* Physical() const { return std::get_if<PhysicalDiskInfo>(&detail); }
    const LogicalDriveInfo* Logical() const { return std::get_if<LogicalDriveInfo>(&detail); }
    PhysicalDiskInfo* Physical() { return std::get_if<PhysicalDiskInfo>(&detail); }
    LogicalDriveInfo* Logical() { return std::get_if<LogicalDriveInfo>(&detail); }

    bool operator==(const DriveNode&) const = default;
};

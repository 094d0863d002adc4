#pragma once

#include "diskio/records/drive_node.h"

#include <cstdint>
#include <string>
#include <utility>

// Drive-list nodes for tests of the drive tree and its placement rules: only the fields that
// place and name a drive are set.

// A hard disk (or, with another kind, a disk image) of that number, without identify data.
inline DriveNode DiskNode(uint8_t number, DriveKind kind = DriveKind::HardDisk,
                          std::u16string imagePath = {}) {
    DriveNode node;
    node.number = number;
    node.kind = kind;
    node.imagePath = std::move(imagePath);
    PhysicalDiskInfo info;
    info.drive = number;
    info.sizeText = u"1.00 GB";
    node.detail = info;
    return node;
}

// A volume of the lost-drive search on disk `disk`, or inside the image file `imagePath`; the
// search names it in its root path.
inline DriveNode FoundVolumeNode(uint8_t number, uint8_t disk, std::u16string name,
                                 std::u16string imagePath = {},
                                 DriveKind kind = DriveKind::FoundVolume) {
    DriveNode node;
    node.number = number;
    node.kind = kind;
    node.imagePath = std::move(imagePath);
    LogicalDriveInfo info;
    info.disk = disk;
    info.rootPath = std::move(name);
    node.detail = info;
    return node;
}

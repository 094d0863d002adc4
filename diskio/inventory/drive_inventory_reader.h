#pragma once

#include "diskio/inventory/drive_inventory.h"
#include "diskio/inventory/system_paths.h"
#include "platform/devices/device_table.h"

// Builds the inventory of disks and lettered volumes, either from Linux (sysfs, /dev and the
// mount table) or from a device table that the device map filled.
class DriveInventoryReader {
public:
    static constexpr int kMaxDisks = DeviceTable::kMaxPhysicalDisks;
    static constexpr int kMaxLetters = DeviceTable::kMaxDriveLetters;

    // Whole disks under <sysfs>/block (sd, nvme, vd, hd, mmcblk, xvd) in name order, at most
    // 24, each kept only when its /dev node opens read-only; then letters: floppies A: and B:,
    // from C: each disk's partitions (extended containers skipped), whole-disk file systems on
    // disks without partitions, device-mapper and md volumes, and CD/DVD drives.
    static DriveInventory FromSystem(const SystemPaths& paths);

    // The device map as the whole inventory: diskN entries are hard disks, letters are "FIXED"
    // volumes, placed on their disk when they name a range of one. A source that cannot be
    // read (DeviceHandle::ProblemOpening) is left out and named in `problems`.
    static DriveInventory FromDeviceTable(const DeviceTable& table);

    // Makes the inventory's sources the table's, so drive numbers reach them.
    static void ApplyToDeviceTable(const DriveInventory& inventory, DeviceTable& table);
};

#pragma once

#include "diskio/records/physical_disk_info.h"
#include "platform/devices/device_table.h"

#include <string>

// Names for a disk that said nothing of itself: no model, serial number or firmware, as every
// mapped image file and many virtual disks. Such a disk is named after what the person gave
// for it, so that two of them can be told apart.

// Whether any of the identify texts has a character other than blanks before its terminator.
bool DiskIdentifiesItself(const PhysicalDiskInfo& disk);

// Where the table reads the disk from: the file name of an image file, the whole path of a
// device; empty when the table has no source for the drive number.
std::u16string DiskSourceName(uint8_t drive, const DeviceTable& table);

// "<source name> (<size text>)" for a disk that does not identify itself and has a source in
// the table; empty otherwise.
std::u16string UnidentifiedDiskName(const PhysicalDiskInfo& disk, const DeviceTable& table);

#pragma once

#include "platform/devices/device_handle.h"

#include <cstdint>
#include <string>

// The one entry for sector input and output. Drive numbers from 0x80 up are physical disks
// (0x80 + n), lower numbers are logical drives by letter index (0 = A:). Sectors are 512
// bytes; the sector number is a 64-bit count passed as two halves. A null handle, or one in
// the None state, means: open the source for this call and close it after. Nonzero on
// success; a short read is a failure. Sources are only ever opened for reading: a write
// request fails and changes nothing.
int DiskReadWrite(uint8_t drive, uint32_t sectorLow, uint32_t sectorHigh, void* buffer,
                  uint32_t byteCount, const DeviceHandle* handle, uint8_t write);

// Opens "\\.\PHYSICALDRIVE%d" for drive numbers from 0x80 up, else "\\.\%c:", through the
// device table; a handle in the Invalid state when the drive is not mapped or cannot be opened.
DeviceHandle OpenDiskDevice(uint8_t drive);

// The Windows name of a drive number, as OpenDiskDevice formats it.
std::string DiskDeviceName(uint8_t drive);

int LogicalDiskReadWrite(uint8_t drive, uint32_t sectorLow, uint32_t sectorHigh, void* buffer,
                         uint32_t byteCount, uint8_t write);
int HandleDiskReadWrite(uint8_t drive, uint32_t sectorLow, uint32_t sectorHigh, void* buffer,
                        uint32_t byteCount, const DeviceHandle& handle, uint8_t write);
int PhysicalDiskReadWrite(uint8_t drive, uint32_t sectorLow, uint32_t sectorHigh, void* buffer,
                          uint32_t byteCount, const DeviceHandle* handle, uint8_t write);

// Attempts made on physical disks since the process started; lets tests see the retries.
uint64_t PhysicalReadAttemptCount();

#include "diskio/sources/disk_read_write.h"

#include "diskio/inventory/device_map_loader.h"
#include "diskio/sources/read_attempts_setting.h"

#include <atomic>
#include <cstdio>

namespace {

constexpr uint64_t kSectorSize = 512;

std::atomic<uint64_t> g_physicalAttempts{0};

uint64_t SectorNumber(uint32_t low, uint32_t high) {
    return (static_cast<uint64_t>(high) << 32) | low;
}

// One read on an open handle. Writes are refused: no source is opened for writing, so a
// write could never reach it, and the caller must learn that it did not happen.
int ReadOnHandle(const DeviceHandle& handle, uint64_t sector, void* buffer, uint32_t byteCount,
                 uint8_t write) {
    if (write != 0 || !handle.IsOpen())
        return 0;
    if (sector > UINT64_MAX / kSectorSize)
        return 0;
    return handle.ReadAt(sector * kSectorSize, buffer, byteCount) ? 1 : 0;
}

bool HasHandle(const DeviceHandle* handle) {
    return handle != nullptr && handle->GetState() != DeviceHandle::State::None;
}

int ReadOnce(uint8_t drive, uint64_t sector, void* buffer, uint32_t byteCount,
             const DeviceHandle* handle, uint8_t write) {
    if (HasHandle(handle))
        return ReadOnHandle(*handle, sector, buffer, byteCount, write);
    if (write != 0)
        return 0;
    DeviceHandle own = OpenDiskDevice(drive);
    return ReadOnHandle(own, sector, buffer, byteCount, write);
}

} // namespace

std::string DiskDeviceName(uint8_t drive) {
    char name[32];
    if (drive >= 0x80)
        std::snprintf(name, sizeof name, "\\\\.\\PHYSICALDRIVE%d", drive - 0x80);
    else
        std::snprintf(name, sizeof name, "\\\\.\\%c:", static_cast<char>('A' + drive));
    return name;
}

DeviceHandle OpenDiskDevice(uint8_t drive) {
    std::optional<DeviceSource> source =
        DeviceMapLoader::ProcessTable().Resolve(DiskDeviceName(drive));
    if (!source)
        return DeviceHandle::MakeInvalid();
    return DeviceHandle::Open(*source);
}

int DiskReadWrite(uint8_t drive, uint32_t sectorLow, uint32_t sectorHigh, void* buffer,
                  uint32_t byteCount, const DeviceHandle* handle, uint8_t write) {
    if (drive >= 0x80)
        return PhysicalDiskReadWrite(drive, sectorLow, sectorHigh, buffer, byteCount, handle,
                                     write);
    if (HasHandle(handle))
        return HandleDiskReadWrite(drive, sectorLow, sectorHigh, buffer, byteCount, *handle, write);
    return LogicalDiskReadWrite(drive, sectorLow, sectorHigh, buffer, byteCount, write);
}

int LogicalDiskReadWrite(uint8_t drive, uint32_t sectorLow, uint32_t sectorHigh, void* buffer,
                         uint32_t byteCount, uint8_t write) {
    return ReadOnce(drive, SectorNumber(sectorLow, sectorHigh), buffer, byteCount, nullptr, write);
}

int HandleDiskReadWrite(uint8_t, uint32_t sectorLow, uint32_t sectorHigh, void* buffer,
                        uint32_t byteCount, const DeviceHandle& handle, uint8_t write) {
    return ReadOnHandle(handle, SectorNumber(sectorLow, sectorHigh), buffer, byteCount, write);
}

int PhysicalDiskReadWrite(uint8_t drive, uint32_t sectorLow, uint32_t sectorHigh, void* buffer,
                          uint32_t byteCount, const DeviceHandle* handle, uint8_t write) {
    uint32_t attempts = ReadAttemptsSetting::AttemptsToMake();
    if (write != 0)
        return 0;
    uint64_t sector = SectorNumber(sectorLow, sectorHigh);
    int result = 0;
    for (uint32_t attempt = 0; attempt < attempts; ++attempt) {
        g_physicalAttempts.fetch_add(1);
        result = ReadOnce(drive, sector, buffer, byteCount, handle, write);
        if (result != 0)
            break;
    }
    return result;
}

uint64_t PhysicalReadAttemptCount() {
    return g_physicalAttempts.load();
}

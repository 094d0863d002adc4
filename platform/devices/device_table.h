#pragma once

#include "platform/devices/device_source.h"

#include <array>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Maps the program's drive numbers to Linux sources: physical disk n (drive number 0x80 + n,
// n < 24) and drive letters by zero-based index (0 = A:). The process has one table, filled
// from the device map (MORWICK_DEVICES, by diskio's DeviceMapLoader) or, where no map is set,
// from the system by the drive list.
class DeviceTable {
public:
    static constexpr int kMaxPhysicalDisks = 24;
    static constexpr int kMaxDriveLetters = 26;

    void SetPhysicalDisk(int index, DeviceSource source);
    void SetDriveLetter(int index, DeviceSource source);
    void Clear();

    std::optional<DeviceSource> PhysicalDisk(int index) const;
    std::optional<DeviceSource> DriveLetter(int index) const;
    // Every disk and letter maps to the same source in both tables.
    bool SameEntries(const DeviceTable& other) const;

    // Resolves a Windows device name ("\\.\PHYSICALDRIVE3", "\\.\C:") to its source.
    std::optional<DeviceSource> Resolve(std::string_view deviceName) const;

    // The process-wide table every sector read goes through; empty until it is filled.
    static DeviceTable& Process();

private:
    mutable std::mutex m_mutex;
    std::array<std::optional<DeviceSource>, kMaxPhysicalDisks> m_disks;
    std::array<std::optional<DeviceSource>, kMaxDriveLetters> m_letters;
};

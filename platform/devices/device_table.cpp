#include "platform/devices/device_table.h"

#include <cctype>

void DeviceTable::SetPhysicalDisk(int index, DeviceSource source) {
    if (index < 0 || index >= kMaxPhysicalDisks)
        return;
    std::lock_guard lock(m_mutex);
    m_disks[static_cast<size_t>(index)] = std::move(source);
}

void DeviceTable::SetDriveLetter(int index, DeviceSource source) {
    if (index < 0 || index >= kMaxDriveLetters)
        return;
    std::lock_guard lock(m_mutex);
    m_letters[static_cast<size_t>(index)] = std::move(source);
}

void DeviceTable::Clear() {
    std::lock_guard lock(m_mutex);
    m_disks.fill(std::nullopt);
    m_letters.fill(std::nullopt);
}

std::optional<DeviceSource> DeviceTable::PhysicalDisk(int index) const {
    if (index < 0 || index >= kMaxPhysicalDisks)
        return std::nullopt;
    std::lock_guard lock(m_mutex);
    return m_disks[static_cast<size_t>(index)];
}

std::optional<DeviceSource> DeviceTable::DriveLetter(int index) const {
    if (index < 0 || index >= kMaxDriveLetters)
        return std::nullopt;
    std::lock_guard lock(m_mutex);
    return m_letters[static_cast<size_t>(index)];
}

bool DeviceTable::SameEntries(const DeviceTable& other) const {
    for (int index = 0; index < kMaxPhysicalDisks; ++index)
        if (PhysicalDisk(index) != other.PhysicalDisk(index))
            return false;
    for (int index = 0; index < kMaxDriveLetters; ++index)
        if (DriveLetter(index) != other.DriveLetter(index))
            return false;
    return true;
}

std::optional<DeviceSource> DeviceTable::Resolve(std::string_view name) const {
    constexpr std::string_view kPrefix = "\\\\.\\";
    if (name.substr(0, kPrefix.size()) != kPrefix)
        return std::nullopt;
    name.remove_prefix(kPrefix.size());

    constexpr std::string_view kPhysical = "PHYSICALDRIVE";
    if (name.size() > kPhysical.size() && name.substr(0, kPhysical.size()) == kPhysical) {
        std::string_view digits = name.substr(kPhysical.size());
        if (digits.size() > 2)
            return std::nullopt;
        int index = 0;
        for (char c : digits) {
            if (!std::isdigit(static_cast<unsigned char>(c)))
                return std::nullopt;
            index = index * 10 + (c - '0');
        }
        return PhysicalDisk(index);
    }
    if (name.size() == 2 && name[1] == ':') {
        char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])));
        if (letter < 'A' || letter > 'Z')
            return std::nullopt;
        return DriveLetter(letter - 'A');
    }
    return std::nullopt;
}

DeviceTable& DeviceTable::Process() {
    static DeviceTable table;
    return table;
}

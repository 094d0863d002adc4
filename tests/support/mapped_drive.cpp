#include "tests/support/mapped_drive.h"

#include "platform/devices/device_table.h"

#include <utility>

MappedDrive::MappedDrive(std::filesystem::path image, uint8_t partitionType)
    : m_image(std::move(image)) {
    const uint64_t sectors = std::filesystem::file_size(m_image) / 512;
    LogicalDriveInfo info;
    info.drive = kDriveLetter;
    info.disk = kDriveLetter;
    info.totalSectors = sectors;
    info.lastSector = sectors - 1;
    info.partitionType = partitionType;
    m_node.number = kDriveLetter;
    m_node.kind = DriveKind::LogicalDrive;
    m_node.detail = info;
    Map();
}

void MappedDrive::Map(std::optional<uint64_t> readableSectors,
                      std::vector<DeviceSource::SectorRun> unreadable) const {
    DeviceTable::Process().SetDriveLetter(
        kDriveLetter, DeviceSource{m_image.string(), 0, readableSectors, std::move(unreadable)});
}

uint64_t MappedDrive::LastSector() const {
    return m_node.Logical()->lastSector;
}

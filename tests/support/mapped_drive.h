#pragma once

#include "diskio/records/drive_node.h"
#include "platform/devices/device_source.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

// An image file mapped as drive C: through the process's device table, and the drive node
// that names it as a logical drive of the given partition type.
class MappedDrive {
public:
    static constexpr int kDriveLetter = 2;

    MappedDrive(std::filesystem::path image, uint8_t partitionType);

    // Maps the image again; with `readableSectors`, reads past that many sectors fail, and
    // reads touching a run of `unreadable` fail too.
    void Map(std::optional<uint64_t> readableSectors = std::nullopt,
             std::vector<DeviceSource::SectorRun> unreadable = {}) const;
    DriveNode& Node() { return m_node; }
    const DriveNode& Node() const { return m_node; }
    const std::filesystem::path& Image() const { return m_image; }
    uint64_t LastSector() const;

private:
    std::filesystem::path m_image;
    DriveNode m_node;
};

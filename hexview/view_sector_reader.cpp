#include "hexview/view_sector_reader.h"

#include "diskio/sources/disk_read_write.h"
#include "diskio/sources/image_file_reader.h"
#include "filesystems/cluster_list.h"
#include "hexview/hex_viewer_settings.h"
#include "platform/text/utf_conversion.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint64_t kSectorBytes = HexViewerSettings::kSectorBytes;

} // namespace

bool ViewSectorReader::ReadSectors(uint64_t position, uint32_t sectorCount, uint8_t* buffer) const {
    if (sectorCount == 0)
        return true;
    if (m_settings.mode == HexViewerSettings::Mode::File) {
        // Consecutive sectors of a file need not follow each other on the disk.
        bool all = true;
        for (uint32_t i = 0; i < sectorCount; ++i) {
            if (position > UINT64_MAX - i) {
                std::memset(buffer + i * kSectorBytes, 0, (sectorCount - i) * kSectorBytes);
                return false;
            }
            all = ReadFileSector(position + i, buffer + i * kSectorBytes) && all;
        }
        return all;
    }
    // Only the range's own sectors: what lies after it is not shown as part of it.
    const uint64_t rangeSectors = m_settings.size / kSectorBytes;
    if (position >= rangeSectors || sectorCount > rangeSectors - position ||
        position > UINT64_MAX - m_settings.firstSector) {
        std::memset(buffer, 0, size_t{sectorCount} * kSectorBytes);
        return false;
    }
    return ReadSource(m_settings.firstSector + position, sectorCount, buffer);
}

bool ViewSectorReader::FileSector(uint64_t position, uint64_t& sector, bool& hole) const {
    hole = false;
    const uint64_t spc = m_settings.sectorsPerCluster;
    if (spc == 0 || m_settings.clusters.empty())
        return false;
    const uint64_t index = position / spc;
    // Past the list lies nothing of this file.
    if (index >= m_settings.clusters.size())
        return false;
    const uint32_t cluster = m_settings.clusters[static_cast<size_t>(index)];
    if (ClusterList::IsSparse(cluster)) {
        hole = true;
        return false;
    }
    uint64_t number = cluster;
    if (m_settings.partitionType != HexViewerSettings::kNtfsPartitionType) {
        if (number < 2)
            return false; // FAT clusters start at 2
        number -= 2;
    }
    if (number > (UINT64_MAX - spc) / spc)
        return false;
    const uint64_t relative = number * spc + position % spc;
    if (relative > UINT64_MAX - m_settings.dataStartSector)
        return false;
    sector = relative + m_settings.dataStartSector;
    return true;
}

bool ViewSectorReader::ReadFileSector(uint64_t position, uint8_t* buffer) const {
    uint64_t sector = 0;
    bool hole = false;
    if (!FileSector(position, sector, hole)) {
        std::memset(buffer, 0, kSectorBytes);
        return hole;
    }
    bool read = ReadSource(sector, 1, buffer);
    // Bytes past the valid length were never written: zeros, whatever the disk holds there.
    const uint64_t start = position * kSectorBytes;
    if (position <= UINT64_MAX / kSectorBytes && m_settings.validLength < start + kSectorBytes) {
        const uint64_t keep = m_settings.validLength > start ? m_settings.validLength - start : 0;
        std::memset(buffer + keep, 0, static_cast<size_t>(kSectorBytes - keep));
    }
    return read;
}

bool ViewSectorReader::ReadSource(uint64_t sector, uint32_t sectorCount, uint8_t* buffer) const {
    // A failed read shows zeros, never what the buffer held before.
    if (!ReadUnzeroed(sector, sectorCount, buffer)) {
        std::memset(buffer, 0, size_t{sectorCount} * kSectorBytes);
        return false;
    }
    return true;
}

bool ViewSectorReader::ReadUnzeroed(uint64_t sector, uint32_t sectorCount, uint8_t* buffer) const {
    if (m_settings.imageFlag) {
        const std::u16string& path = m_settings.mode == HexViewerSettings::Mode::File
                                         ? m_settings.imagePath
                                         : m_settings.name;
        return ImageFileReader::ReadSectors(Utf16ToUtf8(path), 0, sector, buffer, sectorCount);
    }
    if (sectorCount > UINT32_MAX / kSectorBytes)
        return false;
    return DiskReadWrite(m_settings.drive, static_cast<uint32_t>(sector),
                         static_cast<uint32_t>(sector >> 32), buffer,
                         static_cast<uint32_t>(sectorCount * kSectorBytes), nullptr, 0) != 0;
}

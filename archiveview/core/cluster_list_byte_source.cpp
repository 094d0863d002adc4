#include "archiveview/core/cluster_list_byte_source.h"

#include "diskio/sources/disk_read_write.h"
#include "diskio/sources/image_file_reader.h"

#include <algorithm>

ClusterListByteSource::ClusterListByteSource(const PreviewFileInfo& info, SectorReader reader)
    : m_info(info), m_reader(std::move(reader)) {}

bool ClusterListByteSource::DeviceSector(uint64_t fileSector, uint64_t& deviceSector, bool& sparse,
                                         bool& pastEnd) const {
    sparse = false;
    pastEnd = false;
    const uint32_t perCluster = m_info.sectorsPerCluster;
    if (m_info.clusters == nullptr || perCluster == 0 ||
        fileSector / perCluster >= m_info.clusterCount) {
        pastEnd = true;
        return false;
    }
    uint64_t cluster = m_info.clusters[fileSector / perCluster];
    // The marker is a marker on either file system, never cluster 0xFFFFFFFF - 2.
    if (cluster == kPreviewSparseCluster) {
        sparse = true;
        return false;
    }
    if (m_info.partitionType != kPartitionTypeNtfs) {
        if (cluster < 2) {
            return false;
        }
        cluster -= 2;
    }
    const uint64_t within = cluster * perCluster + fileSector % perCluster;
    if (m_info.dataStartSector > UINT64_MAX - within) {
        return false;
    }
    deviceSector = m_info.dataStartSector + within;
    return true;
}

PreviewByteSource::SectorRead
ClusterListByteSource::ReadSector(uint64_t fileSector, std::span<uint8_t, kSectorBytes> out) {
    std::fill(out.begin(), out.end(), uint8_t{0});
    uint64_t deviceSector = 0;
    bool sparse = false;
    bool pastEnd = false;
    if (!DeviceSector(fileSector, deviceSector, sparse, pastEnd)) {
        return pastEnd ? SectorRead::PastEnd : sparse ? SectorRead::Ok : SectorRead::Failed;
    }
    if (!m_reader || !m_reader(deviceSector, out.data())) {
        std::fill(out.begin(), out.end(), uint8_t{0});
        return SectorRead::Failed;
    }
    return SectorRead::Ok;
}

ClusterListByteSource::SectorReader ClusterListByteSource::DeviceReader(const PreviewFileInfo& info,
                                                                        std::string imagePath) {
    if (info.isImageFile != 0) {
        return [path = std::move(imagePath)](uint64_t sector, uint8_t* buffer) {
            return ImageFileReader::ReadSectors(path, 0, sector, buffer, 1);
        };
    }
    return [drive = info.driveCode](uint64_t sector, uint8_t* buffer) {
        return DiskReadWrite(drive, static_cast<uint32_t>(sector),
                             static_cast<uint32_t>(sector >> 32), buffer,
                             PreviewByteSource::kSectorBytes, nullptr, 0) != 0;
    };
}

#include "jobs/recovery/found_file_clusters.h"

#include "diskio/sources/sector_source.h"
#include "filesystems/fat/fat_file_data.h"
#include "filesystems/fat/fat_file_system.h"
#include "filesystems/found_item.h"
#include "filesystems/ntfs/ntfs_file_data.h"
#include "filesystems/ntfs/ntfs_file_system.h"

#include <algorithm>

namespace {

// The source's place: drive or image, and where the volume's sector 0 lies in it.
bool PlaceOn(const SectorSource& source, FoundFileClusters& out, uint64_t& origin) {
    if (source.IsDrive()) {
        out.drive = source.Drive();
    } else if (source.IsImage()) {
        out.fromImage = true;
        out.imagePath = source.ImagePath();
    } else {
        return false;
    }
    origin = source.IsAbsolute() ? 0 : source.FirstSector();
    return true;
}

} // namespace

FoundFileClusters FatFoundFileClusters(CFatFileSystem& volume, const FoundItem& item,
                                       bool folderDeleted) {
    FoundFileClusters out;
    uint64_t origin = 0;
    if (!PlaceOn(volume.Source(), out, origin))
        return out;
    const FatFileData data(volume, item, folderDeleted);
    out.list.byteLength = item.size;
    out.list.validLength = item.size;
    if (data.IsRaw()) {
        // A sector stands for a cluster; the list holds absolute sectors.
        const uint64_t first = data.RawFirstSector();
        const uint64_t count = data.RawSectors();
        if (count > FoundFileClusters::kMaxClusters || first >= ClusterList::kSparseCluster ||
            count > ClusterList::kSparseCluster - first) {
            out.status = FoundFileClusters::Status::BeyondList;
            return out;
        }
        out.partitionType = FoundFileClusters::kNtfsNumbering;
        out.sectorsPerCluster = 1;
        out.dataStartSector = 0;
        out.list.clusters.resize(static_cast<size_t>(count));
        for (uint64_t i = 0; i < count; ++i)
            out.list.clusters[static_cast<size_t>(i)] = static_cast<uint32_t>(first + i);
        out.status = FoundFileClusters::Status::Ok;
        return out;
    }
    out.sectorsPerCluster = volume.SectorsPerCluster();
    if (out.sectorsPerCluster == 0) {
        out.status = FoundFileClusters::Status::NoData;
        return out;
    }
    if (data.Clusters().size() > FoundFileClusters::kMaxClusters) {
        out.status = FoundFileClusters::Status::BeyondList;
        return out;
    }
    out.partitionType = FoundFileClusters::kFatNumbering;
    out.dataStartSector = origin + volume.ClusterToSector(2);
    out.list.clusters = data.Clusters();
    out.status = FoundFileClusters::Status::Ok;
    return out;
}

FoundFileClusters NtfsFoundFileClusters(CNtfsFileSystem& volume, const FoundItem& item) {
    FoundFileClusters out;
    uint64_t origin = 0;
    if (!PlaceOn(volume.Source(), out, origin))
        return out;
    const NtfsFileData data(volume, item);
    out.partitionType = FoundFileClusters::kNtfsNumbering;
    out.sectorsPerCluster = volume.SectorsPerCluster();
    out.dataStartSector = origin;
    if (!data.Available() || data.IsResident()) {
        out.status = FoundFileClusters::Status::NoData;
        return out;
    }
    std::optional<ClusterList> list = data.Clusters(FoundFileClusters::kMaxClusters);
    if (!list) {
        out.status = FoundFileClusters::Status::BeyondList;
        return out;
    }
    out.list = std::move(*list);
    out.compressed = data.IsCompressed();
    out.list.byteLength = item.size;
    out.list.validLength = std::min(out.list.validLength, item.size);
    out.status = FoundFileClusters::Status::Ok;
    return out;
}

FoundFileClusters FatFoundFolderClusters(CFatFileSystem& volume, const FoundItem& folder,
                                         bool deleted) {
    FoundFileClusters out;
    uint64_t origin = 0;
    if (!PlaceOn(volume.Source(), out, origin))
        return out;
    out.partitionType = FoundFileClusters::kFatNumbering;
    out.sectorsPerCluster = volume.SectorsPerCluster();
    out.dataStartSector = origin + volume.ClusterToSector(2);
    out.status = FoundFileClusters::Status::Ok;
    if (folder.firstCluster < 2 || folder.firstCluster >= ClusterList::kSparseCluster)
        return out;
    const auto first = static_cast<uint32_t>(folder.firstCluster);
    if (deleted)
        out.list.clusters = {first};
    else
        out.list.clusters = volume.GetClusterChain(first);
    if (out.list.clusters.size() > FoundFileClusters::kMaxClusters) {
        out.list.clusters.clear();
        out.status = FoundFileClusters::Status::BeyondList;
        return out;
    }
    out.list.byteLength = uint64_t{out.sectorsPerCluster} * 512 * out.list.clusters.size();
    out.list.validLength = out.list.byteLength;
    return out;
}

FoundFileClusters CopiedFileClusters(const std::string& copyPath, uint64_t size) {
    FoundFileClusters out;
    const uint64_t sectors = size / 512 + (size % 512 != 0 ? 1 : 0);
    if (sectors > FoundFileClusters::kMaxClusters) {
        out.status = FoundFileClusters::Status::BeyondList;
        return out;
    }
    out.partitionType = FoundFileClusters::kNtfsNumbering;
    out.sectorsPerCluster = 1;
    out.dataStartSector = 0;
    out.fromImage = true;
    out.imagePath = copyPath;
    out.list.byteLength = size;
    out.list.validLength = size;
    out.list.clusters.resize(static_cast<size_t>(sectors));
    for (uint64_t i = 0; i < sectors; ++i)
        out.list.clusters[static_cast<size_t>(i)] = static_cast<uint32_t>(i);
    out.status = FoundFileClusters::Status::Ok;
    return out;
}

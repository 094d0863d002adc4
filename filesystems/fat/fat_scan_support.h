#pragma once

// Helpers shared by the advance scan's passes: entry tests, block reading of the volume's
// clusters, and the items the passes make. Internal to the FAT scans.

#include "filesystems/fat/fat_file_system.h"
#include "filesystems/fat/fat_folder_head.h"

#include "diskio/records/drive_node.h"
#include "diskio/sources/block_buffer.h"
#include "filesystems/progress_bracket.h"
#include "filesystems/scan_environment.h"
#include "filesystems/scan_log.h"
#include "platform/jobs/job_messages.h"
#include "platform/jobs/message_box_icon.h"
#include "platform/resources/program_string.h"
#include "platform/text/format_text.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <map>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

namespace fat_scan {

inline constexpr size_t kEntryBytes = 32;
inline constexpr size_t kSectorBytes = 512;
inline constexpr uint32_t kBlockSectors = 2048;
// Below this many sectors the lost-folder search reads one cluster at a time.
inline constexpr uint64_t kSmallVolumeSectors = 3000;
// Where FAT32 keeps the copy of its boot sector.
inline constexpr uint64_t kBackupBootSector = 6;
inline constexpr uint32_t kStatusEveryClusters = 32;
inline constexpr uint32_t kRawFilesPerFolder = 2500;
// A FAT folder holds at most 65536 entries: 2 MiB.
inline constexpr uint64_t kMaxFolderBytes = 65536ull * kEntryBytes;
inline constexpr uint64_t kMaxClusterNumber = kFatMaxClusterNumber;

// Marks the progress loops of the FAT passes for the application while they run.
class ProgressBusy {
public:
    explicit ProgressBusy(ScanEnvironment& environment) : m_environment(environment) {
        m_environment.progressIdle = 0;
    }
    ~ProgressBusy() { m_environment.progressIdle = 1; }
    ProgressBusy(const ProgressBusy&) = delete;
    ProgressBusy& operator=(const ProgressBusy&) = delete;

private:
    ScanEnvironment& m_environment;
};

using fat_folder_head::EntryCluster;
using fat_folder_head::HasFatSignature;
using fat_folder_head::IsDotDotName;
using fat_folder_head::IsDotName;

inline uint16_t ReadU16(const uint8_t* bytes) {
    return static_cast<uint16_t>(bytes[0] | (bytes[1] << 8));
}

inline bool IsPowerOfTwoUpTo128(uint64_t value) {
    return value >= 1 && value <= 128 && (value & (value - 1)) == 0;
}

inline uint64_t DataStartSector(const CFatFileSystem& volume) {
    return uint64_t{volume.ReservedSectors()} + 2ull * volume.SectorsPerFat() +
           volume.RootFolderSectors();
}

// Cluster limit of a geometry: the number of clusters that fit in the volume, plus 2.
inline uint32_t ClusterLimitOf(uint64_t totalSectors, uint64_t dataStart,
                               uint32_t sectorsPerCluster) {
    if (sectorsPerCluster == 0 || totalSectors <= dataStart)
        return 2;
    return static_cast<uint32_t>(
        std::min<uint64_t>((totalSectors - dataStart) / sectorsPerCluster, kMaxClusterNumber) + 2);
}

// The last cluster that lies inside both the cluster limit and the volume; below 2 when none.
inline uint32_t LastDataCluster(const CFatFileSystem& volume) {
    const uint32_t limit = volume.ClusterLimit();
    if (limit < 3)
        return 1;
    const uint32_t volumeLimit =
        ClusterLimitOf(volume.TotalSectors(), DataStartSector(volume), volume.SectorsPerCluster());
    return std::min(limit, volumeLimit) - 1;
}

// Hands out the volume's clusters one at a time while reading them in large blocks through
// the volume's one handle. A block that fails is read again cluster by cluster, so one bad sector
// costs one cluster, not the block.
class ClusterBlockReader {
public:
    ClusterBlockReader(CFatFileSystem& volume, uint32_t blockSectors)
        : m_volume(volume), m_last(LastDataCluster(volume)), m_dataStart(DataStartSector(volume)),
          m_sectorsPerCluster(volume.SectorsPerCluster()) {
        m_blockClusters = m_sectorsPerCluster == 0
                              ? 1
                              : std::max<uint32_t>(1, blockSectors / m_sectorsPerCluster);
    }

    uint32_t LastCluster() const { return m_last; }
    uint32_t BlockClusters() const { return m_blockClusters; }

    // The bytes of a cluster; empty when it lies outside the volume or cannot be read.
    std::span<const uint8_t> Cluster(uint32_t cluster) {
        if (cluster < 2 || cluster > m_last || m_sectorsPerCluster == 0)
            return {};
        if (m_loadedCount == 0 || cluster < m_loadedFirst ||
            cluster - m_loadedFirst >= m_loadedCount)
            Load(2 + (cluster - 2) / m_blockClusters * m_blockClusters);
        const uint32_t index = cluster - m_loadedFirst;
        if (!m_readable[index])
            return {};
        const size_t bytes = size_t{m_sectorsPerCluster} * kSectorBytes;
        return std::span<const uint8_t>(m_buffer.data() + index * bytes, bytes);
    }

private:
    void Load(uint32_t first) {
        const uint32_t count = static_cast<uint32_t>(
            std::min<uint64_t>(m_blockClusters, uint64_t{m_last} - first + 1));
        const size_t clusterBytes = size_t{m_sectorsPerCluster} * kSectorBytes;
        m_buffer.assign(size_t{count} * clusterBytes, 0);
        m_readable.assign(count, 1);
        m_loadedFirst = first;
        m_loadedCount = count;
        const uint64_t sector = m_dataStart + uint64_t{first - 2} * m_sectorsPerCluster;
        if (m_volume.ReadSectors(sector, count * m_sectorsPerCluster, m_buffer.data()) != 0)
            return;
        for (uint32_t i = 0; i < count; ++i) {
            uint8_t* target = m_buffer.data() + i * clusterBytes;
            if (m_volume.ReadSectors(sector + uint64_t{i} * m_sectorsPerCluster,
                                     m_sectorsPerCluster, target) == 0) {
                std::memset(target, 0, clusterBytes);
                m_readable[i] = 0;
            }
        }
    }

    CFatFileSystem& m_volume;
    uint32_t m_last;
    uint64_t m_dataStart;
    uint32_t m_sectorsPerCluster;
    uint32_t m_blockClusters = 1;
    uint32_t m_loadedFirst = 0;
    uint32_t m_loadedCount = 0;
    BlockBuffer m_buffer;
    std::vector<uint8_t> m_readable;
};

inline FoundItem FolderItem(uint64_t entryId, uint64_t parentId, uint64_t firstCluster,
                            bool deleted) {
    FoundItem item;
    item.entryId = entryId;
    item.parentId = parentId;
    item.firstCluster = firstCluster;
    item.attributes = FoundItem::kFolderAttribute;
    item.deleted = deleted ? 1 : 0;
    return item;
}

inline std::u16string ClusterName(uint64_t cluster) {
    return FormatText(u"%08lu", cluster);
}

} // namespace fat_scan

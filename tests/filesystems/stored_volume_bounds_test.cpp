// Readers set up from a stored volume whose tables and limits say anything: every cluster list
// of a file stays within the volume's clusters, whatever size the file claims, so a hostile
// scan-information file cannot make a list (and its memory) larger than the volume.

#include "filesystems/fat/fat_file_system.h"
#include "filesystems/fat/fat_volume_record.h"
#include "filesystems/found_item.h"
#include "filesystems/ntfs/ntfs_file_system.h"
#include "filesystems/ntfs/ntfs_volume_record.h"
#include "filesystems/scan_environment.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

// A claim no volume holds: 31 PB.
constexpr uint64_t kHugeSize = uint64_t{31} << 50;

// A FAT16 volume of 4096 sectors, 4 sectors a cluster: reserved 1, two FATs of 16 sectors, a
// root of 32 sectors, so 4015 data sectors, 1003 clusters numbered 2 to 1004.
FatVolumeRecord Fat16Volume(uint8_t linkingMode) {
    FatVolumeRecord record;
    record.firstSector = 0;
    record.lastSector = 4095;
    record.totalSectors = 4096;
    record.fatType = 4;
    record.sectorsPerCluster = 4;
    record.imageFlag = 1;
    record.imagePath = u"/nonexistent/volume.img";
    record.sectorsPerFat = 16;
    record.linkingMode = linkingMode;
    record.reservedSectors = 1;
    record.rootFolderSectors = 32;
    return record;
}
constexpr uint32_t kFatClusterEnd = 2 + (4096 - 1 - 32 - 32) / 4;

TEST(StoredVolumeBoundsTest, FatFileListsStopAtTheVolumesLastCluster) {
    struct Case {
        const char* what;
        std::vector<uint8_t> map; // the stored cluster-usage map
        uint32_t firstCluster;
        uint64_t size;
        size_t clusters;
    };
    const Case cases[] = {
        // A 1-byte map gives a limit of 0, which once meant no limit at all.
        {"1-byte map, 31 PB", std::vector<uint8_t>(1, 1), 2, kHugeSize, kFatClusterEnd - 2},
        {"no map, 31 PB", {}, 2, kHugeSize, kFatClusterEnd - 2},
        {"map larger than the volume, 31 PB", std::vector<uint8_t>(70000, 1), 2, kHugeSize,
         kFatClusterEnd - 2},
        {"no map, from the last cluster", {}, kFatClusterEnd - 1, kHugeSize, 1},
        {"no map, past the volume", {}, kFatClusterEnd, 4096, 0},
        {"no map, cluster 1", {}, 1, 4096, 0},
        {"no map, a file that fits", {}, 100, 3 * 2048 + 1, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScanEnvironment environment;
        CFatFileSystem fat(environment);
        fat.SetVolumeFromScanInfo(Fat16Volume(CFatFileSystem::kLinkContiguous));
        fat.RestoreTables({}, c.map);
        const ClusterList list = fat.GetFileClusters(c.firstCluster, c.size, true);
        ASSERT_EQ(list.clusters.size(), c.clusters);
        for (size_t i = 0; i < list.clusters.size(); ++i)
            EXPECT_EQ(list.clusters[i], c.firstCluster + i);
        EXPECT_EQ(list.byteLength, c.size);
    }
}

TEST(StoredVolumeBoundsTest, NtfsContiguousListsStopAtTheVolumesLastCluster) {
    NtfsVolumeRecord record;
    record.sectorsPerCluster = 8;
    record.imageFlag = 1;
    record.imagePath = u"/nonexistent/volume.img";
    record.firstSector = 2048;
    record.totalSectors = 8001; // 1001 clusters, the last one partial
    record.lastSector = record.firstSector + record.totalSectors - 1;
    record.clusterCount = 1001;
    struct Case {
        uint32_t firstCluster;
        uint64_t size;
        size_t clusters;
    };
    const Case cases[] = {
        {0, kHugeSize, 1001},       {1000, kHugeSize, 1}, {1001, 4096, 0},
        {0xFFFFFFF0, kHugeSize, 0}, {10, 4097, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.firstCluster);
        ScanEnvironment environment;
        CNtfsFileSystem ntfs(environment);
        ntfs.SetVolumeFromScanInfo(record);
        const ClusterList list = ntfs.GetContiguousClusters(c.firstCluster, c.size);
        ASSERT_EQ(list.clusters.size(), c.clusters);
        if (!list.clusters.empty())
            EXPECT_EQ(list.clusters.front(), c.firstCluster);

        FoundItem item;
        item.contiguousData = 1;
        item.firstCluster = c.firstCluster;
        item.size = c.size;
        EXPECT_EQ(ntfs.GetFileClusters(item).clusters.size(), c.clusters);
    }
}

} // namespace

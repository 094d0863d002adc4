#include "archiveview/core/cluster_list_byte_source.h"

#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <vector>

namespace {

enum class Where {
    Sector,
    Sparse,
    Unaddressable,
    PastEnd,
};

struct AddressCase {
    const char* what;
    uint8_t partitionType;
    uint8_t sectorsPerCluster;
    std::vector<uint32_t> clusters;
    uint64_t dataStart;
    uint64_t byteOffset;
    Where where;
    uint64_t sector;
};

PreviewFileInfo InfoOver(const AddressCase& c) {
    PreviewFileInfo info{};
    info.fileSize = 1 << 20;
    info.partitionType = c.partitionType;
    info.sectorsPerCluster = c.sectorsPerCluster;
    info.clusters = c.clusters.empty() ? nullptr : c.clusters.data();
    info.clusterCount = static_cast<uint32_t>(c.clusters.size());
    info.dataStartSector = c.dataStart;
    return info;
}

TEST(ClusterListByteSource, TurnsFileOffsetsIntoDeviceSectors) {
    const std::vector<AddressCase> cases = {
        {"FAT counts from cluster 2", 2, 8, {5, 9}, 1000, 4096, Where::Sector, 1000 + 7 * 8},
        {"NTFS counts from the volume start", 7, 8, {5, 9}, 1000, 4096, Where::Sector, 1000 + 72},
        {"sector within the cluster",
         2,
         8,
         {5, 9},
         1000,
         4096 + 3 * 512 + 17,
         Where::Sector,
         1000 + 7 * 8 + 3},
        {"first sector of the first cluster", 11, 4, {2}, 63, 0, Where::Sector, 63},
        {"one past the list", 2, 1, {3, 4}, 10, 1024, Where::PastEnd, 0},
        {"far past the list", 7, 1, {3, 4}, 10, 1ull << 40, Where::PastEnd, 0},
        {"no list", 2, 8, {}, 10, 0, Where::PastEnd, 0},
        {"no cluster size", 2, 0, {5}, 10, 0, Where::PastEnd, 0},
        {"products of 64 bits",
         7,
         128,
         {0x80000000u},
         0,
         512,
         Where::Sector,
         0x80000000ull * 128 + 1},
        {"FAT product of 64 bits",
         2,
         64,
         {0x10000002u},
         5,
         0,
         Where::Sector,
         5 + 0x10000000ull * 64},
        {"sparse on FAT, never cluster - 2", 2, 4, {0xFFFFFFFFu}, 10, 0, Where::Sparse, 0},
        {"sparse on NTFS", 7, 4, {7, 0xFFFFFFFFu}, 10, 2048, Where::Sparse, 0},
        {"FAT cluster 1 addresses nothing", 2, 4, {1}, 10, 0, Where::Unaddressable, 0},
        {"FAT cluster 0 addresses nothing", 2, 4, {0}, 10, 0, Where::Unaddressable, 0},
        {"sum past 64 bits", 7, 1, {0xFFFFFFF0u}, UINT64_MAX - 3, 0, Where::Unaddressable, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const PreviewFileInfo info = InfoOver(c);
        std::vector<uint64_t> asked;
        ClusterListByteSource source(info, [&](uint64_t sector, uint8_t* buffer) {
            asked.push_back(sector);
            std::fill_n(buffer, 512, uint8_t{0xAB});
            return true;
        });
        uint64_t sector = 0;
        bool sparse = false;
        bool pastEnd = false;
        const bool found = source.DeviceSector(c.byteOffset / 512, sector, sparse, pastEnd);
        EXPECT_EQ(found, c.where == Where::Sector);
        EXPECT_EQ(sparse, c.where == Where::Sparse);
        EXPECT_EQ(pastEnd, c.where == Where::PastEnd);
        std::array<uint8_t, 512> out{};
        out.fill(0x55);
        const auto read = source.ReadSector(c.byteOffset / 512, out);
        switch (c.where) {
        case Where::Sector:
            EXPECT_EQ(sector, c.sector);
            EXPECT_EQ(read, PreviewByteSource::SectorRead::Ok);
            EXPECT_EQ(asked, std::vector<uint64_t>{c.sector});
            EXPECT_EQ(out[511], 0xAB);
            break;
        case Where::Sparse:
            EXPECT_EQ(read, PreviewByteSource::SectorRead::Ok);
            EXPECT_TRUE(asked.empty());
            EXPECT_EQ(out, (std::array<uint8_t, 512>{}));
            break;
        case Where::Unaddressable:
            EXPECT_EQ(read, PreviewByteSource::SectorRead::Failed);
            EXPECT_TRUE(asked.empty());
            EXPECT_EQ(out, (std::array<uint8_t, 512>{}));
            break;
        case Where::PastEnd:
            EXPECT_EQ(read, PreviewByteSource::SectorRead::PastEnd);
            EXPECT_TRUE(asked.empty());
            break;
        }
    }
}

TEST(ClusterListByteSource, FailedDeviceReadIsZeroFilledAndFails) {
    const std::vector<uint32_t> clusters = {2};
    PreviewFileInfo info{};
    info.partitionType = 2;
    info.sectorsPerCluster = 1;
    info.clusters = clusters.data();
    info.clusterCount = 1;
    ClusterListByteSource source(info, [](uint64_t, uint8_t* buffer) {
        std::fill_n(buffer, 512, uint8_t{0x77});
        return false;
    });
    std::array<uint8_t, 512> out{};
    EXPECT_EQ(source.ReadSector(0, out), PreviewByteSource::SectorRead::Failed);
    EXPECT_EQ(out, (std::array<uint8_t, 512>{}));
}

TEST(ClusterListByteSource, ImageFilesAreReadByPath) {
    TempDir folder;
    const auto image = folder.File("volume.img");
    {
        std::ofstream out(image, std::ios::binary);
        for (int sector = 0; sector < 8; ++sector) {
            const std::string bytes(512, static_cast<char>('a' + sector));
            out << bytes;
        }
    }
    const std::vector<uint32_t> clusters = {4, 2};
    PreviewFileInfo info{};
    info.partitionType = 2;
    info.sectorsPerCluster = 2;
    info.clusters = clusters.data();
    info.clusterCount = 2;
    info.dataStartSector = 1;
    info.isImageFile = 1;
    ClusterListByteSource source(info, ClusterListByteSource::DeviceReader(info, image.string()));
    std::array<uint8_t, 512> out{};
    // File sector 1: cluster 4, its second sector: image sector 1 + 2 * 2 + 1 = 6.
    ASSERT_EQ(source.ReadSector(1, out), PreviewByteSource::SectorRead::Ok);
    EXPECT_EQ(out[0], 'g');
    ASSERT_EQ(source.ReadSector(2, out), PreviewByteSource::SectorRead::Ok);
    EXPECT_EQ(out[0], 'b');

    const std::vector<uint32_t> beyond = {9};
    info.clusters = beyond.data();
    info.clusterCount = 1;
    ClusterListByteSource outside(info, ClusterListByteSource::DeviceReader(info, image.string()));
    EXPECT_EQ(outside.ReadSector(0, out), PreviewByteSource::SectorRead::Failed);
    ClusterListByteSource missing(info, ClusterListByteSource::DeviceReader(info, "/nonexistent"));
    EXPECT_EQ(missing.ReadSector(0, out), PreviewByteSource::SectorRead::Failed);
}

} // namespace

// The view's sector source: file positions through FAT- and NTFS-numbered cluster lists, holes,
// bytes past the valid length, reads past the list, and disk ranges of an image file and of a
// mapped disk; each sector read is compared with the image's bytes at the sector the
// numbering gives.
#include "hexview/view_sector_reader.h"

#include "diskio/inventory/device_map_loader.h"
#include "filesystems/cluster_list.h"
#include "hexview/hex_viewer_settings.h"
#include "tests/hexview/scratch_image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kSparse = ClusterList::kSparseCluster;
constexpr uint64_t kImageSectors = 64;
using Sector = std::array<uint8_t, 512>;

Sector Expected(uint64_t sector) {
    Sector out{};
    const std::vector<uint8_t> bytes = ScratchImage::SectorBytes(sector);
    std::memcpy(out.data(), bytes.data(), out.size());
    return out;
}

struct FileCase {
    std::string name;
    std::vector<uint32_t> clusters;
    uint32_t spc;
    uint8_t partitionType;
    uint64_t dataStart;
    uint64_t size;
    uint64_t validLength;
    uint64_t position;
    bool read;
    // The image sector the bytes come from; none: zeros.
    std::optional<uint64_t> sector;
    // Bytes of the sector that are the image's; the rest are zeros.
    size_t kept = 512;
};

class FileSectorTest : public ::testing::TestWithParam<FileCase> {
protected:
    ScratchImage image{kImageSectors};
};

TEST_P(FileSectorTest, ReadsTheSectorItsClusterNumberingGives) {
    const FileCase& c = GetParam();
    const HexViewerSettings settings =
        HexViewerSettings::ForFile(u"file", 0, c.clusters, c.size, c.validLength, c.partitionType,
                                   c.dataStart, c.spc, true, image.Path16());
    const ViewSectorReader reader(settings);
    Sector buffer{};
    buffer.fill(0xAA); // stale bytes: a failed read must not leave them
    EXPECT_EQ(reader.ReadSectors(c.position, 1, buffer.data()), c.read);
    Sector want{};
    if (c.read && c.sector) {
        want = Expected(*c.sector);
        std::memset(want.data() + c.kept, 0, want.size() - c.kept);
    }
    EXPECT_TRUE(buffer == want);
}

INSTANTIATE_TEST_SUITE_P(
    Table, FileSectorTest,
    ::testing::Values(
        // FAT: sector = (cluster - 2) x spc + data start + r.
        FileCase{"fat_first", {5, 3, 9}, 2, 2, 10, 3072, 3072, 0, true, 16},
        FileCase{"fat_second_sector_of_cluster", {5, 3, 9}, 2, 2, 10, 3072, 3072, 1, true, 17},
        FileCase{"fat_second_cluster", {5, 3, 9}, 2, 2, 10, 3072, 3072, 2, true, 12},
        FileCase{"fat_third_cluster", {5, 3, 9}, 2, 2, 10, 3072, 3072, 5, true, 25},
        // NTFS: sector = cluster x spc + volume start + r.
        FileCase{"ntfs_first", {4, 1}, 4, 7, 8, 4096, 4096, 0, true, 24},
        FileCase{"ntfs_second_cluster", {4, 1}, 4, 7, 8, 4096, 4096, 5, true, 13},
        FileCase{"ntfs_hole_reads_zeros", {4, kSparse}, 1, 7, 0, 1024, 1024, 1, true, {}},
        FileCase{"past_the_valid_length_zeros",
                 {20, 21, 22},
                 1,
                 7,
                 0,
                 1500,
                 700,
                 1,
                 true,
                 21,
                 700 - 512},
        FileCase{"wholly_past_the_valid_length", {20, 21, 22}, 1, 7, 0, 1500, 700, 2, true, 22, 0},
        // The index-below-count check: the position after a 1024-byte file's list.
        FileCase{"index_past_the_list", {5}, 2, 2, 10, 1024, 1024, 2, false, {}},
        FileCase{"no_sectors_per_cluster", {5}, 0, 2, 10, 512, 512, 0, false, {}},
        FileCase{"no_clusters", {}, 2, 2, 10, 512, 512, 0, false, {}},
        FileCase{"fat_cluster_below_2", {1}, 1, 2, 10, 512, 512, 0, false, {}},
        FileCase{"past_the_image", {200}, 1, 7, 0, 512, 512, 0, false, {}}),
    [](const auto& info) { return info.param.name; });

TEST(ViewSectorReaderTest, TwoFileSectorsComeFromTheirOwnClusters) {
    ScratchImage image(kImageSectors);
    const std::vector<uint32_t> clusters = {30, 11};
    const HexViewerSettings settings =
        HexViewerSettings::ForFile(u"file", 0, clusters, 1024, 1024, 7, 0, 1, true, image.Path16());
    std::array<uint8_t, 1024> buffer{};
    ASSERT_TRUE(ViewSectorReader(settings).ReadSectors(0, 2, buffer.data()));
    EXPECT_EQ(0, std::memcmp(buffer.data(), Expected(30).data(), 512));
    EXPECT_EQ(0, std::memcmp(buffer.data() + 512, Expected(11).data(), 512));
}

TEST(ViewSectorReaderTest, FileSectorsBeyondThirtyTwoBitsAreSixtyFourBitSectors) {
    // 0xFFFFFFF0 x 128 does not fit in 32 bits; the sector must not wrap.
    const std::vector<uint32_t> clusters = {0xFFFFFFF0u};
    const HexViewerSettings settings =
        HexViewerSettings::ForFile(u"file", 0, clusters, 65536, 65536, 7, 63, 128, false, u"");
    uint64_t sector = 0;
    bool hole = false;
    ASSERT_TRUE(ViewSectorReader(settings).FileSector(5, sector, hole));
    EXPECT_EQ(sector, uint64_t{0xFFFFFFF0u} * 128 + 63 + 5);
}

TEST(ViewSectorReaderTest, NoClustersLeaveNothingToScrollTo) {
    const HexViewerSettings settings =
        HexViewerSettings::ForFile(u"file", 0, {}, 512, 512, 2, 0, 4, false, u"");
    EXPECT_EQ(settings.allocatedSectors, 0u);
    EXPECT_EQ(settings.lastScrollPosition, 0u);
}

TEST(ViewSectorReaderTest, DiskRangeOfAnImageFileCountsFromItsFirstSector) {
    ScratchImage image(kImageSectors);
    const HexViewerSettings settings = HexViewerSettings::ForDisk(
        image.Path16(), 0, 10, 20, HexViewerSettings::SourceKind::ImageFile);
    EXPECT_EQ(settings.lastScrollPosition, 11u);
    EXPECT_EQ(settings.size, 11u * 512);
    std::array<uint8_t, 1024> buffer{};
    ASSERT_TRUE(ViewSectorReader(settings).ReadSectors(3, 2, buffer.data()));
    EXPECT_EQ(0, std::memcmp(buffer.data(), Expected(13).data(), 512));
    EXPECT_EQ(0, std::memcmp(buffer.data() + 512, Expected(14).data(), 512));
}

TEST(ViewSectorReaderTest, DiskRangeOfAMappedDiskReadsThroughItsDriveNumber) {
    ScratchImage image(kImageSectors);
    // The library's own table, filled from the same map the program reads.
    std::vector<std::string> problems =
        DeviceMapLoader::Load("disk3=" + image.Path().string(), DeviceMapLoader::ProcessTable());
    ASSERT_TRUE(problems.empty()) << problems.front();
    const HexViewerSettings settings = HexViewerSettings::ForDisk(
        u"disk", 0x83, 0, kImageSectors - 1, HexViewerSettings::SourceKind::PhysicalDisk);
    Sector buffer{};
    ASSERT_TRUE(ViewSectorReader(settings).ReadSectors(kImageSectors - 1, 1, buffer.data()));
    EXPECT_TRUE(buffer == Expected(kImageSectors - 1));
    // One past the inclusive last sector is not on the disk.
    EXPECT_FALSE(ViewSectorReader(settings).ReadSectors(kImageSectors, 1, buffer.data()));
}

// What dd reads of `count` sectors from `sector`, or nothing when it fails.
std::vector<uint8_t> Dd(const std::filesystem::path& image, uint64_t sector, uint64_t count) {
    const std::string command = "dd if='" + image.string() +
                                "' bs=512 skip=" + std::to_string(sector) +
                                " count=" + std::to_string(count) + " status=none";
    std::vector<uint8_t> out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        uint8_t chunk[4096];
        size_t got = 0;
        while ((got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0)
            out.insert(out.end(), chunk, chunk + got);
        if (::pclose(pipe) != 0)
            out.clear();
    }
    return out;
}

TEST(ViewSectorReaderTest, WholeDiskViewShowsWhatDdReadsOfTheSameSectors) {
    ScratchImage image(kImageSectors);
    std::vector<std::string> problems =
        DeviceMapLoader::Load("disk2=" + image.Path().string(), DeviceMapLoader::ProcessTable());
    ASSERT_TRUE(problems.empty()) << problems.front();
    const HexViewerSettings disk = HexViewerSettings::ForDisk(
        u"disk", 0x82, 0, kImageSectors - 1, HexViewerSettings::SourceKind::PhysicalDisk);
    const ViewSectorReader reader(disk);
    // Every position, as the view pages through it two sectors at a time.
    for (uint64_t position = 0; position < kImageSectors; position += 2) {
        SCOPED_TRACE(position);
        std::array<uint8_t, 1024> buffer{};
        ASSERT_TRUE(reader.ReadSectors(position, 2, buffer.data()));
        const std::vector<uint8_t> dd = Dd(image.Path(), position, 2);
        ASSERT_EQ(dd.size(), buffer.size());
        EXPECT_TRUE(std::equal(dd.begin(), dd.end(), buffer.begin()));
    }
}

TEST(ViewSectorReaderTest, EmptyOrReversedRangeShowsNothing) {
    const HexViewerSettings reversed =
        HexViewerSettings::ForDisk(u"x", 0, 9, 3, HexViewerSettings::SourceKind::ImageFile);
    EXPECT_EQ(reversed.size, 0u);
    EXPECT_EQ(reversed.lastScrollPosition, 0u);
}

} // namespace

// The information panel's texts by source kind, the size texts, and the go-to box's rules:
// only hexadecimal digits, every edit checked, an offset up to the size accepted.
#include "hexview/hex_info_panel.h"

#include "diskio/records/logical_drive_info.h"
#include "diskio/records/physical_disk_info.h"

#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace {

TEST(HexInfoPanelTest, SizeTexts) {
    struct Case {
        uint64_t bytes;
        std::u16string text;
    };
    for (const Case& c : std::vector<Case>{{0, u"0 Bytes"},
                                           {1023, u"1023 Bytes"},
                                           {1024, u"1.00 KB"},
                                           {1536, u"1.50 KB"},
                                           {1024 * 1024, u"1.00 MB"},
                                           {uint64_t{3} << 30, u"3.00 GB"},
                                           {uint64_t{5} << 40, u"5120.00 GB"}})
        EXPECT_EQ(HexInfoPanel::SizeText(c.bytes), c.text) << c.bytes;
}

TEST(HexInfoPanelTest, ThreeClustersListThreeRowsAndTheirCount) {
    const std::vector<uint32_t> clusters = {7, 9, 1000000};
    const HexViewerSettings s =
        HexViewerSettings::ForFile(u"a.bin", 0, clusters, 3000, 3000, 2, 100, 4, false, u"");
    const HexInfoPanel panel = HexInfoPanel::Build(s);
    EXPECT_TRUE(panel.showClusters);
    EXPECT_FALSE(panel.showLabels);
    EXPECT_EQ(panel.clusterRows, (std::vector<std::u16string>{u"7", u"9", u"1000000"}));
    EXPECT_EQ(panel.totalClusters, u"3");
    EXPECT_EQ(panel.caption, u"a.bin");
    EXPECT_EQ(panel.sizeText, u"2.93 KB");
}

TEST(HexInfoPanelTest, ClusterRowsAreCapped) {
    const std::vector<uint32_t> clusters(10, 5);
    const HexViewerSettings s =
        HexViewerSettings::ForFile(u"a", 0, clusters, 5120, 5120, 2, 0, 1, false, u"");
    EXPECT_EQ(HexInfoPanel::Build(s, 4).clusterRows.size(), 4u);
    EXPECT_EQ(HexInfoPanel::Build(s, 4).totalClusters, u"10");
}

TEST(HexInfoPanelTest, PartitionWhoseBootSectorCannotBeReadShowsEmptyClusterValues) {
    LogicalDriveInfo volume;
    volume.rootPath = u"C:\\";
    volume.fileSystem = u"FAT16";
    volume.totalSectors = 16384;
    HexViewerSettings s =
        HexViewerSettings::ForDisk(u"C:", 2, 63, 16446, HexViewerSettings::SourceKind::Partition);
    s.logical = &volume;
    HexInfoPanel panel = HexInfoPanel::Build(s);
    EXPECT_TRUE(panel.showLabels);
    EXPECT_FALSE(panel.showClusters);
    EXPECT_EQ(panel.labels, (std::array<std::u16string, 4>{u"Drive :", u"File System :",
                                                           u"Total Cluster :", u"SPC :"}));
    EXPECT_EQ(panel.values, (std::array<std::u16string, 4>{u"C:\\", u"FAT16", u"", u""}));
    // A boot sector read: its sectors per cluster give the cluster count.
    s.sectorsPerCluster = 4;
    panel = HexInfoPanel::Build(s);
    EXPECT_EQ(panel.values[2], u"4096");
    EXPECT_EQ(panel.values[3], u"4");
}

TEST(HexInfoPanelTest, PhysicalDiskShowsItsNumberAndIdentifyTexts) {
    PhysicalDiskInfo disk;
    disk.drive = 0x81;
    disk.identify = DiskIdentifyInfo{"Model X", "SN123", "FW1", 0};
    HexViewerSettings s = HexViewerSettings::ForDisk(u"disk", 0x81, 0, 99,
                                                     HexViewerSettings::SourceKind::PhysicalDisk);
    s.physical = &disk;
    const HexInfoPanel panel = HexInfoPanel::Build(s);
    EXPECT_EQ(panel.labels[0], u"DiskNo :");
    EXPECT_EQ(panel.values, (std::array<std::u16string, 4>{u"0x81", u"SN123", u"Model X", u"FW1"}));
    // Without identify data only the number.
    disk.identify.reset();
    EXPECT_EQ(HexInfoPanel::Build(s).values[1], u"");
}

TEST(HexInfoPanelTest, ImageSourceShowsNoLabels) {
    const HexViewerSettings s =
        HexViewerSettings::ForDisk(u"/x.img", 0, 0, 99, HexViewerSettings::SourceKind::ImageFile);
    const HexInfoPanel panel = HexInfoPanel::Build(s);
    EXPECT_FALSE(panel.showLabels);
    EXPECT_FALSE(panel.showClusters);
    EXPECT_EQ(panel.labels, (std::array<std::u16string, 4>{}));
    EXPECT_EQ(panel.sizeText, u"50.00 KB");
}

TEST(HexInfoPanelTest, BootSectorsPerClusterIsByteThirteen) {
    std::vector<uint8_t> sector(512, 0);
    sector[13] = 64;
    EXPECT_EQ(HexInfoPanel::BootSectorsPerCluster(sector), std::optional<uint32_t>(64));
    EXPECT_EQ(HexInfoPanel::BootSectorsPerCluster(std::span(sector).first(100)), std::nullopt);
}

struct OffsetCase {
    std::u16string text;
    std::optional<uint64_t> value;
};

class HexOffsetTextTest : public ::testing::TestWithParam<OffsetCase> {};

TEST_P(HexOffsetTextTest, OnlyHexDigitsMakeAnOffset) {
    const OffsetCase& c = GetParam();
    EXPECT_EQ(HexOffsetText::Parse(c.text), c.value);
    EXPECT_EQ(HexOffsetText::Acceptable(c.text), c.value.has_value());
}

INSTANTIATE_TEST_SUITE_P(
    Table, HexOffsetTextTest,
    ::testing::Values(OffsetCase{u"", 0}, OffsetCase{u"0", 0}, OffsetCase{u"1a", 0x1a},
                      OffsetCase{u"1A", 0x1a}, OffsetCase{u"FFFFFFFFFFFFFFFF", UINT64_MAX},
                      OffsetCase{u"10000000000000000", std::nullopt},
                      // A pasted "G" or a blank: the whole edit is refused, not weighed.
                      OffsetCase{u"G", std::nullopt}, OffsetCase{u"1G", std::nullopt},
                      OffsetCase{u"G1", std::nullopt}, OffsetCase{u"1 2", std::nullopt},
                      OffsetCase{u"0x10", std::nullopt}, OffsetCase{u"-1", std::nullopt}));

TEST(HexOffsetTextTest, OffsetEqualToTheSizeIsAcceptedOneMoreIsNot) {
    EXPECT_EQ(HexOffsetText::Decide(1024, 1024), HexOffsetText::GoTo::Go);
    EXPECT_EQ(HexOffsetText::Decide(1025, 1024), HexOffsetText::GoTo::ExceedsRange);
    EXPECT_EQ(HexOffsetText::Decide(0, 0), HexOffsetText::GoTo::Go);
}

} // namespace

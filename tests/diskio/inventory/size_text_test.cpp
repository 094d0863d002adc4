#include "diskio/inventory/size_text.h"

#include "diskio/records/disk_geometry.h"
#include "platform/devices/device_table.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

TEST(SizeTextTest, ChoosesTheLargestWholeUnit) {
    EXPECT_EQ(FormatSizeFromSectors(2097152, 0), u"1.00 GB");
    EXPECT_EQ(FormatSizeFromSectors(2097151, 0), u"1024.00 MB");
    EXPECT_EQ(FormatSizeFromSectors(2047, 0), u"1023.50 KB");
    EXPECT_EQ(FormatSizeFromSectors(0, 0), u"0.00 KB");
    // 2^32 sectors are 2 TiB: the count is not cut to its low half.
    EXPECT_EQ(FormatSizeFromSectors(0, 1), u"2048.00 GB");
    EXPECT_EQ(FormatSize(1536), u"1.50 KB");
    EXPECT_EQ(FormatSize(1024 * 1024), u"1.00 MB");
}

TEST(DiskGeometryTest, TotalSectorsKeepThePartialCylinder) {
    TempDir dir;
    auto path = dir.File("disk.img");
    // One whole synthetic cylinder (255 x 63 sectors) and 10 sectors more.
    constexpr uint64_t kSectors = 255 * 63 + 10;
    {
        std::ofstream out(path, std::ios::binary);
        out.seekp(static_cast<std::streamoff>(kSectors * 512 - 1));
        out.put('\0');
    }
    DeviceTable::Process().Clear();
    DeviceTable::Process().SetPhysicalDisk(1, {path.string(), 0, std::nullopt});

    uint64_t total = 99;
    ASSERT_NE(GetDiskTotalSectors(0x81, total), 0);
    EXPECT_EQ(total, kSectors);
    uint32_t cylinders = 0, heads = 0, sectorsPerTrack = 0;
    ASSERT_NE(GetDiskGeometry(0x81, cylinders, heads, sectorsPerTrack), 0);
    EXPECT_EQ(cylinders, 1u);
    EXPECT_EQ(heads, 255u);
    EXPECT_EQ(sectorsPerTrack, 63u);

    EXPECT_EQ(GetDiskTotalSectors(0x82, total), 0);
    EXPECT_EQ(total, 0u);
    EXPECT_EQ(GetDiskGeometry(0x82, cylinders, heads, sectorsPerTrack), 0);
    EXPECT_EQ(cylinders, 0u);
    DeviceTable::Process().Clear();
}

TEST(DiskGeometryTest, GeometryOfTwoTebibytesIsComputedIn64Bits) {
    DiskGeometry geometry = GeometryFromSize(4ull << 40);
    EXPECT_EQ(geometry.cylinders, (4ull << 40) / 512 / (255 * 63));
}

} // namespace

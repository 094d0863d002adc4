#include "diskio/sources/sector_source.h"

#include "diskio/records/drive_node.h"
#include "diskio/sources/volume_source.h"
#include "platform/devices/device_table.h"

#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <vector>

namespace {

// Eight sectors whose bytes all hold their sector number.
std::vector<uint8_t> NumberedSectors() {
    std::vector<uint8_t> bytes(8 * 512);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<uint8_t>(i / 512);
    return bytes;
}

struct WindowCase {
    const char* what;
    bool absolute;
    uint64_t first;
    uint64_t countOrLast;
    uint64_t sector;
    uint32_t sectorCount;
    int expected;          // ReadSectors' result
    uint8_t firstByteSeen; // the underlying sector read, when it succeeds
};

class SectorSourceWindow : public testing::TestWithParam<WindowCase> {};

TEST_P(SectorSourceWindow, ReadsInsideTheWindowAndZeroFillsOutside) {
    const WindowCase& c = GetParam();
    const std::vector<uint8_t> disk = NumberedSectors();
    SectorSource source = SectorSource::ForMemory(disk);
    if (c.absolute)
        source.SetAbsoluteRange(c.first, c.countOrLast);
    else
        source.SetVolume(c.first, c.countOrLast);
    std::vector<uint8_t> buffer(size_t{c.sectorCount} * 512, 0xEE);
    EXPECT_EQ(source.ReadSectors(c.sector, c.sectorCount, buffer.data()), c.expected) << c.what;
    if (c.expected != 0) {
        EXPECT_EQ(buffer.front(), c.firstByteSeen) << c.what;
        EXPECT_EQ(buffer.back(), c.firstByteSeen + c.sectorCount - 1) << c.what;
    } else {
        for (uint8_t b : buffer)
            ASSERT_EQ(b, 0) << c.what << ": a failed read must leave zeros, not stale bytes";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Windows, SectorSourceWindow,
    testing::Values(WindowCase{"volume start", false, 2, 4, 0, 1, 1, 2},
                    WindowCase{"volume end", false, 2, 4, 3, 1, 1, 5},
                    WindowCase{"whole volume", false, 2, 4, 0, 4, 1, 2},
                    WindowCase{"past the volume", false, 2, 4, 3, 2, 0, 0},
                    WindowCase{"beyond the volume", false, 2, 4, 4, 1, 0, 0},
                    WindowCase{"wrapping sector", false, 2, UINT64_MAX, UINT64_MAX - 1, 1, 0, 0},
                    WindowCase{"volume past the memory", false, 6, 4, 1, 2, 0, 0},
                    WindowCase{"absolute inside", true, 3, 5, 3, 3, 1, 3},
                    WindowCase{"absolute below", true, 3, 5, 2, 1, 0, 0},
                    WindowCase{"absolute past last", true, 3, 5, 5, 2, 0, 0},
                    WindowCase{"whole numbering", true, 0, UINT64_MAX, 7, 1, 1, 7},
                    WindowCase{"no sectors", false, 0, 8, 0, 0, 0, 0}));

TEST(SectorSource, ImageFileReadsThroughOneHandleAndNothingReadsWithoutASource) {
    TempDir dir;
    const std::vector<uint8_t> disk = NumberedSectors();
    const auto path = dir.File("disk.img");
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(disk.data()),
               static_cast<std::streamsize>(disk.size()));

    SectorSource image = SectorSource::ForImage(path.string());
    image.SetVolume(1, 6);
    const SectorSource copy = image; // shares the handle
    uint8_t sector[512];
    ASSERT_EQ(image.ReadSectors(2, 1, sector), 1);
    EXPECT_EQ(sector[0], 3);
    ASSERT_EQ(copy.ReadSectors(5, 1, sector), 1);
    EXPECT_EQ(sector[511], 6);
    // A partial sector is cut from a whole one.
    uint8_t bytes[700];
    ASSERT_EQ(image.ReadBytes(0, bytes, sizeof bytes), 1);
    EXPECT_EQ(bytes[0], 1);
    EXPECT_EQ(bytes[699], 2);

    // A window larger than the file fails at its end, zero-filled.
    image.SetVolume(0, 100);
    std::fill(std::begin(sector), std::end(sector), 0xEE);
    EXPECT_EQ(image.ReadSectors(8, 1, sector), 0);
    EXPECT_EQ(sector[0], 0);

    SectorSource missing = SectorSource::ForImage(dir.File("missing.img").string());
    EXPECT_EQ(missing.ReadSectors(0, 1, sector), 0);
    SectorSource none;
    EXPECT_EQ(none.ReadSectors(0, 1, sector), 0);
    EXPECT_EQ(SectorSource::ForDrive(0x97).ReadSectors(0, 1, sector), 0); // not mapped
}

TEST(SectorSource, NamesTheFileOrDeviceItReads) {
    DeviceTable::Process().SetPhysicalDisk(5, DeviceSource{"/images/disk5.img", 0, std::nullopt});
    DeviceTable::Process().SetDriveLetter(7, DeviceSource{"/images/disk5.img", 2048, 100});
    EXPECT_EQ(SectorSource::ForImage("/images/a.img").UnderlyingPath(), "/images/a.img");
    EXPECT_EQ(SectorSource::ForDrive(0x85).UnderlyingPath(), "/images/disk5.img");
    EXPECT_EQ(SectorSource::ForDrive(7).UnderlyingPath(), "/images/disk5.img");
    EXPECT_EQ(SectorSource::ForDrive(0x97).UnderlyingPath(), "");
    EXPECT_EQ(SectorSource::ForMemory({}).UnderlyingPath(), "");
    EXPECT_EQ(SectorSource().UnderlyingPath(), "");
}

} // namespace

namespace {

struct NodeCase {
    const char* what;
    DriveKind kind;
    bool withLogical;
    bool image;
    bool expected;
    uint64_t expectedFirst; // the window's first sector, when a source is given
};

class VolumeSourceOfNodeTest : public testing::TestWithParam<NodeCase> {};

TEST_P(VolumeSourceOfNodeTest, OnlyVolumesGiveASourceWindowedOnThem) {
    const NodeCase& c = GetParam();
    DriveNode node;
    node.kind = c.kind;
    node.imagePath = u"/images/volume.img";
    if (c.withLogical) {
        LogicalDriveInfo info;
        info.disk = 0x81;
        info.firstSector = 2048;
        info.totalSectors = 4096;
        info.lastSector = 2048 + 4095;
        node.detail = info;
    }
    const std::optional<SectorSource> source = VolumeSourceOfNode(node, c.image);
    ASSERT_EQ(source.has_value(), c.expected) << c.what;
    if (!source)
        return;
    EXPECT_FALSE(source->IsAbsolute()) << c.what;
    EXPECT_EQ(source->FirstSector(), c.expectedFirst) << c.what;
    EXPECT_EQ(source->SectorCount(), 4096u) << c.what;
    EXPECT_EQ(source->IsImage(), c.image) << c.what;
    if (c.image)
        EXPECT_EQ(source->ImagePath(), "/images/volume.img") << c.what;
    else
        EXPECT_EQ(source->Drive(), 0x81) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, VolumeSourceOfNodeTest,
    testing::Values(
        NodeCase{"logical drive", DriveKind::LogicalDrive, true, false, true, 2048},
        NodeCase{"found volume", DriveKind::FoundVolume, true, false, true, 2048},
        NodeCase{"found volume in a disk image", DriveKind::FoundVolume, true, true, true, 2048},
        NodeCase{"image of a volume starts at 0", DriveKind::VolumeImage, true, true, true, 0},
        NodeCase{"volume without its detail", DriveKind::LogicalDrive, false, false, false, 0},
        NodeCase{"hard disk", DriveKind::HardDisk, true, false, false, 0},
        NodeCase{"removable disk", DriveKind::RemovableDisk, true, false, false, 0},
        NodeCase{"CD/DVD drive", DriveKind::CdRomDrive, true, false, false, 0},
        NodeCase{"disk image", DriveKind::DiskImage, true, true, false, 0},
        NodeCase{"CD/DVD image", DriveKind::CdRomImage, true, true, false, 0}));

} // namespace

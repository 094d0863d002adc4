// Fields of a real mkntfs volume set out of range: the reader must refuse or bound them before
// it allocates or reads anything from them.

#include "filesystems/ntfs/ntfs_boot_sector.h"
#include "filesystems/ntfs/ntfs_file_system.h"
#include "tests/filesystems/ntfs/ntfs_memory_volume.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

constexpr uint64_t kClusterBytes = 4096; // ntfs_volume's clusters
constexpr uint64_t kHugeVolumeSectors = uint64_t{1} << 40;

struct BootField {
    const char* name;
    size_t offset;
    size_t width;
    uint64_t value;
    NtfsBootSector::Check check;
};

class NtfsBootBoundsTest : public ::testing::TestWithParam<BootField> {};

TEST_P(NtfsBootBoundsTest, BootSectorThatDoesNotFitTheVolumeGoesToTheAdvanceScan) {
    const BootField& field = GetParam();
    NtfsMemoryVolume memory("ntfs_volume");
    ASSERT_TRUE(memory.Ready());
    const uint64_t backup = memory.Bytes().size() - 512;
    for (const uint64_t sector : {uint64_t{0}, backup})
        for (size_t i = 0; i < field.width; ++i)
            memory.Put<uint8_t>(sector + field.offset + i,
                                static_cast<uint8_t>(field.value >> (8 * i)));
    CNtfsFileSystem& volume = memory.Open();
    NtfsBootSector::Check why = NtfsBootSector::Check::Usable;
    EXPECT_FALSE(volume.FindBootSector(&why).has_value());
    EXPECT_EQ(why, field.check);
    EXPECT_EQ(volume.ReadBootSector(), 0);
    EXPECT_EQ(volume.SectorsPerCluster(), 0);

    // The standard scan says why and reads the volume as the advance scan does.
    volume.Scan();
    const std::vector<RecordingJobWindow::LogLine> rows = memory.Window().LogLines();
    EXPECT_TRUE(std::any_of(rows.begin(), rows.end(), [](const RecordingJobWindow::LogLine& row) {
        return std::get<1>(row) == u"NTFS boot sector does not fit the volume";
    }));
    EXPECT_TRUE(std::any_of(rows.begin(), rows.end(), [](const RecordingJobWindow::LogLine& row) {
        return std::get<0>(row) == u"Calculating system parameters";
    }));
    EXPECT_GT(volume.FoundCount(), 100u);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, NtfsBootBoundsTest,
    ::testing::Values(
        BootField{"RecordOf4096Bytes", 64, 1, 0xF4, NtfsBootSector::Check::RecordSize},
        BootField{"RecordOfTwoClusters", 64, 1, 0x02, NtfsBootSector::Check::RecordSize},
        BootField{"RecordSizeZero", 64, 1, 0x00, NtfsBootSector::Check::RecordSize},
        BootField{"Sectors4096Bytes", 11, 2, 4096, NtfsBootSector::Check::SectorSize},
        BootField{"ClusterNotAPowerOfTwo", 13, 1, 3, NtfsBootSector::Check::ClusterSize},
        BootField{"MftPastTheVolume", 48, 8, 0xFFFFFFFF, NtfsBootSector::Check::MftLocation},
        BootField{"MftInTheHighHalf", 48, 8, (uint64_t{1} << 32) + 4,
                  NtfsBootSector::Check::MftLocation},
        BootField{"MftAtTheVolumeEnd", 48, 8, 4096, NtfsBootSector::Check::MftLocation},
        BootField{"MirrorPastTheVolume", 56, 8, 0x10000, NtfsBootSector::Check::MftLocation}),
    [](const ::testing::TestParamInfo<BootField>& info) { return std::string(info.param.name); });

// The $MFT's run claims 2^32 - 1 clusters; its record says how much it holds.
TEST(NtfsMftBoundsTest, MftIsNoLargerThanItsRecordAndTheVolumeSay) {
    for (const uint64_t claimedSectors : {uint64_t{0}, kHugeVolumeSectors}) {
        NtfsMemoryVolume sound("ntfs_volume");
        ASSERT_TRUE(sound.Ready());
        CNtfsFileSystem& reference = sound.Open();
        ASSERT_EQ(reference.ReadBootSector(), 1);
        ASSERT_EQ(reference.LoadMftRuns(), 1);
        const uint32_t records = reference.MftRecordCount();

        NtfsMemoryVolume memory("ntfs_volume");
        CNtfsFileSystem& volume = memory.Open(claimedSectors);
        CNtfsFileSystem::Record record{};
        ASSERT_TRUE(reference.ReadRecord(0, record));
        const size_t data = NtfsMemoryVolume::AttributeAt(record, 0x80);
        ASSERT_NE(data, 0u);
        const uint64_t runs = sound.RecordByte(0, data + record[data + 32]);
        const uint8_t wide[] = {0x14, 0xFF, 0xFF, 0xFF, 0xFF, 0x04, 0x00};
        for (size_t i = 0; i < sizeof wide; ++i)
            memory.Put<uint8_t>(runs + i, wide[i]);
        ASSERT_EQ(volume.ReadBootSector(), 1);
        ASSERT_EQ(volume.LoadMftRuns(), 1) << claimedSectors;
        EXPECT_EQ(volume.MftRecordCount(), records) << claimedSectors;
        EXPECT_EQ(volume.MftSectors(), uint64_t{records} * 2) << claimedSectors;
    }
}

// A sparse file claims 4 TiB: its cluster list is no longer than the volume.
TEST(NtfsFileClustersBoundsTest, ClusterListIsNoLongerThanTheVolume) {
    NtfsMemoryVolume memory("ntfs_volume");
    ASSERT_TRUE(memory.Ready());
    const uint64_t claimed = uint64_t{1} << 42;
    const FoundItem item = memory.OpenWithHugeHole("ntfs_volume", "Sparse.bin", claimed);
    ASSERT_NE(item.entryId, 0u);
    CNtfsFileSystem& volume = memory.Volume();
    const ClusterList list = volume.GetFileClusters(item);
    const uint64_t volumeClusters = volume.TotalSectors() / volume.SectorsPerCluster();
    EXPECT_EQ(list.byteLength, claimed);
    EXPECT_FALSE(list.clusters.empty());
    EXPECT_LE(list.clusters.size(), volumeClusters);
    EXPECT_TRUE(std::all_of(list.clusters.begin(), list.clusters.end(), ClusterList::IsSparse));
    EXPECT_EQ(kClusterBytes, uint64_t{volume.SectorsPerCluster()} * 512);
}

} // namespace

// Boot sectors and stored geometry whose fields do not fit the volume: the reader must neither
// allocate nor compute from them, and the scan goes on as for any damaged boot sector.
#include "tests/filesystems/fat/fat_memory_volume.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace {

void Put16(std::vector<uint8_t>& bytes, size_t at, uint16_t value) {
    bytes[at] = static_cast<uint8_t>(value);
    bytes[at + 1] = static_cast<uint8_t>(value >> 8);
}

void Put32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
    Put16(bytes, at, static_cast<uint16_t>(value));
    Put16(bytes, at + 2, static_cast<uint16_t>(value >> 16));
}

constexpr size_t kBackupBoot = 6 * 512;

struct BootPatch {
    const char* name;
    const char* fixture;
    uint8_t partitionType;
    size_t offset; // of the field in the boot sector
    int width;     // 2 or 4 bytes
    uint32_t value;
    bool backupToo; // the backup boot sector (FAT32) carries the same damage
    // The boot sector is the damaged one: the scan logs so and looks further.
    bool damaged;
};

class FatBootBoundsTest : public ::testing::TestWithParam<BootPatch> {};

std::vector<std::u16string> LiveFiles(const FatMemoryVolume& volume) {
    std::vector<std::u16string> names;
    for (const FatMemoryVolume::SentItem& sent : volume.Items())
        if (!sent.item.IsFolder() && sent.item.deleted == 0)
            names.push_back(sent.name);
    std::sort(names.begin(), names.end());
    return names;
}

TEST_P(FatBootBoundsTest, OutOfRangeFieldsAreADamagedBootSector) {
    const BootPatch& c = GetParam();
    FatMemoryVolume volume(FatMemoryVolume::FixtureBytes(c.fixture));
    ASSERT_FALSE(volume.Bytes().empty());
    volume.SetUp(c.partitionType).Scan();
    const std::vector<std::u16string> clean = LiveFiles(volume);
    ASSERT_FALSE(clean.empty());

    for (size_t boot : {size_t{0}, kBackupBoot}) {
        if (boot != 0 && !c.backupToo)
            continue;
        if (c.width == 2)
            Put16(volume.Bytes(), boot + c.offset, static_cast<uint16_t>(c.value));
        else
            Put32(volume.Bytes(), boot + c.offset, c.value);
    }
    CFatFileSystem& reader = volume.SetUp(c.partitionType);
    reader.Scan();

    EXPECT_EQ(volume.Logged(u"Boot sector outside the volume"), c.damaged);
    // Whatever geometry was taken fits the volume.
    const uint64_t system = uint64_t{reader.ReservedSectors()} + 2ull * reader.SectorsPerFat() +
                            reader.RootFolderSectors();
    EXPECT_LT(system, reader.TotalSectors());
    EXPECT_LE(reader.MapSize(), reader.TotalSectors() + 3);
    if (c.backupToo) {
        // Both boot sectors are gone: the geometry search takes over.
        EXPECT_TRUE(volume.Logged(u"Calculating system parameters"));
    } else {
        EXPECT_EQ(LiveFiles(volume), clean);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Patches, FatBootBoundsTest,
    ::testing::Values(
        // FAT32 sectors per FAT far beyond the volume: terabytes of table.
        BootPatch{"Fat32HugeFat", "fat32_volume", 12, 36, 4, 0x7FFFFFF0u, false, true},
        // x 128 entries per sector wraps in 32 bits.
        BootPatch{"Fat32WrappingFat", "fat32_volume", 12, 36, 4, 0x02000001u, false, true},
        // Larger than the volume's clusters need, though inside the volume.
        BootPatch{"Fat32OversizedFat", "fat32_volume", 12, 36, 4, 20000u, false, true},
        BootPatch{"Fat32BothBootsHugeFat", "fat32_volume", 12, 36, 4, 0x7FFFFFF0u, true, true},
        // Reserved sectors that leave a few clusters for a FAT of 520 sectors.
        BootPatch{"Fat32ReservedPastFats", "fat32_volume", 12, 14, 2, 0xFFF0u, false, true},
        // 4095 root sectors leave fewer clusters than the FAT was made for.
        BootPatch{"Fat16HugeRoot", "fat16_volume", 6, 17, 2, 0xFFF0u, false, true},
        // Within the FAT16 type rule, but six times the table the volume needs.
        BootPatch{"Fat16OversizedFat", "fat16_volume", 6, 22, 2, 200u, false, true},
        // A FAT12 root folder of 0xFFFF entries runs past the 2880 sectors.
        BootPatch{"Fat12RootPastEnd", "fat12_small", 1, 17, 2, 0xFFFFu, false, true}),
    [](const auto& info) { return std::string(info.param.name); });

// A rebuilt volume's stored geometry is as untrusted as a boot sector.
TEST(FatStoredGeometryTest, ScanInformationIsBoundedByTheVolume) {
    FatMemoryVolume volume(FatMemoryVolume::FixtureBytes("fat16_volume"));
    ASSERT_FALSE(volume.Bytes().empty());
    CFatFileSystem& reader = volume.SetUp(6);
    FatVolumeRecord record;
    record.totalSectors = reader.TotalSectors();
    record.lastSector = record.totalSectors - 1;
    record.fatType = 4;
    record.sectorsPerCluster = 2;
    record.reservedSectors = 2;
    record.rootFolderSectors = 32;
    record.sectorsPerFat = 0xFFFFFFF0u;
    record.mapSize = 0xFFFFFFF0u;
    record.imageFlag = 0;
    reader.SetVolumeFromScanInfo(record);
    // At most one cluster per sector of the volume, whatever the record says.
    EXPECT_LE(reader.MapSize(), record.totalSectors + 3);
    EXPECT_LE(reader.ClusterLimit(), record.totalSectors + 2);
    reader.SetLinkingMode(CFatFileSystem::kLinkFat1);
    EXPECT_LE(reader.FatTableSectors(), record.totalSectors / 2);
    reader.BuildClusterMap();
    EXPECT_LE(reader.MapSize(), record.totalSectors + 3);
    EXPECT_LE(reader.ClusterLimit(), record.totalSectors + 2);
}

} // namespace

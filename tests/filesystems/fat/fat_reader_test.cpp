#include "filesystems/fat/fat_file_system.h"

#include "diskio/records/drive_node.h"
#include "filesystems/fat/fat_short_name.h"
#include "filesystems/scan_environment.h"
#include "platform/devices/device_table.h"
#include "tests/filesystems/fat/fat_entry_bytes.h"
#include "tests/support/recording_job_window.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

namespace {

using Bytes = std::vector<uint8_t>;

void Put16(uint8_t* at, uint16_t value) {
    at[0] = static_cast<uint8_t>(value);
    at[1] = static_cast<uint8_t>(value >> 8);
}
void Put32(uint8_t* at, uint32_t value) {
    Put16(at, static_cast<uint16_t>(value));
    Put16(at + 2, static_cast<uint16_t>(value >> 16));
}

Bytes BootSector(uint8_t sectorsPerCluster, uint16_t reserved, uint16_t rootEntries,
                 uint16_t sectorsPerFat16, uint32_t sectorsPerFat32 = 0, uint32_t rootCluster = 0) {
    Bytes s(512, 0);
    s[0] = 0xEB;
    Put16(&s[11], 512);
    s[13] = sectorsPerCluster;
    Put16(&s[14], reserved);
    s[16] = 2;
    Put16(&s[17], rootEntries);
    s[21] = 0xF8;
    Put16(&s[22], sectorsPerFat16);
    Put32(&s[36], sectorsPerFat32);
    Put32(&s[44], rootCluster);
    s[510] = 0x55;
    s[511] = 0xAA;
    return s;
}

TEST(FatBootSectorTest, TypeFromReservedSectorsAndFatSize) {
    FatBootInfo info;
    EXPECT_EQ(ParseFatBootSector(BootSector(8, 32, 0, 0, 1000, 2), info), 1);
    EXPECT_EQ(info.type, FatType::Fat32);
    EXPECT_EQ(info.rootFolderSectors, 0u);
    EXPECT_EQ(info.sectorsPerFat, 1000u);
    EXPECT_EQ(info.endMark, 0x0FFFFFF8u);

    EXPECT_EQ(ParseFatBootSector(BootSector(1, 1, 224, 12), info), 1);
    EXPECT_EQ(info.type, FatType::Fat12);
    EXPECT_EQ(ParseFatBootSector(BootSector(1, 1, 224, 13), info), 1);
    EXPECT_EQ(info.type, FatType::Fat16);

    // The limits on either side of 266 sectors per FAT.
    EXPECT_EQ(ParseFatBootSector(BootSector(8, 32, 0, 0, 266, 2), info), 0);
    EXPECT_EQ(ParseFatBootSector(BootSector(8, 32, 0, 0, 267, 2), info), 1);
    EXPECT_EQ(ParseFatBootSector(BootSector(4, 4, 512, 265), info), 1);
    EXPECT_EQ(ParseFatBootSector(BootSector(4, 4, 512, 266), info), 0);
    EXPECT_EQ(ParseFatBootSector(BootSector(8, 32, 0, 0, 1000, 1), info), 0);

    // 1000 root entries need 63 sectors, not 62.
    EXPECT_EQ(ParseFatBootSector(BootSector(4, 4, 1000, 100), info), 1);
    EXPECT_EQ(info.rootFolderSectors, 63u);

    FatBootInfo untouched;
    untouched.reservedSectors = 77;
    EXPECT_EQ(ParseFatBootSector(BootSector(3, 1, 224, 9), untouched), 0);
    EXPECT_EQ(untouched.reservedSectors, 77u);
    EXPECT_EQ(ParseFatBootSector(std::span<const uint8_t>(), untouched), 0);
}

// A small FAT16 volume written byte by byte: 1 reserved sector, two FATs of 16 sectors, a
// root folder of 32 sectors, one sector per cluster; 4096 sectors in all.
class SyntheticFat16 {
public:
    static constexpr uint32_t kSectors = 4096;
    static constexpr uint32_t kSectorsPerFat = 16;
    static constexpr uint32_t kDataStart = 1 + 2 * kSectorsPerFat + 32;

    SyntheticFat16() : m_image(kSectors * 512, 0) {
        Bytes boot = BootSector(1, 1, 512, kSectorsPerFat);
        std::memcpy(m_image.data(), boot.data(), 512);
        SetEntry(0, 0xFFF8);
        SetEntry(1, 0xFFFF);
    }

    void SetEntry(uint32_t cluster, uint16_t value, int copies = 3) {
        for (int copy = 0; copy < 2; ++copy)
            if (copies & (1 << copy))
                Put16(&m_image[(1 + copy * kSectorsPerFat) * 512 + cluster * 2], value);
    }
    uint8_t* Cluster(uint32_t cluster) { return &m_image[(kDataStart + cluster - 2) * 512]; }
    uint8_t* Fat(int copy) { return &m_image[(1 + copy * kSectorsPerFat) * 512]; }

    // Writes the image and selects it as drive C: for `fat`.
    void Mount(const TempDir& dir, DriveNode& node) {
        auto path = dir.File("fat16.img");
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(m_image.data()),
                   static_cast<std::streamsize>(m_image.size()));
        DeviceTable::Process().SetDriveLetter(2, DeviceSource{path.string(), 0, std::nullopt});
        node.kind = DriveKind::LogicalDrive;
        LogicalDriveInfo info;
        info.drive = 2;
        info.disk = 2;
        info.totalSectors = kSectors;
        info.lastSector = kSectors;
        info.partitionType = 4;
        node.detail = info;
    }

private:
    Bytes m_image;
};

class FatReaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        DeviceTable::Process().Clear();
        m_environment.window = &m_window;
        m_environment.flags = &m_flags;
        m_environment.selectedDrive = &m_node;
    }
    void TearDown() override { DeviceTable::Process().Clear(); }

    // Mounts the volume and prepares the reader as a scan does before its walks.
    CFatFileSystem& Open() {
        m_volume.Mount(m_dir, m_node);
        m_fat.SetVolumeFromDrive(0);
        Bytes boot(512);
        EXPECT_TRUE(m_fat.ReadSectors(0, 1, boot.data()));
        FatBootInfo info;
        EXPECT_EQ(ParseFatBootSector(boot, info), 1);
        m_fat.ApplyBootInfo(info);
        m_fat.ChooseLinkingMode();
        m_fat.BuildClusterMap();
        return m_fat;
    }

    TempDir m_dir;
    SyntheticFat16 m_volume;
    RecordingJobWindow m_window;
    JobFlags m_flags;
    DriveNode m_node;
    ScanEnvironment m_environment;
    CFatFileSystem m_fat{m_environment};
};

TEST_F(FatReaderTest, ChainsFollowTheFatAndStopAtLoopsAndTheEnd) {
    m_volume.SetEntry(3, 4);
    m_volume.SetEntry(4, 7);
    m_volume.SetEntry(7, 0xFFFF);
    m_volume.SetEntry(10, 11); // 10 -> 11 -> 12 -> 10 ...
    m_volume.SetEntry(11, 12);
    m_volume.SetEntry(12, 10);
    m_volume.SetEntry(20, 0xFFF7); // a bad-cluster mark is no next cluster
    CFatFileSystem& fat = Open();

    EXPECT_EQ(fat.LinkingModeValue(), CFatFileSystem::kLinkFat1);
    EXPECT_EQ(fat.GetClusterChain(3), (std::vector<uint32_t>{3, 4, 7}));
    EXPECT_EQ(fat.GetClusterChain(10), (std::vector<uint32_t>{10, 11, 12}));
    EXPECT_EQ(fat.GetClusterChain(20), (std::vector<uint32_t>{20}));
    EXPECT_TRUE(fat.GetClusterChain(1).empty());
    EXPECT_EQ(fat.GetFileClusters(3, 1500, false).clusters, (std::vector<uint32_t>{3, 4, 7}));

    // Deleted files are taken as consecutive clusters, as many as the size needs.
    EXPECT_EQ(fat.GetFileClusters(30, 1, true).clusters, (std::vector<uint32_t>{30}));
    EXPECT_EQ(fat.GetFileClusters(30, 1024, true).clusters, (std::vector<uint32_t>{30, 31}));
    EXPECT_EQ(fat.GetFileClusters(30, 1025, true).clusters, (std::vector<uint32_t>{30, 31, 32}));
    EXPECT_TRUE(fat.GetFileClusters(30, 0, true).clusters.empty());
    EXPECT_EQ(fat.GetFileClusters(30, 1025, true).byteLength, 1025u);

    // The usage map: allocated where the FAT has an entry, claimed along a file's chain.
    EXPECT_EQ(fat.ClusterUsage(4), CFatFileSystem::kClusterAllocated);
    EXPECT_EQ(fat.ClusterUsage(5), CFatFileSystem::kClusterUnused);
    FoundItem item;
    item.size = 1500;
    fat.ClaimFileClusters(3, &item, false);
    EXPECT_EQ(fat.ClusterUsage(3), CFatFileSystem::kClusterClaimed);
    EXPECT_EQ(fat.ClusterUsage(7), CFatFileSystem::kClusterClaimed);
    fat.ClaimFileClusters(10, nullptr, false); // loops end
    EXPECT_EQ(fat.ClusterUsage(12), CFatFileSystem::kClusterClaimed);
}

TEST_F(FatReaderTest, IdenticalCopiesAreNotCounted) {
    Open();
    auto rows = m_window.LogLines();
    bool identical = false, counted = false;
    for (const auto& [activity, description, status, image] : rows) {
        identical =
            identical || (activity == u"Comparing FAT Copies" && status == u"Identical copies");
        counted = counted || activity == u"FAT 1 verified";
    }
    EXPECT_TRUE(identical);
    EXPECT_FALSE(counted);
}

TEST_F(FatReaderTest, DifferingCopiesAreCountedAndTheBetterOneChosen) {
    // FAT1 points far outside the volume; FAT2 holds the real chain.
    m_volume.SetEntry(3, 4);
    m_volume.SetEntry(4, 0xFFFF);
    m_volume.SetEntry(5, 0xFFF0, 1);
    m_volume.SetEntry(6, 0xFFF0, 1);
    CFatFileSystem& fat = Open();
    EXPECT_EQ(fat.LinkingModeValue(), CFatFileSystem::kLinkFat2);
    std::u16string fat1Status;
    for (const auto& [activity, description, status, image] : m_window.LogLines())
        if (activity == u"FAT 1 verified")
            fat1Status = status;
    EXPECT_EQ(fat1Status, u"2 Error found");
}

TEST_F(FatReaderTest, MissingSignaturesMeanContiguousMode) {
    std::memset(m_volume.Fat(0), 0, 4);
    std::memset(m_volume.Fat(1), 0, 4);
    CFatFileSystem& fat = Open();
    EXPECT_EQ(fat.LinkingModeValue(), CFatFileSystem::kLinkContiguous);
    EXPECT_FALSE(fat.HasFat());
    EXPECT_EQ(fat.GetClusterChain(9), (std::vector<uint32_t>{9}));
    EXPECT_EQ(fat.GetFileClusters(9, 600, false).clusters, (std::vector<uint32_t>{9, 10}));
}

TEST_F(FatReaderTest, UniformFatSectorIsTakenFromTheOtherCopy) {
    // The second sector of FAT1 is all 0x0000 while FAT2 has a chain there.
    m_volume.SetEntry(300, 301, 2);
    m_volume.SetEntry(301, 0xFFFF, 2);
    CFatFileSystem& fat = Open();
    EXPECT_EQ(fat.LinkingModeValue(), CFatFileSystem::kLinkFat1);
    EXPECT_EQ(fat.GetClusterChain(300), (std::vector<uint32_t>{300, 301}));
}

TEST_F(FatReaderTest, ReadsPastTheVolumeFailAndZeroTheBuffer) {
    CFatFileSystem& fat = Open();
    Bytes buffer(512, 0xEE);
    uint32_t lastCluster = SyntheticFat16::kSectors - SyntheticFat16::kDataStart + 1;
    EXPECT_NE(fat.ReadCluster(lastCluster, 0, buffer.data(), 1), 0);
    std::fill(buffer.begin(), buffer.end(), 0xEE);
    EXPECT_EQ(fat.ReadCluster(lastCluster + 1, 0, buffer.data(), 1), 0);
    EXPECT_EQ(buffer[0], 0);
    EXPECT_EQ(fat.ReadCluster(1, 0, buffer.data(), 1), 0);
    EXPECT_EQ(fat.ReadCluster(0xFFFFFFF0u, 0, buffer.data(), 1), 0);
    EXPECT_EQ(fat.ReadSectors(SyntheticFat16::kSectors - 1, 2, Bytes(1024).data()), 0);
    EXPECT_EQ(fat.ClusterToSector(0x10000002u), 0x10000000ull + SyntheticFat16::kDataStart);
}

using fat_entry_bytes::PutLongPart;
using fat_entry_bytes::PutShortEntry;

uint8_t Checksum(const uint8_t* entry) {
    uint8_t sum = 0;
    for (int i = 0; i < 11; ++i)
        sum = static_cast<uint8_t>(((sum & 1) << 7) + (sum >> 1) + entry[i]);
    return sum;
}

TEST_F(FatReaderTest, LongNamesCrossClusterBoundaries) {
    // A folder in clusters 40 -> 41 -> 42, one sector each. A 30-character name needs three
    // parts: two at the end of cluster 41, one at the start of cluster 42, then the entry.
    m_volume.SetEntry(40, 41);
    m_volume.SetEntry(41, 42);
    m_volume.SetEntry(42, 0xFFFF);
    m_volume.SetEntry(50, 0xFFFF);
    const std::u16string name = u"A long name: ünïcödé and more";
    uint8_t shortEntry[32] = {};
    PutShortEntry(shortEntry, "ALONGN~1TXT", 0x20, 50, 700);
    uint8_t sum = Checksum(shortEntry);
    PutLongPart(m_volume.Cluster(41) + 512 - 64, name, 3, true, sum);
    PutLongPart(m_volume.Cluster(41) + 512 - 32, name, 2, false, sum);
    PutLongPart(m_volume.Cluster(42), name, 1, false, sum);
    std::memcpy(m_volume.Cluster(42) + 32, shortEntry, 32);
    CFatFileSystem& fat = Open();

    Bytes cluster(512);
    ASSERT_NE(fat.ReadCluster(42, 0, cluster.data(), 1), 0);
    FoundItem item;
    std::u16string found;
    ASSERT_TRUE(fat.EntryToFoundItem({cluster, 32, 41, 40}, item, found));
    EXPECT_EQ(found, name);
    EXPECT_EQ(item.size, 700u);
    EXPECT_EQ(item.firstCluster, 50u);
    EXPECT_EQ(item.entryId, 2u);
    EXPECT_EQ(item.modifiedDate, item.createdDate); // FAT16 keeps one date for all three
    EXPECT_EQ(item.deleted, 0);

    // Without the previous cluster only the part in this cluster is seen: no complete name,
    // so the walk must not invent one from a fragment.
    ASSERT_TRUE(fat.EntryToFoundItem({cluster, 32, 0, 0}, item, found));
    EXPECT_EQ(found, u"ALONGN~1.TXT");
    EXPECT_EQ(item.entryId, 3u);

    // A changed short name no longer matches the parts' checksum.
    cluster[32 + 1] = 'X';
    ASSERT_TRUE(fat.EntryToFoundItem({cluster, 32, 41, 40}, item, found));
    EXPECT_EQ(found, u"AXONGN~1.TXT");
}

TEST_F(FatReaderTest, EntriesThatAreNoItems) {
    CFatFileSystem& fat = Open();
    Bytes buffer(32 * 6, 0);
    PutShortEntry(&buffer[0], ".          ", 0x10, 5, 0);
    PutShortEntry(&buffer[32], "LABEL      ", 0x08, 0, 0);
    PutShortEntry(&buffer[64], "BIG     BIN", 0x20, 9, 0xFFFFFFF0u);
    PutShortEntry(&buffer[96], "ZERO    BIN", 0x20, 1, 10);
    PutShortEntry(&buffer[128], "\xE5ONE    TXT", 0x20, 60, 10);
    FoundItem item;
    std::u16string name;
    for (size_t offset : {0u, 32u, 64u, 96u, 160u, 192u})
        EXPECT_FALSE(fat.EntryToFoundItem({buffer, offset}, item, name)) << offset;
    ASSERT_TRUE(fat.EntryToFoundItem({buffer, 128}, item, name));
    EXPECT_EQ(name, u"XONE.TXT");
    EXPECT_EQ(item.deleted, 1);
}

TEST_F(FatReaderTest, CheckEntryRules) {
    m_volume.SetEntry(70, 0xFFFF);
    PutShortEntry(m_volume.Cluster(70), ".          ", 0x10, 70, 0);
    PutShortEntry(m_volume.Cluster(70) + 32, "..         ", 0x10, 0, 0);
    CFatFileSystem& fat = Open();
    const uint32_t limit = fat.ClusterLimit();
    uint8_t entry[32];
    PutShortEntry(entry, "FILE    TXT", 0x20, 80, 100);
    EXPECT_EQ(fat.CheckEntry(entry, limit), 1);
    PutShortEntry(entry, "DIR        ", 0x10, 70, 0);
    EXPECT_EQ(fat.CheckEntry(entry, limit), 1);
    PutShortEntry(entry, "DIR        ", 0x10, 71, 0); // its cluster has no "." entries
    EXPECT_EQ(fat.CheckEntry(entry, limit), 0);
    PutShortEntry(entry, "DIR        ", 0x10, 70, 5); // a folder with a size
    EXPECT_EQ(fat.CheckEntry(entry, limit), 0);
    PutShortEntry(entry, "LABEL      ", 0x08, 0, 0);
    EXPECT_EQ(fat.CheckEntry(entry, limit), 2);
    PutShortEntry(entry, "FILE    TXT", 0x20, 80, 100, (43 << 9) | (13 << 5) | 1);
    EXPECT_EQ(fat.CheckEntry(entry, limit), 0); // month 13
    PutShortEntry(entry, "FILE    TXT", 0x20, 80, 100, 0);
    EXPECT_EQ(fat.CheckEntry(entry, limit), 0);
    PutShortEntry(entry, "FI\0E    TXT", 0x20, 80, 100);
    EXPECT_EQ(fat.CheckEntry(entry, limit), 0);
    PutShortEntry(entry, "FILE    TXT", 0x0F, 80, 100);
    EXPECT_EQ(fat.CheckEntry(entry, limit), 0);
    PutShortEntry(entry, "FILE    TXT", 0x20, limit + 1, 100);
    EXPECT_EQ(fat.CheckEntry(entry, limit), 0);
}

TEST(FatShortNameTest, CodePageCaseFlagsAndPadding) {
    uint8_t entry[32] = {};
    std::memcpy(entry, "R\x90SUM\x90~1TXT", 11);
    EXPECT_EQ(FatShortName::Decode({entry, 32}, false), u"RÉSUMÉ~1.TXT");
    std::memcpy(entry, "NOTES   TXT", 11);
    entry[12] = 0x08 | 0x10;
    EXPECT_EQ(FatShortName::Decode({entry, 32}, false), u"notes.txt");
    std::memcpy(entry,
                "\x05"
                "ABC       ",
                11);
    entry[12] = 0;
    EXPECT_EQ(FatShortName::Decode({entry, 32}, false), u"\u00D5ABC"); // 0xE5 in code page 850
    std::memcpy(entry, "\xE5OLDER     ", 11);
    EXPECT_EQ(FatShortName::Decode({entry, 32}, true), u"XOLDER");
}

} // namespace

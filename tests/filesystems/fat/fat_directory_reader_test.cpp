#include "filesystems/fat/fat_directory_reader.h"

#include "filesystems/fat/fat_boot_info.h"
#include "filesystems/fat/fat_directory_entry.h"
#include "tests/filesystems/fat/fat_entry_bytes.h"
#include "tests/filesystems/fat/fat_memory_volume.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

namespace {

using fat_entry_bytes::kDate;

std::array<uint8_t, 32> ShortEntry(const char* name83, uint8_t attributes, uint16_t cluster,
                                   uint32_t size, uint16_t date = kDate) {
    std::array<uint8_t, 32> entry{};
    fat_entry_bytes::PutShortEntry(entry.data(), name83, attributes, cluster, size, date);
    // Creation and access stamps that FAT32 entries keep apart from the modified ones.
    entry[14] = 0x11;
    entry[16] = 0x22;
    entry[18] = 0x33;
    return entry;
}

std::array<uint8_t, 32> LongPart(const std::u16string& name, int sequence, bool last,
                                 uint8_t checksum, bool deleted = false) {
    std::array<uint8_t, 32> entry{};
    fat_entry_bytes::PutLongPart(entry.data(), name, sequence, last, checksum, deleted);
    return entry;
}

// A volume in memory with one-sector clusters: cluster c is sector c + 1.
class FatDirectoryReaderTest : public ::testing::Test {
protected:
    static constexpr uint32_t kSectors = 200;

    FatDirectoryReaderTest() : m_memory(std::vector<uint8_t>(kSectors * 512, 0)) {}

    uint8_t* Cluster(uint32_t cluster) { return m_memory.Bytes().data() + (cluster + 1) * 512; }
    void Put(uint32_t cluster, size_t index, const std::array<uint8_t, 32>& entry) {
        std::memcpy(Cluster(cluster) + index * 32, entry.data(), entry.size());
    }

    FatDirectoryReader Reader(bool fat32 = false) {
        CFatFileSystem& volume = m_memory.SetUp(4);
        FatBootInfo boot;
        boot.type = FatType::Fat16;
        boot.sectorsPerCluster = 1;
        boot.reservedSectors = 1;
        boot.sectorsPerFat = 1;
        boot.rootFolderSectors = 0;
        volume.ApplyBootInfo(boot);
        return FatDirectoryReader(volume, {kLimit, kSectors - 3, fat32});
    }

    static constexpr uint32_t kLimit = 150;
    FatMemoryVolume m_memory;
};

// The long name is gathered back from the entry over its own buffer and the folder's two
// previous clusters; anything that does not link up gives no name.
TEST_F(FatDirectoryReaderTest, LongNamesAreGatheredOrRefused) {
    const std::u16string name = u"A rather long name, ünïcödé, over three parts.txt"; // 49
    const std::array<uint8_t, 32> live = ShortEntry("ARATHE~1TXT", 0x20, 60, 700);
    const uint8_t sum = FatDirectoryEntry::ShortNameChecksum(live);
    std::array<uint8_t, 32> deletedEntry = live;
    deletedEntry[0] = 0xE5;

    struct Case {
        const char* what;
        // parts in cluster 20 (its last entries), then in cluster 21 before the entry
        std::vector<std::array<uint8_t, 32>> previousTail;
        std::vector<std::array<uint8_t, 32>> ownHead;
        std::array<uint8_t, 32> entry;
        uint32_t previous;
        std::u16string expected;
    };
    const std::vector<Case> cases = {
        {"whole in its own cluster",
         {},
         {LongPart(name, 4, true, sum), LongPart(name, 3, false, sum),
          LongPart(name, 2, false, sum), LongPart(name, 1, false, sum)},
         live,
         0,
         name},
        {"across the previous cluster",
         {LongPart(name, 4, true, sum), LongPart(name, 3, false, sum)},
         {LongPart(name, 2, false, sum), LongPart(name, 1, false, sum)},
         live,
         20,
         name},
        {"previous cluster not given: a fragment",
         {LongPart(name, 4, true, sum), LongPart(name, 3, false, sum)},
         {LongPart(name, 2, false, sum), LongPart(name, 1, false, sum)},
         live,
         0,
         u""},
        {"checksum of another entry",
         {},
         {LongPart(name, 4, true, sum ^ 1), LongPart(name, 3, false, sum ^ 1),
          LongPart(name, 2, false, sum ^ 1), LongPart(name, 1, false, sum ^ 1)},
         live,
         0,
         u""},
        {"a part missing in the sequence",
         {},
         {LongPart(name, 4, true, sum), LongPart(name, 2, false, sum),
          LongPart(name, 1, false, sum)},
         live,
         0,
         u""},
        {"deleted with its parts",
         {},
         {LongPart(name, 4, true, sum, true), LongPart(name, 3, false, sum, true),
          LongPart(name, 2, false, sum, true), LongPart(name, 1, false, sum, true)},
         deletedEntry,
         0,
         name},
        {"deleted entry after live parts",
         {},
         {LongPart(name, 2, false, sum), LongPart(name, 1, false, sum)},
         deletedEntry,
         0,
         u""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::memset(Cluster(20), 0, 512);
        std::memset(Cluster(21), 0, 512);
        for (size_t i = 0; i < c.previousTail.size(); ++i)
            Put(20, 16 - c.previousTail.size() + i, c.previousTail[i]);
        for (size_t i = 0; i < c.ownHead.size(); ++i)
            Put(21, i, c.ownHead[i]);
        Put(21, c.ownHead.size(), c.entry);
        const FatDirectoryReader reader = Reader();
        const std::span<const uint8_t> own(Cluster(21), 512);
        const EntryLocation where{own, c.ownHead.size() * 32, c.previous, 0};
        EXPECT_EQ(reader.ReadLongName(where), c.expected);

        FoundItem item;
        std::u16string found;
        ASSERT_TRUE(reader.ToFoundItem(where, item, found));
        EXPECT_EQ(found, c.expected.empty()
                             ? (c.entry[0] == 0xE5 ? u"XRATHE~1.TXT" : u"ARATHE~1.TXT")
                             : c.expected);
        EXPECT_EQ(item.entryId, 0u); // ids are the volume's to give
        EXPECT_EQ(item.deleted, c.entry[0] == 0xE5 ? 1 : 0);
    }
}

TEST_F(FatDirectoryReaderTest, ItemTimesAndBounds) {
    std::vector<uint8_t> buffer(4 * 32, 0);
    auto put = [&](size_t index, const std::array<uint8_t, 32>& entry) {
        std::memcpy(buffer.data() + index * 32, entry.data(), 32);
    };
    put(0, ShortEntry("FILE    TXT", 0x20, 60, 700));
    put(1, ShortEntry("FAR     TXT", 0x20, kLimit, 700));                  // at the limit
    put(2, ShortEntry("BIG     TXT", 0x20, 60, (kSectors - 3) * 512 + 1)); // past the data area
    put(3, ShortEntry("SUB        ", 0x10, 60, 1234));                     // a folder's size is 0
    struct Case {
        bool fat32;
        uint16_t createdTime;
        uint16_t createdDate;
        uint16_t lastAccess;
    };
    for (const Case& c :
         {Case{false, fat_entry_bytes::kTime, kDate, kDate}, Case{true, 0x11, 0x22, 0x33}}) {
        SCOPED_TRACE(c.fat32);
        const FatDirectoryReader reader = Reader(c.fat32);
        FoundItem item;
        std::u16string name;
        ASSERT_TRUE(reader.ToFoundItem({buffer, 0}, item, name));
        EXPECT_EQ(name, u"FILE.TXT");
        EXPECT_EQ(item.size, 700u);
        EXPECT_EQ(item.firstCluster, 60u);
        EXPECT_EQ(item.modifiedTime, fat_entry_bytes::kTime);
        EXPECT_EQ(item.modifiedDate, kDate);
        EXPECT_EQ(item.createdTime, c.createdTime);
        EXPECT_EQ(item.createdDate, c.createdDate);
        EXPECT_EQ(item.lastAccess, c.lastAccess);
        EXPECT_FALSE(reader.ToFoundItem({buffer, 32}, item, name));
        EXPECT_FALSE(reader.ToFoundItem({buffer, 64}, item, name));
        ASSERT_TRUE(reader.ToFoundItem({buffer, 96}, item, name));
        EXPECT_TRUE(item.IsFolder());
        EXPECT_EQ(item.size, 0u);
        // An offset whose entry does not fit in the buffer is no item.
        EXPECT_FALSE(reader.ToFoundItem({buffer, 100}, item, name));
        EXPECT_FALSE(reader.ToFoundItem({buffer, 4 * 32}, item, name));
    }
}

// A folder entry is an item only where its first cluster starts with "." and "..".
TEST_F(FatDirectoryReaderTest, FolderEntriesNeedTheirOwnHead) {
    Put(70, 0, ShortEntry(".          ", 0x10, 70, 0));
    Put(70, 1, ShortEntry("..         ", 0x10, 0, 0));
    const FatDirectoryReader reader = Reader();
    EXPECT_EQ(reader.CheckEntry(ShortEntry("DIR        ", 0x10, 70, 0), kLimit), 1);
    EXPECT_EQ(reader.CheckEntry(ShortEntry("DIR        ", 0x10, 71, 0), kLimit), 0);
    // A first cluster past the volume reads as nothing: no folder.
    EXPECT_EQ(reader.CheckEntry(ShortEntry("DIR        ", 0x10, 1000, 0), 2000), 0);
}

TEST_F(FatDirectoryReaderTest, HoldsEntriesRule) {
    const FatDirectoryReader reader = Reader();
    auto file = [](const char* name, uint16_t cluster, uint16_t date = 0x576E) {
        return ShortEntry(name, 0x20, cluster, 100, date);
    };
    auto cluster = [](std::initializer_list<std::array<uint8_t, 32>> entries) {
        std::vector<uint8_t> bytes(512, 0);
        size_t at = 0;
        for (const auto& entry : entries) {
            std::memcpy(bytes.data() + at, entry.data(), entry.size());
            at += 32;
        }
        return bytes;
    };
    auto label = file("VOLUME     ", 0);
    label[11] = 0x08;
    const auto good = file("GOOD    TXT", 100);
    const auto other = file("OTHER   TXT", 120);
    const auto badDate = file("BAD     TXT", 130, 0);
    auto dot = file(".          ", 100);
    dot[11] = 0x10;
    dot[28] = 0;

    auto holds = [&](const std::vector<uint8_t>& bytes) { return reader.HoldsEntries(bytes); };
    EXPECT_TRUE(holds(cluster({good, other})));
    EXPECT_TRUE(holds(cluster({good, badDate})));            // one, at the very start
    EXPECT_TRUE(holds(cluster({label, good})));              // one, then an all-zero entry
    EXPECT_FALSE(holds(cluster({label, good, badDate})));    // one, followed by no empty entry
    EXPECT_FALSE(holds(cluster({dot, good, other})));        // a folder's own start
    EXPECT_FALSE(holds(cluster({label, good, dot, other}))); // the count stops at "."
    EXPECT_FALSE(holds(cluster({})));
    EXPECT_FALSE(holds(cluster({badDate, label})));
    // One entry that is the cluster's last: no empty entry follows it.
    std::vector<uint8_t> full(64, 0);
    std::memcpy(full.data(), label.data(), 32);
    std::memcpy(full.data() + 32, good.data(), 32);
    EXPECT_FALSE(holds(full));
}

} // namespace

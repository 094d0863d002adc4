#include "diskio/inventory/partition_table.h"

#include "platform/resources/string_table.h"
#include "platform/text/utf_conversion.h"
#include "tests/support/fixture_image.h"
#include "tests/support/mmls_listing.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>

namespace {

using Partition = PartitionTable::Partition;
using Scheme = PartitionTable::Scheme;
using Disk = std::vector<uint8_t>;

constexpr size_t kSector = 512;

void Put32(Disk& disk, uint64_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        disk[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

void Put64(Disk& disk, uint64_t at, uint64_t value) {
    Put32(disk, at, static_cast<uint32_t>(value));
    Put32(disk, at + 4, static_cast<uint32_t>(value >> 32));
}

// One entry of the table in `sector`, which gets its signature.
void Entry(Disk& disk, uint64_t sector, int slot, uint8_t type, uint32_t start, uint32_t count,
           uint8_t boot = 0) {
    const uint64_t at = sector * kSector + 446 + 16 * static_cast<uint64_t>(slot);
    disk[at] = boot;
    disk[at + 4] = type;
    Put32(disk, at + 8, start);
    Put32(disk, at + 12, count);
    disk[sector * kSector + 510] = 0x55;
    disk[sector * kSector + 511] = 0xAA;
}

PartitionTable::Result ReadDisk(const Disk& disk) {
    return PartitionTable::Read(SectorSource::ForMemory(disk), disk.size() / kSector);
}

Disk ReadWholeFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Disk(std::istreambuf_iterator<char>(in), {});
}

// The GPT that sfdisk wrote, with its header checksum made right again after a change.
class GptFixture {
public:
    static Disk Load() {
        TempDir dir;
        std::filesystem::path image = UnpackFixture("gpt_disk.img", dir);
        return image.empty() ? Disk{} : ReadWholeFile(image);
    }
    static void Reseal(Disk& disk) {
        const uint64_t header = kSector;
        uint32_t size = disk[header + 12] | disk[header + 13] << 8;
        Put32(disk, header + 16, 0);
        Put32(disk, header + 16,
              static_cast<uint32_t>(crc32(0, disk.data() + header, static_cast<uInt>(size))));
    }
};

// A test name from a case's description.
std::string CaseName(const char* description) {
    std::string name = description;
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return name;
}

struct MalformedCase {
    const char* name;
    std::function<void(Disk&)> build;
    uint64_t sectors;
    Scheme scheme;
    std::vector<Partition> partitions;
    // Part of the one problem expected; null for none.
    const char* problem;
};

class PartitionTableMalformed : public ::testing::TestWithParam<MalformedCase> {};

TEST_P(PartitionTableMalformed, ReadsWhatIsSoundAndNamesTheRest) {
    const MalformedCase& c = GetParam();
    Disk disk(c.sectors * kSector);
    c.build(disk);
    PartitionTable::Result result = ReadDisk(disk);
    EXPECT_EQ(result.scheme, c.scheme);
    EXPECT_EQ(result.partitions, c.partitions);
    if (c.problem == nullptr) {
        EXPECT_TRUE(result.problems.empty()) << result.problems.front();
    } else {
        ASSERT_EQ(result.problems.size(), 1u);
        EXPECT_NE(result.problems[0].find(c.problem), std::string::npos) << result.problems[0];
    }
}

// A chain of `tables` extended tables from sector 100, two sectors apart, each with one
// logical partition of one sector right after it.
void LongChain(Disk& disk, uint32_t tables) {
    Entry(disk, 0, 0, 0x05, 100, tables * 2);
    for (uint32_t i = 0; i < tables; ++i) {
        Entry(disk, 100 + 2 * i, 0, 0x83, 1, 1);
        if (i + 1 < tables)
            Entry(disk, 100 + 2 * i, 1, 0x05, 2 * (i + 1), 2);
    }
}

std::vector<Partition> LongChainPartitions(uint32_t count) {
    std::vector<Partition> partitions;
    for (uint32_t i = 0; i < count; ++i)
        partitions.push_back({5 + i, 101 + 2 * uint64_t{i}, 1, 0x83});
    return partitions;
}

const MalformedCase kMbrCases[] = {
    {"blank", [](Disk&) {}, 64, Scheme::None, {}, nullptr},
    {"no signature",
     [](Disk& d) {
         Entry(d, 0, 0, 0x06, 1, 10);
         d[511] = 0;
     },
     64,
     Scheme::None,
     {},
     nullptr},
    {"boot code where entries would be",
     [](Disk& d) {
         Entry(d, 0, 0, 0x06, 1, 10);
         Entry(d, 0, 2, 0x07, 20, 10, 0x4C);
     },
     64,
     Scheme::None,
     {},
     nullptr},
    {"a volume's boot sector",
     [](Disk& d) {
         Entry(d, 0, 0, 0x06, 1, 10);
         std::memcpy(d.data() + 3, "NTFS    ", 8);
     },
     64,
     Scheme::None,
     {},
     nullptr},
    {"primaries keep their slot numbers, empty slots skipped",
     [](Disk& d) {
         Entry(d, 0, 1, 0x0C, 8, 16, 0x80);
         Entry(d, 0, 2, 0x06, 30, 0); // no sectors
         Entry(d, 0, 3, 0x07, 40, 8);
     },
     64,
     Scheme::Mbr,
     {{2, 8, 16, 0x0C}, {4, 40, 8, 0x07}},
     nullptr},
    {"logicals follow the primaries by number, wherever they lie",
     [](Disk& d) {
         Entry(d, 0, 0, 0x0F, 10, 30);
         Entry(d, 0, 1, 0x06, 50, 10);
         Entry(d, 10, 0, 0x07, 2, 5);
         Entry(d, 10, 1, 0x05, 10, 10); // next table at 10 + 10
         Entry(d, 20, 0, 0x01, 1, 9);
     },
     64,
     Scheme::Mbr,
     {{2, 50, 10, 0x06}, {5, 12, 5, 0x07}, {6, 21, 9, 0x01}},
     nullptr},
    {"chain that loops back to its own table",
     [](Disk& d) {
         Entry(d, 0, 0, 0x05, 10, 30);
         Entry(d, 10, 0, 0x07, 2, 5);
         Entry(d, 10, 1, 0x05, 0, 30);
     },
     64,
     Scheme::Mbr,
     {{5, 12, 5, 0x07}},
     "loops back to sector 10"},
    {"chain that loops back to an earlier table",
     [](Disk& d) {
         Entry(d, 0, 0, 0x05, 10, 30);
         Entry(d, 10, 0, 0x07, 2, 5);
         Entry(d, 10, 1, 0x05, 10, 10);
         Entry(d, 20, 0, 0x07, 2, 5);
         Entry(d, 20, 1, 0x05, 0, 10);
     },
     64,
     Scheme::Mbr,
     {{5, 12, 5, 0x07}, {6, 22, 5, 0x07}},
     "loops back to sector 10"},
    {"chain that points at the master table",
     [](Disk& d) { Entry(d, 0, 0, 0x05, 0, 30); },
     64,
     Scheme::Mbr,
     {},
     "loops back to sector 0"},
    {"chain longer than the table limit",
     [](Disk& d) { LongChain(d, PartitionTable::kMaxExtendedTables + 10); }, 512, Scheme::Mbr,
     LongChainPartitions(PartitionTable::kMaxExtendedTables), "more than 128 tables"},
    {"chain of exactly the table limit",
     [](Disk& d) { LongChain(d, PartitionTable::kMaxExtendedTables); }, 512, Scheme::Mbr,
     LongChainPartitions(PartitionTable::kMaxExtendedTables), nullptr},
    {"extended table past the end of the disk",
     [](Disk& d) {
         Entry(d, 0, 0, 0x05, 10, 30);
         Entry(d, 10, 1, 0x05, 0xFFFFFFF0, 10);
     },
     64,
     Scheme::Mbr,
     {},
     "lies past the end"},
    {"extended table without a signature",
     [](Disk& d) {
         Entry(d, 0, 0, 0x05, 10, 30);
         Entry(d, 10, 0, 0x07, 2, 5);
         Entry(d, 10, 1, 0x05, 20, 10);
     },
     64,
     Scheme::Mbr,
     {{5, 12, 5, 0x07}},
     "at sector 30 has no table signature"},
    {"partition running past the end is cut there",
     [](Disk& d) { Entry(d, 0, 0, 0x06, 8, 0xFFFFFFFF); },
     64,
     Scheme::Mbr,
     {{1, 8, 56, 0x06}},
     "cut at sector 63"},
    {"partition starting past the end is left out",
     [](Disk& d) {
         Entry(d, 0, 0, 0x06, 64, 8);
         Entry(d, 0, 1, 0x07, 8, 8);
     },
     64,
     Scheme::Mbr,
     {{2, 8, 8, 0x07}},
     "partition 1 starts at sector 64"},
};

INSTANTIATE_TEST_SUITE_P(Mbr, PartitionTableMalformed, ::testing::ValuesIn(kMbrCases),
                         [](const auto& info) { return CaseName(info.param.name); });

// The real GPT, then one field of it broken at a time (the header resealed where the change
// is not to the checksum itself).
struct GptCase {
    const char* name;
    std::function<void(Disk&)> damage;
    const char* problem;
};

class PartitionTableGpt : public ::testing::TestWithParam<GptCase> {};

TEST_P(PartitionTableGpt, DamagedTableGivesNoPartitionsAndSaysWhy) {
    Disk disk = GptFixture::Load();
    ASSERT_FALSE(disk.empty());
    GetParam().damage(disk);
    PartitionTable::Result result = ReadDisk(disk);
    EXPECT_EQ(result.scheme, Scheme::Gpt);
    EXPECT_TRUE(result.partitions.empty());
    ASSERT_EQ(result.problems.size(), 1u);
    EXPECT_NE(result.problems[0].find(GetParam().problem), std::string::npos) << result.problems[0];
}

constexpr uint64_t kHeader = kSector;

const GptCase kGptCases[] = {
    {"header checksum", [](Disk& d) { d[kHeader + 40] ^= 1; }, "header checksum does not match"},
    {"entry array checksum", [](Disk& d) { d[2 * kSector + 56] ^= 1; },
     "entry array checksum does not match"},
    {"huge entry count",
     [](Disk& d) {
         Put32(d, kHeader + 80, 0xFFFFFFFF);
         GptFixture::Reseal(d);
     },
     "lists 4294967295 entries"},
    {"entry count one past the cap",
     [](Disk& d) {
         Put32(d, kHeader + 80, PartitionTable::kMaxGptEntries + 1);
         GptFixture::Reseal(d);
     },
     "more than 4096"},
    {"entry size below an entry",
     [](Disk& d) {
         Put32(d, kHeader + 84, 64);
         GptFixture::Reseal(d);
     },
     "entry size as 64 bytes"},
    {"entry size not a power of two",
     [](Disk& d) {
         Put32(d, kHeader + 84, 192);
         GptFixture::Reseal(d);
     },
     "entry size as 192 bytes"},
    {"entry array past the end",
     [](Disk& d) {
         Put64(d, kHeader + 72, d.size() / kSector - 1);
         GptFixture::Reseal(d);
     },
     "does not fit the disk"},
    {"header size beyond its sector",
     [](Disk& d) {
         Put32(d, kHeader + 12, 4096);
         GptFixture::Reseal(d);
     },
     "size as 4096 bytes"},
    {"last usable sector past the end",
     [](Disk& d) {
         Put64(d, kHeader + 48, d.size() / kSector);
         GptFixture::Reseal(d);
     },
     "do not fit the disk"},
    {"no header signature", [](Disk& d) { d[kHeader] = 'X'; }, "holds no GPT header"},
    {"protective entry not at sector 1", [](Disk& d) { Put32(d, 446 + 8, 2); }, "not at sector 1"},
};

INSTANTIATE_TEST_SUITE_P(Damaged, PartitionTableGpt, ::testing::ValuesIn(kGptCases),
                         [](const auto& info) { return CaseName(info.param.name); });

// What sfdisk wrote, read as sleuthkit's mmls reads it.
TEST(PartitionTableTest, TablesMadeBySfdiskMatchMmls) {
    for (const char* name : {"mbr_logical", "gpt_disk"}) {
        SCOPED_TRACE(name);
        TempDir dir;
        std::filesystem::path image = UnpackFixture(std::string(name) + ".img", dir);
        ASSERT_FALSE(image.empty());
        const Disk disk = ReadWholeFile(image);
        PartitionTable::Result result = ReadDisk(disk);
        EXPECT_TRUE(result.problems.empty());
        EXPECT_EQ(result.scheme, std::string(name) == "gpt_disk" ? Scheme::Gpt : Scheme::Mbr);
        std::vector<MmlsPartition> expected =
            ReadMmlsPartitions(FixturesFolder() / (std::string(name) + ".mmls"));
        ASSERT_EQ(result.partitions.size(), expected.size());
        for (size_t i = 0; i < expected.size(); ++i) {
            EXPECT_EQ(result.partitions[i].number, expected[i].number);
            EXPECT_EQ(result.partitions[i].firstSector, expected[i].start);
            EXPECT_EQ(result.partitions[i].sectorCount, expected[i].length);
        }
    }
}

TEST(PartitionTableTest, UnreadableSectorZeroIsNamed) {
    PartitionTable::Result result = PartitionTable::Read(SectorSource(), 100);
    EXPECT_EQ(result.scheme, Scheme::None);
    ASSERT_EQ(result.problems.size(), 1u);
    EXPECT_EQ(result.problems[0], Utf16ToUtf8(StringTable::Program().English(62330)));
    EXPECT_TRUE(PartitionTable::Read(SectorSource(), 0).problems.empty());
}

// The problems are in the language in force, as UTF-8.
TEST(PartitionTableTest, ProblemsFollowTheLanguage) {
    TempDir dir;
    {
        std::ofstream pack(dir.File("French.dll"), std::ios::binary);
        pack << "62330\tle secteur 0 est illisible (ø)\n";
    }
    StringTable& strings = StringTable::Program();
    ASSERT_TRUE(strings.LoadPack(dir.File("French.dll")));
    const PartitionTable::Result result = PartitionTable::Read(SectorSource(), 100);
    strings.UseEnglish();
    ASSERT_EQ(result.problems.size(), 1u);
    EXPECT_EQ(result.problems[0], "le secteur 0 est illisible (\xc3\xb8)");
}

} // namespace

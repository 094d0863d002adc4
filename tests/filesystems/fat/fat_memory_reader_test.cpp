// The reader set up over bytes in memory runs the same set-up and scans as over a drive: what
// it finds is what the fixture script put on the image.
#include "tests/filesystems/fat/fat_memory_volume.h"

#include "platform/utf_conversion.h"
#include "tests/support/fixture_image.h"
#include "tests/support/fixture_manifest.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

struct MemoryCase {
    const char* fixture;
    uint8_t partitionType;
    FatType type;
};

class FatMemoryReaderTest : public ::testing::TestWithParam<MemoryCase> {};

// Live files that own data: the entries the standard scan sends as files.
std::vector<std::u16string> LiveFileNames(const std::string& fixture) {
    std::vector<std::u16string> names;
    for (const ManifestEntry& entry : ReadManifest(FixturesFolder() / (fixture + ".manifest"))) {
        if (entry.kind != "file" || entry.state != "present" || entry.size == 0)
            continue;
        const size_t slash = entry.path.rfind('/');
        names.push_back(
            Utf8ToUtf16(slash == std::string::npos ? entry.path : entry.path.substr(slash + 1)));
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST_P(FatMemoryReaderTest, StandardScanFindsTheListedFiles) {
    const MemoryCase& c = GetParam();
    FatMemoryVolume volume(FatMemoryVolume::FixtureBytes(c.fixture));
    ASSERT_FALSE(volume.Bytes().empty());
    CFatFileSystem& reader = volume.SetUp(c.partitionType);
    EXPECT_TRUE(reader.Source().IsMemory());
    reader.Scan();
    EXPECT_EQ(reader.Type(), c.type);
    std::vector<std::u16string> live;
    for (const FatMemoryVolume::SentItem& sent : volume.Items())
        if (!sent.item.IsFolder() && sent.item.deleted == 0)
            live.push_back(sent.name);
    std::sort(live.begin(), live.end());
    EXPECT_EQ(live, LiveFileNames(c.fixture));
}

INSTANTIATE_TEST_SUITE_P(Fixtures, FatMemoryReaderTest,
                         ::testing::Values(MemoryCase{"fat12_small", 1, FatType::Fat12},
                                           MemoryCase{"fat16_volume", 6, FatType::Fat16},
                                           MemoryCase{"fat32_volume", 12, FatType::Fat32}),
                         [](const auto& info) { return std::string(info.param.fixture); });

// The properties of each type as the FAT itself shows them: the end mark ends a chain, the
// bad-cluster mark does not count as a next cluster.
TEST(FatTypeTest, CodesRoundTripAndUnknownReadsAsFat12) {
    for (FatType type : {FatType::Fat12, FatType::Fat16, FatType::Fat32}) {
        EXPECT_EQ(FatTypeFromCode(FatTypeCode(type)), type);
        EXPECT_EQ(PropertiesOf(type).type, type);
        EXPECT_EQ(PropertiesOf(type).badClusterMark + 1, PropertiesOf(type).endMark);
    }
    EXPECT_EQ(FatTypeFromCode(6), FatType::Unknown);
    EXPECT_EQ(PropertiesOf(FatType::Unknown).type, FatType::Fat12);
    EXPECT_EQ(FatTypeOfPartition(0x0C), FatType::Fat32);
    EXPECT_EQ(FatTypeOfPartition(0x06), FatType::Fat16);
    EXPECT_EQ(FatTypeOfPartition(0x07), FatType::Unknown);
    EXPECT_EQ(FatEntryOffset(FatType::Fat12, 3), 4u);
    EXPECT_EQ(FatEntryOffset(FatType::Fat16, 3), 6u);
    EXPECT_EQ(FatEntryOffset(FatType::Fat32, 3), 12u);
}

} // namespace

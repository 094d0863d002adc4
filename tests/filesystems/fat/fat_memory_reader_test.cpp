// The reader set up over bytes in memory runs the same set-up and scans as over a drive: what
// it finds is what the fixture script put on the image.
#include "tests/filesystems/fat/fat_memory_volume.h"

#include "platform/text/utf_conversion.h"
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

} // namespace

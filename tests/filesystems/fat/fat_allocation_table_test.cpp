#include "filesystems/fat/fat_allocation_table.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace {

// Writes `value` as entry `cluster` of a table of `type`, the way the file system lays it out.
void PutEntry(std::vector<uint8_t>& table, FatType type, uint32_t cluster, uint32_t value) {
    const size_t at = static_cast<size_t>(FatEntryOffset(type, cluster));
    switch (type) {
    case FatType::Fat32:
        for (size_t i = 0; i < 4; ++i)
            table[at + i] = static_cast<uint8_t>(value >> (8 * i));
        break;
    case FatType::Fat16:
        table[at] = static_cast<uint8_t>(value);
        table[at + 1] = static_cast<uint8_t>(value >> 8);
        break;
    default:
        if (cluster & 1) {
            table[at] = static_cast<uint8_t>((table[at] & 0x0F) | ((value << 4) & 0xF0));
            table[at + 1] = static_cast<uint8_t>(value >> 4);
        } else {
            table[at] = static_cast<uint8_t>(value);
            table[at + 1] = static_cast<uint8_t>((table[at + 1] & 0xF0) | ((value >> 8) & 0x0F));
        }
        break;
    }
}

FatAllocationTable TableOf(FatType type, size_t sectors,
                           const std::vector<std::pair<uint32_t, uint32_t>>& entries) {
    std::vector<uint8_t> bytes(sectors * 512, 0);
    for (const auto& [cluster, value] : entries)
        PutEntry(bytes, type, cluster, value);
    FatAllocationTable table;
    table.SetType(type);
    table.Assign(std::move(bytes));
    return table;
}

struct TypeCase {
    const char* name;
    FatType type;
    uint32_t endMark;
    uint32_t badMark;
    uint32_t entriesPerTwoSectors;
};

class FatAllocationTableByTypeTest : public ::testing::TestWithParam<TypeCase> {};

// Each type's marks end a chain where they should: the lowest end mark does, the bad mark and
// the value just below the end mark do not (they are links, then cut by the limit).
TEST_P(FatAllocationTableByTypeTest, MarksEntriesAndChains) {
    const TypeCase& c = GetParam();
    FatAllocationTable table = TableOf(c.type, 2,
                                       {{2, 3},
                                        {3, 4},
                                        {4, c.endMark},     // a whole chain
                                        {5, c.endMark | 7}, // the highest end mark
                                        {6, c.badMark},     // bad: no next cluster
                                        {7, 8},
                                        {8, 9},
                                        {9, 7},                  // a cycle
                                        {10, 60000 % c.endMark}, // past the limit
                                        {11, 0},                 // free: a zero link
                                        {12, 1}});               // a link below 2
    EXPECT_EQ(table.EndMark(), c.endMark);
    EXPECT_EQ(table.BadClusterMark(), c.badMark);
    EXPECT_EQ(table.EntryCount(), c.entriesPerTwoSectors);
    EXPECT_EQ(table.Entry(4), c.endMark);
    EXPECT_EQ(table.Entry(6), c.badMark);
    EXPECT_EQ(table.Entry(11), FatAllocationTable::kFree);

    const uint32_t limit = 50;
    EXPECT_EQ(table.Chain(2, limit), (std::vector<uint32_t>{2, 3, 4}));
    EXPECT_EQ(table.Chain(5, limit), (std::vector<uint32_t>{5}));
    EXPECT_EQ(table.Chain(6, limit), (std::vector<uint32_t>{6}));
    EXPECT_EQ(table.Chain(8, limit), (std::vector<uint32_t>{8, 9, 7}));
    EXPECT_EQ(table.Chain(10, limit), (std::vector<uint32_t>{10}));
    EXPECT_EQ(table.Chain(11, limit), (std::vector<uint32_t>{11}));
    EXPECT_EQ(table.Chain(12, limit), (std::vector<uint32_t>{12}));
    // No chain starts below cluster 2, at an end mark or at the limit.
    EXPECT_TRUE(table.Chain(0, limit).empty());
    EXPECT_TRUE(table.Chain(1, limit).empty());
    EXPECT_TRUE(table.Chain(c.endMark, UINT32_MAX).empty());
    EXPECT_TRUE(table.Chain(limit, limit).empty());
    // The limit cuts a chain that runs on.
    EXPECT_EQ(table.Chain(2, 4), (std::vector<uint32_t>{2, 3}));
    EXPECT_TRUE(table.Chain(2, 0).empty());
}

INSTANTIATE_TEST_SUITE_P(Types, FatAllocationTableByTypeTest,
                         ::testing::Values(TypeCase{"Fat12", FatType::Fat12, 0xFF8, 0xFF7, 682},
                                           TypeCase{"Fat16", FatType::Fat16, 0xFFF8, 0xFFF7, 512},
                                           TypeCase{"Fat32", FatType::Fat32, 0x0FFFFFF8, 0x0FFFFFF7,
                                                    256}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FatAllocationTableTest, Fat32IgnoresTheTopFourBits) {
    FatAllocationTable table = TableOf(FatType::Fat32, 1, {{2, 0xF0000003}, {3, 0xFFFFFFFF}});
    EXPECT_EQ(table.Entry(2), 3u);
    EXPECT_EQ(table.Chain(2, 100), (std::vector<uint32_t>{2, 3}));
}

// FAT12 packs two entries in three bytes; entry 341 straddles the first sector's end and entry
// 340 ends just before it. Both neighbours keep their own nibbles.
TEST(FatAllocationTableTest, Fat12PackingAcrossASectorBoundary) {
    const std::vector<std::pair<uint32_t, uint32_t>> entries = {
        {339, 0xABC}, {340, 0x123}, {341, 0x456}, {342, 0x789}, {343, 0xFFF}};
    const FatAllocationTable table = TableOf(FatType::Fat12, 2, entries);
    EXPECT_EQ(FatEntryOffset(FatType::Fat12, 341), 511u);
    for (const auto& [cluster, value] : entries) {
        SCOPED_TRACE(cluster);
        EXPECT_EQ(table.Entry(cluster), value);
    }
    // The last whole entry of one sector is 340; 341 needs a byte of the next one.
    const FatAllocationTable oneSector = TableOf(FatType::Fat12, 1, {{340, 0x123}});
    EXPECT_EQ(oneSector.Entry(340), 0x123u);
    EXPECT_FALSE(oneSector.Entry(341));
    EXPECT_EQ(oneSector.EntryCount(), 341u);
}

// A link into entries the table does not hold ends the chain at that cluster, whatever limit
// the caller gives.
TEST(FatAllocationTableTest, EntriesPastTheTableEndTheChain) {
    for (FatType type : {FatType::Fat12, FatType::Fat16, FatType::Fat32}) {
        SCOPED_TRACE(static_cast<int>(type));
        const uint32_t count = FatAllocationTable::EntriesIn(512, type);
        const FatAllocationTable table = TableOf(type, 1, {{2, count + 5}});
        EXPECT_FALSE(table.Entry(count));
        EXPECT_FALSE(table.Entry(UINT32_MAX));
        EXPECT_EQ(table.Chain(2, UINT32_MAX / 64), (std::vector<uint32_t>{2, count + 5}));
        EXPECT_EQ(table.Chain(2, count), (std::vector<uint32_t>{2}));
    }
    const FatAllocationTable empty;
    EXPECT_TRUE(empty.Empty());
    EXPECT_FALSE(empty.Entry(2));
    EXPECT_EQ(empty.Chain(2, 10), (std::vector<uint32_t>{2}));
}

// The walk stops after the number asked for, and visits in chain order.
TEST(FatAllocationTableTest, WalkStopsAtTheCountAsked) {
    const FatAllocationTable table =
        TableOf(FatType::Fat16, 1, {{5, 9}, {9, 6}, {6, 20}, {20, 0xFFFF}});
    for (uint64_t most : {0ull, 1ull, 3ull, 4ull, 100ull}) {
        SCOPED_TRACE(most);
        std::vector<uint32_t> visited;
        table.WalkChain(5, 100, most, [&](uint32_t cluster) { visited.push_back(cluster); });
        const std::vector<uint32_t> whole = {5, 9, 6, 20};
        EXPECT_EQ(visited, std::vector<uint32_t>(whole.begin(),
                                                 whole.begin() + std::min<uint64_t>(most, 4)));
    }
}

// The type is read at each decoding: a table read before its type was known decodes by the
// type it has now.
TEST(FatAllocationTableTest, DecodingFollowsTheCurrentType) {
    FatAllocationTable table = TableOf(FatType::Fat16, 1, {{2, 0x0403}});
    EXPECT_EQ(table.Entry(2), 0x0403u);
    table.SetType(FatType::Fat12);
    EXPECT_EQ(table.Entry(2), FatAllocationTable::Decode(table.Bytes(), FatType::Fat12, 2));
    table.Clear();
    EXPECT_TRUE(table.Empty());
    EXPECT_EQ(table.Type(), FatType::Fat12);
}

} // namespace

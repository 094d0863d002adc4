#include "filesystems/fat/fat_cluster_usage_map.h"

#include "filesystems/fat/fat_allocation_table.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

FatAllocationTable Fat16Of(const std::vector<std::pair<uint32_t, uint16_t>>& entries) {
    std::vector<uint8_t> bytes(512, 0);
    for (const auto& [cluster, value] : entries) {
        bytes[cluster * 2] = static_cast<uint8_t>(value);
        bytes[cluster * 2 + 1] = static_cast<uint8_t>(value >> 8);
    }
    FatAllocationTable table;
    table.SetType(FatType::Fat16);
    table.Assign(std::move(bytes));
    return table;
}

// Live chains (links and end marks) are allocated; free and bad entries, the two reserved
// entries and clusters at or past the limit are not.
TEST(FatClusterUsageMapTest, AllocatedFollowsTheTable) {
    const FatAllocationTable table = Fat16Of(
        {{0, 0xFFF8}, {1, 0xFFFF}, {2, 3}, {3, 0xFFFF}, {4, 0}, {5, 0xFFF7}, {6, 1}, {9, 0xFFFF}});
    FatClusterUsageMap map;
    const uint32_t limit = 9;
    map.Fill(uint64_t{limit} + 1, FatClusterUsageMap::kUnused);
    map.MarkAllocated(table, 0, 256, limit);
    struct Case {
        uint32_t cluster;
        uint8_t use;
    };
    for (const Case& c :
         {Case{0, FatClusterUsageMap::kUnused}, Case{1, FatClusterUsageMap::kUnused},
          Case{2, FatClusterUsageMap::kAllocated}, Case{3, FatClusterUsageMap::kAllocated},
          Case{4, FatClusterUsageMap::kUnused}, Case{5, FatClusterUsageMap::kUnused},
          Case{6, FatClusterUsageMap::kAllocated}, Case{9, FatClusterUsageMap::kUnused},
          Case{1000, FatClusterUsageMap::kUnused}}) {
        SCOPED_TRACE(c.cluster);
        EXPECT_EQ(map.Usage(c.cluster), c.use);
    }
    EXPECT_EQ(map.Size(), limit + 1);
}

// A deleted file's clusters are free in the table: only what a scan claims marks them, and a
// claim never reaches the reserved clusters, the limit or past the map.
TEST(FatClusterUsageMapTest, ClaimsStayInsideTheMapAndTheLimit) {
    const FatAllocationTable table = Fat16Of({{2, 3}, {3, 0xFFFF}});
    FatClusterUsageMap map;
    map.Fill(8, FatClusterUsageMap::kUnused);
    map.MarkAllocated(table, 0, 8, 7);
    map.Claim(2, 7); // a live chain, then claimed
    map.Claim(5, 7); // a deleted file's first cluster
    for (uint32_t outside : {0u, 1u, 7u, 8u, UINT32_MAX})
        map.Claim(outside, UINT32_MAX);
    EXPECT_EQ(map.Usage(2), FatClusterUsageMap::kClaimed);
    EXPECT_EQ(map.Usage(3), FatClusterUsageMap::kAllocated);
    EXPECT_EQ(map.Usage(4), FatClusterUsageMap::kUnused);
    EXPECT_EQ(map.Usage(5), FatClusterUsageMap::kClaimed);
    EXPECT_EQ(map.Usage(0), FatClusterUsageMap::kUnused);
    EXPECT_EQ(map.Usage(1), FatClusterUsageMap::kUnused);
    EXPECT_EQ(map.Usage(7), FatClusterUsageMap::kClaimed); // inside the map, limit allowed it
    EXPECT_EQ(map.Size(), 8u);
    map.Claim(6, 6); // at the limit: no claim
    EXPECT_EQ(map.Usage(6), FatClusterUsageMap::kUnused);
}

// A stored map is taken as it is; without a table every cluster counts as allocated.
TEST(FatClusterUsageMapTest, StoredAndFilledMaps) {
    FatClusterUsageMap map;
    map.Assign({0, 1, 2, 1});
    EXPECT_EQ(map.Usage(2), FatClusterUsageMap::kClaimed);
    EXPECT_EQ(map.Usage(4), FatClusterUsageMap::kUnused);
    map.Fill(5, FatClusterUsageMap::kAllocated);
    EXPECT_EQ(map.Bytes(), std::vector<uint8_t>(5, FatClusterUsageMap::kAllocated));
    map.Clear();
    EXPECT_EQ(map.Size(), 0u);
    EXPECT_EQ(map.Usage(2), FatClusterUsageMap::kUnused);
}

} // namespace

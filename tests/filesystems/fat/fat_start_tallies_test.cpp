// The tally that rebuilds FAT geometry from folder clusters: counts by (start, cluster size),
// most frequent first, ties to the larger clusters and then to the order met.
#include "filesystems/fat/fat_start_tallies.h"

#include <gtest/gtest.h>

namespace {

TEST(FatStartTalliesTest, CountsPairsAndSortsMostFrequentFirst) {
    FatStartTallies tallies;
    EXPECT_TRUE(tallies.Empty());
    // Starts past 2^32 sectors are kept whole: the search tallies across large disks.
    const uint64_t far = (1ull << 33) + 7;
    const std::vector<std::pair<uint64_t, uint32_t>> met = {
        {1072, 1}, {far, 8}, {1072, 1}, {1072, 2}, {far, 8}, {1072, 1}, {500, 4}, {600, 4},
    };
    for (const auto& [start, spc] : met)
        tallies.TallyCandidate(start, spc);
    EXPECT_EQ(tallies.Size(), 5u);
    const std::vector<FatStartTally> expected = {
        {1072, 1, 3}, {far, 8, 2}, {500, 4, 1}, {600, 4, 1}, {1072, 2, 1},
    };
    EXPECT_EQ(tallies.SortCandidatesByCount(), expected);
}

} // namespace

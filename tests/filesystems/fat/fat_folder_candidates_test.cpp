#include "filesystems/fat/fat_folder_candidates.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

namespace {

FatFolderCandidates CandidatesOf(const std::vector<std::pair<uint32_t, uint32_t>>& pairs) {
    FatFolderCandidates candidates;
    for (const auto& [sector, cluster] : pairs)
        candidates.Add(sector, cluster);
    return candidates;
}

std::vector<uint32_t> OwnVotes(const FatFolderCandidates& candidates) {
    std::vector<uint32_t> values;
    for (const FatFolderCandidates::Candidate& candidate : candidates.All())
        values.push_back(candidate.sectorsPerCluster);
    return values;
}

uint32_t NoLoneVote(const FatFolderCandidates::Candidate&) {
    return 0;
}

TEST(FatFolderCandidatesTest, SectorsPerClusterIsTheMostVotedPower) {
    // Data area at 84, four sectors per cluster, plus one stray sector that fits no cluster.
    FatFolderCandidates candidates =
        CandidatesOf({{88, 3}, {96, 5}, {116, 10}, {150, 11}, {204, 32}});
    EXPECT_EQ(candidates.VoteSectorsPerCluster(NoLoneVote), 4u);
    const std::vector<uint32_t> own = OwnVotes(candidates);
    ASSERT_EQ(own.size(), 5u);
    EXPECT_EQ(own[0], 4u);
    EXPECT_EQ(own[1], 4u);
    EXPECT_EQ(own[2], 4u);
    EXPECT_EQ(own[4], 4u);
    // The stray one's only power vote (with 32: 54/21 is none, with 10: 34/1 is none ...)
    // is absent, so it takes the overall value.
    EXPECT_EQ(own[3], 4u);

    // A tie between 2 and 8 goes to the smaller; ratios that are no whole power do not vote.
    candidates = CandidatesOf({{100, 2}, {102, 3}, {200, 10}, {208, 11}});
    // Pairs: 2/1=2, 100/8 no, 108/9=12 no, 98/7=14 no, 106/8 no, 8/1=8: one vote each.
    EXPECT_EQ(candidates.VoteSectorsPerCluster(NoLoneVote), 2u);
    // Each keeps its own pair's value.
    EXPECT_EQ(OwnVotes(candidates), (std::vector<uint32_t>{2, 2, 8, 8}));

    // Clusters that do not increase with the sectors give no vote at all.
    candidates = CandidatesOf({{100, 9}, {200, 5}});
    EXPECT_EQ(candidates.VoteSectorsPerCluster(NoLoneVote), 0u);
    EXPECT_EQ(OwnVotes(candidates), (std::vector<uint32_t>{0, 0}));
}

// Only a lone candidate asks for the boot sector's vote; a pair that fails to vote does not.
TEST(FatFolderCandidatesTest, LoneCandidateTakesTheVoteItIsGiven) {
    int asked = 0;
    auto bootVote = [&](const FatFolderCandidates::Candidate& lone) {
        ++asked;
        EXPECT_EQ(lone.sector, 600u);
        EXPECT_EQ(lone.cluster, 5u);
        return 8u;
    };
    FatFolderCandidates lone = CandidatesOf({{600, 5}});
    EXPECT_EQ(lone.VoteSectorsPerCluster(bootVote), 8u);
    EXPECT_EQ(OwnVotes(lone), (std::vector<uint32_t>{8}));
    EXPECT_EQ(asked, 1);

    FatFolderCandidates pair = CandidatesOf({{100, 9}, {200, 5}});
    EXPECT_EQ(pair.VoteSectorsPerCluster(bootVote), 0u);
    EXPECT_EQ(asked, 1);

    FatFolderCandidates none;
    EXPECT_EQ(none.VoteSectorsPerCluster(bootVote), 0u);
    EXPECT_EQ(asked, 1);
}

TEST(FatFolderCandidatesTest, CollectsAtMostFifty) {
    FatFolderCandidates candidates;
    EXPECT_TRUE(candidates.Empty());
    for (uint32_t i = 0; i < 60; ++i)
        candidates.Add(100 + i, 2 + i);
    EXPECT_TRUE(candidates.Full());
    EXPECT_EQ(candidates.Size(), FatFolderCandidates::kMost);
    EXPECT_EQ(candidates.All().back().sector, 100u + FatFolderCandidates::kMost - 1);
    candidates.Clear();
    EXPECT_TRUE(candidates.Empty());
}

// Each voted candidate implies a data-area start; strays far in, starts at or before the volume
// start and (on the first pass) far starts with small clusters are left out.
TEST(FatFolderCandidatesTest, DataStartsAreTalliedWithoutStrays) {
    struct Case {
        const char* what;
        bool passOver;
        std::vector<FatStartTally> expected;
    };
    // Two folders at start 84 with 4 sectors per cluster, one at 600 with 4, a pair at 100000
    // on, and one whose cluster would put the start before the volume.
    FatFolderCandidates candidates = CandidatesOf(
        {{88, 3}, {96, 5}, {604, 3}, {608, 4}, {100004, 3}, {100008, 4}, {8, 100}, {12, 101}});
    ASSERT_EQ(candidates.VoteSectorsPerCluster(NoLoneVote), 4u);
    for (const Case& c : {Case{"all", false, {{600, 4, 2}, {84, 4, 2}}},
                          Case{"passing over", true, {{84, 4, 2}}}}) {
        SCOPED_TRACE(c.what);
        std::vector<FatStartTally> tallies = candidates.TallyDataStarts(c.passOver);
        std::sort(tallies.begin(), tallies.end(),
                  [](const FatStartTally& a, const FatStartTally& b) { return a.start > b.start; });
        EXPECT_EQ(tallies, c.expected);
    }
    // Before voting no candidate has a cluster size: nothing is tallied.
    EXPECT_TRUE(CandidatesOf({{88, 3}, {96, 5}}).TallyDataStarts(false).empty());
}

} // namespace

#include "filesystems/fat/fat_start_tallies.h"

#include <algorithm>

void FatStartTallies::TallyCandidate(uint64_t start, uint32_t sectorsPerCluster) {
    const auto [it, added] = m_index.try_emplace({start, sectorsPerCluster}, m_tallies.size());
    if (added)
        m_tallies.push_back({start, sectorsPerCluster, 1});
    else
        ++m_tallies[it->second].count;
}

std::vector<FatStartTally> FatStartTallies::SortCandidatesByCount() const {
    std::vector<FatStartTally> sorted = m_tallies;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const FatStartTally& a, const FatStartTally& b) {
                         if (a.count != b.count)
                             return a.count > b.count;
                         return a.sectorsPerCluster > b.sectorsPerCluster;
                     });
    return sorted;
}

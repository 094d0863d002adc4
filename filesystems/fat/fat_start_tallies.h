#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

// A data-area start that folder clusters imply, at a cluster size, with how many imply it.
struct FatStartTally {
    uint64_t start = 0;
    uint32_t sectorsPerCluster = 0;
    uint32_t count = 0;

    bool operator==(const FatStartTally&) const = default;
};

// The tally of implied data-area starts that rebuilds a FAT volume's geometry from its folder
// clusters: the advance scan tallies within one volume, the lost-drive search across a disk.
// Counting looks the pair up, so many candidates stay cheap; pairs keep the order first met.
class FatStartTallies {
public:
    void TallyCandidate(uint64_t start, uint32_t sectorsPerCluster);
    // Most frequent first; equal counts put larger clusters first, then the order met.
    std::vector<FatStartTally> SortCandidatesByCount() const;
    bool Empty() const { return m_tallies.empty(); }
    size_t Size() const { return m_tallies.size(); }

private:
    std::vector<FatStartTally> m_tallies;
    std::map<std::pair<uint64_t, uint32_t>, size_t> m_index;
};

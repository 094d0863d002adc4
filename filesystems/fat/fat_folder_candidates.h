#pragma once

#include "filesystems/fat/fat_start_tallies.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

// The folder clusters the advance scan's geometry search met (sectors beginning with "." and
// ".." entries) and what they imply: the sectors per cluster their spacing votes for, and the
// data-area starts each of them suggests. Sector numbers are relative to the volume start.
class FatFolderCandidates {
public:
    struct Candidate {
        uint32_t sector = 0;
        uint32_t cluster = 0;
        // This candidate's own vote, or the overall one when it has none (0 before voting).
        uint32_t sectorsPerCluster = 0;
    };
    // The search stops collecting at this many.
    static constexpr size_t kMost = 50;

    void Clear() { m_candidates.clear(); }
    // Ignored once kMost are held.
    void Add(uint32_t sector, uint32_t cluster);
    bool Full() const { return m_candidates.size() >= kMost; }
    bool Empty() const { return m_candidates.empty(); }
    size_t Size() const { return m_candidates.size(); }
    const std::vector<Candidate>& All() const { return m_candidates; }

    // Every pair whose sector and cluster distances divide to a power of two up to 128 votes
    // for it; the value with most votes wins, the smaller on a tie (0 when none votes). A lone
    // candidate has no pair: `loneVote` gives its value then. Each candidate keeps its own
    // most-voted value, or the overall one.
    uint32_t VoteSectorsPerCluster(const std::function<uint32_t(const Candidate&)>& loneVote);
    // How many candidates imply each (data-area start, sectors per cluster), most first. Starts
    // at or below 0 and from 100000 on are stray copies; `passOverFarSmallClusters` also passes
    // over starts from 556 on with 7 or fewer sectors per cluster.
    std::vector<FatStartTally> TallyDataStarts(bool passOverFarSmallClusters) const;

private:
    std::vector<Candidate> m_candidates;
};

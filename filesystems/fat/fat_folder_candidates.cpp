#include "filesystems/fat/fat_folder_candidates.h"

#include "filesystems/fat/fat_scan_support.h"

#include <array>
#include <bit>

using fat_scan::IsPowerOfTwoUpTo128;

void FatFolderCandidates::Add(uint32_t sector, uint32_t cluster) {
    if (Full())
        return;
    Candidate candidate;
    candidate.sector = sector;
    candidate.cluster = cluster;
    m_candidates.push_back(candidate);
}

uint32_t FatFolderCandidates::VoteSectorsPerCluster(
    const std::function<uint32_t(const Candidate&)>& loneVote) {
    // votes[i][p]: votes of candidate i for 2^p sectors per cluster.
    std::vector<std::array<uint32_t, 8>> votes(m_candidates.size(), std::array<uint32_t, 8>{});
    std::array<uint64_t, 8> overall{};
    for (size_t i = 0; i < m_candidates.size(); ++i) {
        for (size_t j = i + 1; j < m_candidates.size(); ++j) {
            const Candidate& a = m_candidates[i];
            const Candidate& b = m_candidates[j];
            if (b.sector <= a.sector || b.cluster <= a.cluster)
                continue;
            const uint64_t sectors = b.sector - a.sector;
            const uint64_t clusters = b.cluster - a.cluster;
            if (sectors % clusters != 0 || !IsPowerOfTwoUpTo128(sectors / clusters))
                continue;
            const int power = std::countr_zero(sectors / clusters);
            ++votes[i][power];
            ++votes[j][power];
            ++overall[power];
        }
    }
    // Most votes wins; the smaller value on a tie.
    auto mostVoted = [](const auto& counts) -> uint32_t {
        size_t best = counts.size();
        for (size_t p = 0; p < counts.size(); ++p)
            if (counts[p] != 0 && (best == counts.size() || counts[p] > counts[best]))
                best = p;
        return best == counts.size() ? 0 : 1u << best;
    };
    uint32_t result = mostVoted(overall);
    if (result == 0 && m_candidates.size() == 1 && loneVote)
        result = loneVote(m_candidates.front());
    for (size_t i = 0; i < m_candidates.size(); ++i) {
        const uint32_t own = mostVoted(votes[i]);
        m_candidates[i].sectorsPerCluster = own != 0 ? own : result;
    }
    return result;
}

std::vector<FatStartTally>
FatFolderCandidates::TallyDataStarts(bool passOverFarSmallClusters) const {
    FatStartTallies tallies;
    for (const Candidate& candidate : m_candidates) {
        const uint32_t spc = candidate.sectorsPerCluster;
        if (spc == 0 || candidate.cluster < 2)
            continue;
        const int64_t start =
            int64_t{candidate.sector} - int64_t{spc} * (int64_t{candidate.cluster} - 2);
        // Within one volume the data area begins near its start: a start far in is a stray
        // folder copy.
        if (start <= 0 || start >= 100000)
            continue;
        if (passOverFarSmallClusters && start >= 556 && spc <= 7)
            continue;
        tallies.TallyCandidate(static_cast<uint64_t>(start), spc);
    }
    return tallies.SortCandidatesByCount();
}

#pragma once

#include <cstdint>
#include <vector>

class FatAllocationTable;

// One byte per cluster: whether the allocation table gives the cluster to a file, and whether a
// scan has claimed it for an item it found. Clusters past the map read as unused.
class FatClusterUsageMap {
public:
    enum Use : uint8_t {
        kUnused = 0,
        kAllocated = 1,
        kClaimed = 2,
    };

    // `size` clusters, all of `use`.
    void Fill(uint64_t size, Use use);
    void Clear() { m_uses.clear(); }
    // A map as a scan-information file stored it.
    void Assign(std::vector<uint8_t> uses) { m_uses = std::move(uses); }
    // Marks allocated every cluster from `first` to before `end` (and below `clusterLimit`)
    // whose entry in `table` is neither free nor the bad-cluster mark.
    void MarkAllocated(const FatAllocationTable& table, uint64_t first, uint64_t end,
                       uint32_t clusterLimit);
    // Claims a data cluster below `clusterLimit`; others are ignored.
    void Claim(uint32_t cluster, uint32_t clusterLimit);

    uint8_t Usage(uint32_t cluster) const {
        return cluster < m_uses.size() ? m_uses[cluster] : static_cast<uint8_t>(kUnused);
    }
    uint32_t Size() const { return static_cast<uint32_t>(m_uses.size()); }
    const std::vector<uint8_t>& Bytes() const { return m_uses; }

private:
    std::vector<uint8_t> m_uses;
};

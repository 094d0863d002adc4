#pragma once

#include "filesystems/fat/fat_type.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

// One FAT as read from the volume: the entries of the volume's type (12, 16 or 32 bits), its
// end, bad-cluster and free marks, and the chains its entries link. A table may be corrupt, so a
// chain ends at an end mark, at a link below 2, at or past the cluster limit, at a cluster it
// met before, or where the table's bytes end.
class FatAllocationTable {
public:
    FatType Type() const { return m_type; }
    // The entries are decoded by the type at the time of reading, as the volume's type changes
    // while its geometry is searched for.
    void SetType(FatType type) { m_type = type; }

    void Assign(std::vector<uint8_t> bytes) { m_bytes = std::move(bytes); }
    void Clear();
    bool Empty() const { return m_bytes.empty(); }
    const std::vector<uint8_t>& Bytes() const { return m_bytes; }

    // An entry at or above this ends a chain.
    uint32_t EndMark() const { return PropertiesOf(m_type).endMark; }
    uint32_t BadClusterMark() const { return PropertiesOf(m_type).badClusterMark; }
    static constexpr uint32_t kFree = 0;

    // The next cluster of `cluster`; nullopt when its entry lies outside the table.
    std::optional<uint32_t> Entry(uint32_t cluster) const {
        return Decode(m_bytes, m_type, cluster);
    }
    // How many whole entries the table's bytes hold.
    uint32_t EntryCount() const { return EntriesIn(m_bytes.size(), m_type); }

    // The clusters of the chain from `firstCluster`, in order, each below `clusterLimit` and met
    // once, at most `maxClusters` of them; `visit` is called for each as it is reached.
    void WalkChain(uint32_t firstCluster, uint32_t clusterLimit, uint64_t maxClusters,
                   const std::function<void(uint32_t)>& visit) const;
    // The whole chain from `firstCluster` below `clusterLimit`.
    std::vector<uint32_t> Chain(uint32_t firstCluster, uint32_t clusterLimit) const;

    // Entry `cluster` of a table of `type` held in `table`; nullopt when it lies outside.
    static std::optional<uint32_t> Decode(std::span<const uint8_t> table, FatType type,
                                          uint32_t cluster);
    // Whole entries of `type` in `bytes` bytes.
    static uint32_t EntriesIn(size_t bytes, FatType type);

private:
    FatType m_type = FatType::Unknown;
    std::vector<uint8_t> m_bytes;
};

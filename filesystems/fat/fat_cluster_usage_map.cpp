#include "filesystems/fat/fat_cluster_usage_map.h"

#include "filesystems/fat/fat_allocation_table.h"

#include <optional>

void FatClusterUsageMap::Fill(uint64_t size, Use use) {
    m_uses.assign(static_cast<size_t>(size), use);
}

void FatClusterUsageMap::MarkAllocated(const FatAllocationTable& table, uint64_t first,
                                       uint64_t end, uint32_t clusterLimit) {
    const uint32_t bad = table.BadClusterMark();
    for (uint64_t cluster = first; cluster < end && cluster <= UINT32_MAX; ++cluster) {
        const std::optional<uint32_t> value = table.Entry(static_cast<uint32_t>(cluster));
        if (value && *value != FatAllocationTable::kFree && *value != bad && cluster > 1 &&
            cluster < clusterLimit && cluster < m_uses.size())
            m_uses[cluster] = kAllocated;
    }
}

void FatClusterUsageMap::Claim(uint32_t cluster, uint32_t clusterLimit) {
    if (cluster > 1 && cluster < clusterLimit && cluster < m_uses.size())
        m_uses[cluster] = kClaimed;
}

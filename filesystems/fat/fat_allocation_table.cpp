#include "filesystems/fat/fat_allocation_table.h"

#include "platform/text/byte_reader.h"

#include <algorithm>
#include <cstddef>

void FatAllocationTable::Clear() {
    m_bytes.clear();
    m_bytes.shrink_to_fit();
}

std::optional<uint32_t> FatAllocationTable::Decode(std::span<const uint8_t> table, FatType type,
                                                   uint32_t cluster) {
    const ByteReader reader(table);
    const FatTypeProperties& properties = PropertiesOf(type);
    const uint64_t offset = FatEntryOffset(type, cluster);
    if (offset > SIZE_MAX)
        return std::nullopt;
    if (properties.entryBits == 32) {
        uint32_t value = 0;
        if (!reader.ReadU32(static_cast<size_t>(offset), value))
            return std::nullopt;
        return value & properties.entryMask;
    }
    uint16_t value = 0;
    if (!reader.ReadU16(static_cast<size_t>(offset), value))
        return std::nullopt;
    if (properties.entryBits == 16)
        return value;
    // FAT12: an odd cluster's entry is the high 12 bits of its two bytes.
    return (cluster & 1) ? value >> 4 : value & properties.entryMask;
}

uint32_t FatAllocationTable::EntriesIn(size_t bytes, FatType type) {
    const uint64_t bits = PropertiesOf(type).entryBits;
    return static_cast<uint32_t>(std::min<uint64_t>(uint64_t{bytes} * 8 / bits, UINT32_MAX));
}

void FatAllocationTable::WalkChain(uint32_t firstCluster, uint32_t clusterLimit,
                                   uint64_t maxClusters,
                                   const std::function<void(uint32_t)>& visit) const {
    const uint32_t endMark = EndMark();
    std::vector<bool> seen(clusterLimit, false);
    uint32_t cluster = firstCluster;
    for (uint64_t walked = 0; walked < maxClusters; ++walked) {
        if (cluster < 2 || cluster >= endMark || cluster >= clusterLimit || seen[cluster])
            break;
        seen[cluster] = true;
        visit(cluster);
        const std::optional<uint32_t> next = Entry(cluster);
        if (!next)
            break;
        cluster = *next;
    }
}

std::vector<uint32_t> FatAllocationTable::Chain(uint32_t firstCluster,
                                                uint32_t clusterLimit) const {
    std::vector<uint32_t> chain;
    WalkChain(firstCluster, clusterLimit, UINT64_MAX,
              [&chain](uint32_t cluster) { chain.push_back(cluster); });
    return chain;
}

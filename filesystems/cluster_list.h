#pragma once

#include <cstdint>
#include <vector>

// The clusters of one file's data in order, with its length. A sparse cluster (a hole in an
// NTFS file) holds no clusters on disk: readers write zeros for it, and for every byte past
// the valid length (data the file system never initialised).
struct ClusterList {
    static constexpr uint32_t kSparseCluster = 0xFFFFFFFF;

    std::vector<uint32_t> clusters;
    uint64_t byteLength = 0;
    uint64_t validLength = UINT64_MAX;

    bool Empty() const { return clusters.empty(); }
    static bool IsSparse(uint32_t cluster) { return cluster == kSparseCluster; }
};

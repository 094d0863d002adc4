#pragma once

#include "filesystems/found_item.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

class ClusterVolume;

// Where a directory entry lies, so its long name can be read back across cluster boundaries:
// the buffer holding it (one cluster of a folder, or the whole fixed root folder) and the two
// clusters that precede that cluster in the folder's own chain (0 when there are none).
struct EntryLocation {
    std::span<const uint8_t> buffer;
    size_t offset = 0;
    uint32_t previousCluster = 0;
    uint32_t clusterBeforePrevious = 0;
};

// Reads a FAT folder's 32-byte entries: an entry as a found item with its long name (gathered
// back across the folder's previous clusters), the scans' rule of what entry can be an item,
// and whether a cluster's bytes hold directory entries at all. The volume gives the clusters
// read for long names and the folder test; the bounds are its geometry at the time.
class FatDirectoryReader {
public:
    struct Bounds {
        // Entries naming a first cluster at or past this are no items.
        uint32_t clusterLimit = 0;
        // No file is larger than the data area.
        uint64_t dataAreaSectors = 0;
        // FAT32 entries keep their own creation and access times.
        bool fat32 = false;
    };

    FatDirectoryReader(const ClusterVolume& volume, Bounds bounds)
        : m_volume(volume), m_bounds(bounds) {}

    // Turns the entry at `where` into an item (its entry id left 0); false for what is no item.
    bool ToFoundItem(const EntryLocation& where, FoundItem& item, std::u16string& name) const;
    // Long name ending just before the entry at `where`, empty when there is none.
    std::u16string ReadLongName(const EntryLocation& where) const;
    // 0 no directory entry, 1 an entry that can be an item, 2 a label or an entry below
    // cluster 2.
    int CheckEntry(std::span<const uint8_t> entry, uint32_t clusterLimit) const;
    // Whether a cluster's bytes hold directory entries (the rule of the root-file and
    // broken-folder passes).
    bool HoldsEntries(std::span<const uint8_t> cluster) const;

private:
    const ClusterVolume& m_volume;
    Bounds m_bounds;
};

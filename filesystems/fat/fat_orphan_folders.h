#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

class FatFoundFolders;

// Folders the lost-folder search found by their "." and ".." entries whose parent (the cluster
// their ".." names) was not found yet, and how they are placed at the end: each below its
// parent once that is found, the rest under the lost-folders item, first the heads of orphan
// chains, then (for ".." links that form a cycle) any one.
class FatOrphanFolders {
public:
    struct Orphan {
        uint64_t firstCluster = 0;
        uint64_t parentCluster = 0;
    };
    // What placing does through the scan.
    struct Placing {
        // Sends the folder below `parentId` and walks it; folders it finds join the found ones.
        std::function<void(uint64_t firstCluster, uint64_t parentId)> place;
        // Sends the lost-folders item, once, before the first orphan placed under it.
        std::function<void()> sendLostFolders;
        std::function<bool()> stopped;
        uint64_t lostFoldersId = 0;
    };

    void Add(uint64_t firstCluster, uint64_t parentCluster) {
        m_orphans.push_back({firstCluster, parentCluster});
    }
    // A walk met the folder under its parent after all.
    void Remove(uint64_t firstCluster);
    void Clear() { m_orphans.clear(); }
    bool Empty() const { return m_orphans.empty(); }
    const std::vector<Orphan>& All() const { return m_orphans; }

    // Places every orphan held now once (a placing may change the list: the orphans placed are
    // those held when it began). Every found folder, including those found while placing, is
    // looked at once, in the order found, for orphans to place below it. Ends early when
    // `stopped` says so.
    void PlaceAll(const FatFoundFolders& found, const Placing& placing) const;

private:
    std::vector<Orphan> m_orphans;
};

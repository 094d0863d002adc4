#include "filesystems/fat/fat_orphan_folders.h"

#include "filesystems/fat/fat_found_folders.h"

#include <unordered_map>

void FatOrphanFolders::Remove(uint64_t firstCluster) {
    std::erase_if(m_orphans,
                  [&](const Orphan& orphan) { return orphan.firstCluster == firstCluster; });
}

void FatOrphanFolders::PlaceAll(const FatFoundFolders& found, const Placing& placing) const {
    // A copy: walks below drop the folders they meet from the orphan list.
    const std::vector<Orphan> orphans = m_orphans;
    std::vector<uint8_t> placed(orphans.size(), 0);
    std::unordered_map<uint64_t, std::vector<size_t>> childrenOf; // parent cluster -> orphans
    std::unordered_map<uint64_t, size_t> orphanOf;                // own cluster -> orphan
    for (size_t i = 0; i < orphans.size(); ++i) {
        childrenOf[orphans[i].parentCluster].push_back(i);
        orphanOf.emplace(orphans[i].firstCluster, i);
    }
    bool lostFolderSent = false;

    auto place = [&](size_t index, uint64_t parentId) {
        placed[index] = 1;
        placing.place(orphans[index].firstCluster, parentId);
    };
    // Orphans whose parent is a found folder go below it, including folders found while this
    // pass walks: every found folder is looked at once, in the order found.
    size_t foldersSeen = 0;
    auto attachToFoundParents = [&] {
        while (foldersSeen < found.Size() && !placing.stopped()) {
            const uint64_t parentCluster = found[foldersSeen].firstCluster;
            const uint64_t parentId = found[foldersSeen].entryId;
            ++foldersSeen;
            const auto it = childrenOf.find(parentCluster);
            if (it == childrenOf.end())
                continue;
            for (size_t child : it->second)
                if (!placed[child] && !placing.stopped())
                    place(child, parentId);
        }
    };
    auto isPendingOrphan = [&](uint64_t cluster) {
        const auto it = orphanOf.find(cluster);
        return it != orphanOf.end() && !placed[it->second];
    };

    size_t headCursor = 0;
    size_t cycleCursor = 0;
    while (!placing.stopped()) {
        attachToFoundParents();
        if (placing.stopped())
            break;
        // The rest start under the lost-folders item: first the heads of orphan chains, whose
        // parent is no orphan; then, for folders whose ".." links form a cycle, any one.
        size_t next = orphans.size();
        for (; headCursor < orphans.size(); ++headCursor) {
            if (!placed[headCursor] && !isPendingOrphan(orphans[headCursor].parentCluster)) {
                next = headCursor;
                break;
            }
        }
        if (next == orphans.size()) {
            for (; cycleCursor < orphans.size(); ++cycleCursor) {
                if (!placed[cycleCursor]) {
                    next = cycleCursor;
                    break;
                }
            }
        }
        if (next == orphans.size())
            break;
        if (!found.Contains(orphans[next].firstCluster) && !lostFolderSent) {
            placing.sendLostFolders();
            lostFolderSent = true;
        }
        place(next, placing.lostFoldersId);
    }
}

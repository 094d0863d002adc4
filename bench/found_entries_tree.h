#pragma once

// The tree of 200,000 found entries the window benchmarks fill the window with: one in ten a
// folder (levels of 10, 100 and 1,000 folders, the rest a fourth level), the files spread over
// the folders that exist so far and one in ten of them in the root, a quarter deleted.
#include "filesystems/found_item.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace found_entries_tree {

constexpr uint32_t kEntries = 200000;
constexpr uint32_t kBlock = 20000;
constexpr uint32_t kFolderEvery = 10;
// Folders of levels one to three: 10, 100 and 1,000; the rest form level four.
constexpr uint32_t kLevelOneEnd = 10;
constexpr uint32_t kLevelTwoEnd = kLevelOneEnd + 100;
constexpr uint32_t kLevelThreeEnd = kLevelTwoEnd + 1000;
constexpr uint64_t kRootId = 0;
constexpr uint64_t kFirstEntryId = 100;
constexpr uint64_t kFirstCluster = 2;
constexpr uint16_t kDosDate = (44u << 9) | (3u << 5) | 14u;
constexpr uint16_t kDosTime = (10u << 11) | (30u << 5);

// The parent of the k-th folder: ten per folder a level up, level four spread over level three.
inline uint32_t ParentFolderOf(uint32_t folder) {
    if (folder < kLevelOneEnd)
        return UINT32_MAX;
    if (folder < kLevelTwoEnd)
        return (folder - kLevelOneEnd) / 10;
    if (folder < kLevelThreeEnd)
        return kLevelOneEnd + (folder - kLevelTwoEnd) / 10;
    return kLevelTwoEnd + (folder - kLevelThreeEnd) % (kLevelThreeEnd - kLevelTwoEnd);
}

// Builds every item up front so timed loops measure the window alone: one in ten a folder,
// the files spread over the folders that exist so far, one in ten of them in the root, which
// the file list shows.
inline std::vector<std::pair<FoundItem, std::u16string>> MakeItems() {
    std::vector<std::pair<FoundItem, std::u16string>> items;
    items.reserve(kEntries);
    std::vector<uint64_t> folderIds;
    uint64_t nextId = kFirstEntryId;
    uint64_t nextCluster = kFirstCluster;
    uint32_t random = 12345;
    for (uint32_t i = 0; i < kEntries; ++i) {
        random = random * 1103515245u + 12345u;
        FoundItem item;
        item.entryId = nextId++;
        item.firstCluster = nextCluster++;
        item.modifiedDate = kDosDate;
        item.modifiedTime = kDosTime;
        item.createdDate = kDosDate;
        item.createdTime = kDosTime;
        item.deleted = (random >> 20) % 4 == 0 ? 1 : 0;
        std::string name;
        if (i % kFolderEvery == 0) {
            const uint32_t folder = static_cast<uint32_t>(folderIds.size());
            const uint32_t parent = ParentFolderOf(folder);
            item.attributes = FoundItem::kFolderAttribute;
            item.parentId = parent == UINT32_MAX ? kRootId : folderIds[parent];
            folderIds.push_back(item.entryId);
            name = "Folder " + std::to_string(folder);
        } else {
            const uint32_t pick = (random >> 8) % (folderIds.size() + folderIds.size() / 9 + 1);
            item.parentId = pick < folderIds.size() ? folderIds[pick] : kRootId;
            item.attributes = 0x20;
            item.size = 1 + (random >> 4) % 1000000;
            name = "document " + std::to_string(i) + ".txt";
        }
        items.emplace_back(item, std::u16string(name.begin(), name.end()));
    }
    return items;
}

} // namespace found_entries_tree

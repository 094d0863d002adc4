#pragma once

#include "filesystems/found_item.h"

#include <cstdint>

// Found entries as the models take them, for tests that build a tree by hand.
namespace found_items {

inline FoundItem Folder(uint64_t id, uint64_t parent, uint64_t cluster = 0) {
    FoundItem item;
    item.entryId = id;
    item.parentId = parent;
    item.firstCluster = cluster;
    item.attributes = FoundItem::kFolderAttribute;
    return item;
}

inline FoundItem File(uint64_t id, uint64_t parent, uint64_t size = 0, uint64_t cluster = 0) {
    FoundItem item;
    item.entryId = id;
    item.parentId = parent;
    item.size = size;
    item.firstCluster = cluster;
    return item;
}

} // namespace found_items

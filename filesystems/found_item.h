#pragma once

#include <cstdint>

// One found file or folder, as the scanners send it to the window with its name. The folder
// tree keeps copies; the file list shows them; scan-information files store the packed form.
// FAT items keep DOS dates and times in the time fields.
struct FoundItem {
    static constexpr uint8_t kFolderAttribute = 0x10;

    uint32_t treeItem = 0; // folder-tree item of a kept folder
    uint64_t size = 0;     // bytes; 0 for folders
    uint64_t parentId = 0;
    uint64_t entryId = 0;
    uint64_t firstCluster = 0;
    uint8_t attributes = 0;
    uint32_t lastAccess = 0;
    uint32_t modifiedTime = 0;
    uint32_t modifiedDate = 0;
    uint32_t createdTime = 0;
    uint32_t createdDate = 0;
    uint8_t checkState = 0; // 1 unchecked, 2 checked, 3 partly checked
    uint8_t deleted = 0;
    uint8_t noData = 0;
    uint8_t contiguousData = 0; // found by signature: consecutive clusters from the first

    bool IsFolder() const { return (attributes & kFolderAttribute) != 0; }
    bool operator==(const FoundItem&) const = default;
};

#pragma once

#include <cstdint>

// One found file or folder, as the scanners send it to the window with its name. The folder
// tree keeps copies; the file list shows them; scan-information files store the packed form.
// FAT items keep DOS dates and times in the time fields. NTFS items keep three FILETIMEs, each
// over two 32-bit fields: the MFT-change time in accessLow and lastAccess, the modification
// time in modifiedTime and modifiedDate, the creation time in createdTime and createdDate
// (low half first).
struct FoundItem {
    static constexpr uint8_t kFolderAttribute = 0x10;

    uint32_t treeItem = 0; // folder-tree item of a kept folder
    uint64_t size = 0;     // bytes; 0 for folders
    uint64_t parentId = 0;
    uint64_t entryId = 0;
    uint64_t firstCluster = 0;
    uint8_t attributes = 0;
    uint32_t accessLow = 0; // NTFS only
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

    void SetNtfsTimes(uint64_t changed, uint64_t modified, uint64_t created) {
        accessLow = static_cast<uint32_t>(changed);
        lastAccess = static_cast<uint32_t>(changed >> 32);
        modifiedTime = static_cast<uint32_t>(modified);
        modifiedDate = static_cast<uint32_t>(modified >> 32);
        createdTime = static_cast<uint32_t>(created);
        createdDate = static_cast<uint32_t>(created >> 32);
    }
    uint64_t NtfsChangedTime() const { return (uint64_t{lastAccess} << 32) | accessLow; }
    uint64_t NtfsModifiedTime() const { return (uint64_t{modifiedDate} << 32) | modifiedTime; }
    uint64_t NtfsCreatedTime() const { return (uint64_t{createdDate} << 32) | createdTime; }
    bool operator==(const FoundItem&) const = default;
};

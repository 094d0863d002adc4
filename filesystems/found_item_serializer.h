#pragma once

#include "filesystems/found_item.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// The stored form of a found item: 88 bytes, packed, little-endian, as scan-information files
// hold it. The list links and the name pointer of kept copies are stored as 0 (the name is
// written beside the record by the file format); a reader ignores them.
class FoundItemSerializer {
public:
    static constexpr size_t kOffsetNext = 0;
    static constexpr size_t kOffsetPrev = 4;
    static constexpr size_t kOffsetTreeItem = 8;
    static constexpr size_t kOffsetSize = 16;
    static constexpr size_t kOffsetParentId = 24;
    static constexpr size_t kOffsetEntryId = 32;
    static constexpr size_t kOffsetFirstCluster = 40;
    static constexpr size_t kOffsetName = 48;
    static constexpr size_t kOffsetAttributes = 52;
    static constexpr size_t kOffsetAccessLow = 56;
    static constexpr size_t kOffsetLastAccess = 60;
    static constexpr size_t kOffsetModifiedTime = 64;
    static constexpr size_t kOffsetModifiedDate = 68;
    static constexpr size_t kOffsetCreatedTime = 72;
    static constexpr size_t kOffsetCreatedDate = 76;
    static constexpr size_t kOffsetCheckState = 80;
    static constexpr size_t kOffsetDeleted = 81;
    static constexpr size_t kOffsetNoData = 82;
    static constexpr size_t kOffsetContiguousData = 83;
    static constexpr size_t kSize = 88;

    static std::vector<uint8_t> Write(const FoundItem& item);
    // Fails, leaving `out` as it was, when fewer than kSize bytes are given.
    static bool Read(std::span<const uint8_t> bytes, FoundItem& out);
};

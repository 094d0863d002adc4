#pragma once

#include "diskio/records/drive_node.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// The stored form of a drive-list entry: 530 bytes, packed, little-endian. The two links of the
// entry (the next entry and the detail record) are stored as 32-bit presence markers; the
// detail record follows the entry in the file, written by its own serializer, and the list
// order is kept by the file's writer, so neither is part of these bytes.
class DriveNodeSerializer {
public:
    static constexpr size_t kImagePathUnits = 260;

    static constexpr size_t kOffsetNext = 0;
    static constexpr size_t kOffsetNumber = 4;
    static constexpr size_t kOffsetKind = 5;
    static constexpr size_t kOffsetDetail = 6;
    static constexpr size_t kOffsetImagePath = 10;
    static constexpr size_t kSize = kOffsetImagePath + 2 * kImagePathUnits;

    static constexpr uint8_t kHighestKind = static_cast<uint8_t>(DriveKind::CdRomImage);

    // What the stored markers say follows the entry.
    struct Links {
        bool hasNext = false;
        bool hasDetail = false;
    };

    // Exactly kSize bytes. The detail marker is set when the node's detail holds a record; the
    // next marker when `hasNext` says another entry follows in the file.
    static std::vector<uint8_t> Write(const DriveNode& node, bool hasNext = false);

    // Fails, leaving `out` as it was, when fewer than kSize bytes are given or the kind is not
    // one of the drive kinds. `out.detail` is left empty; `links` tells whether a detail record
    // and another entry follow (any nonzero stored value counts as present). A path stored
    // without its NUL keeps at most 259 units, as Write would have cut it.
    static bool Read(std::span<const uint8_t> bytes, DriveNode& out, Links& links);
    static bool Read(std::span<const uint8_t> bytes, DriveNode& out);
};

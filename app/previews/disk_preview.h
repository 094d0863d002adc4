#pragma once

#include "diskio/records/drive_node.h"

#include <cstdint>
#include <optional>
#include <string>

// What the drive tree's Disk\Drive Preview shows of a drive: its first and last sector
// (inclusive), the drive number that reads them, the source kind and the drive's record.
// Image files are shown without their trailer; a volume that lies in an image file is read
// from that file.
struct DiskPreviewRequest {
    std::u16string name;
    uint8_t drive = 0;
    uint64_t firstSector = 0;
    uint64_t lastSector = 0;
    uint8_t sourceKind = 0;
    const void* record = nullptr;

    // The request for `node`, shown by its item text; none when nothing can be shown (no
    // sectors, an image file that cannot be opened or holds no sector before its trailer).
    static std::optional<DiskPreviewRequest> For(const DriveNode& node,
                                                 const std::u16string& itemText);
    // Shows it in the hex viewer, modally.
    void Show() const;
};

#pragma once

#include "diskio/sources/sector_source.h"

#include <optional>

struct DriveNode;
struct LogicalDriveInfo;

// The volume of the drive-list node a reader is set up from: its sectors (from the node's image
// file when `image` is set) and its logical-drive detail, which the node owns.
struct SelectedVolume {
    SectorSource source;
    const LogicalDriveInfo* info = nullptr;
};

// Nothing for no node, or a node that holds no volume.
std::optional<SelectedVolume> OpenSelectedVolume(const DriveNode* node, bool image);

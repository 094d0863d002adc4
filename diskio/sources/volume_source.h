#pragma once

#include "diskio/sources/sector_source.h"

#include <cstdint>
#include <optional>
#include <string>

struct DriveNode;

// The sectors of the volume a drive-list node stands for, windowed on that volume: read from
// the node's image file when `image` is set (an image of a volume starts at its own sector 0),
// else from the node's disk. Nothing for nodes that hold no volume (disks, CD/DVD drives and
// their images) or lack their logical-drive detail.
std::optional<SectorSource> VolumeSourceOfNode(const DriveNode& node, bool image);

// The image file when `image` is set, else the drive: how saved volume records name a source.
SectorSource SourceOfDriveOrImage(bool image, uint8_t drive, const std::u16string& imagePath);

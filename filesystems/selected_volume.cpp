#include "filesystems/selected_volume.h"

#include "diskio/records/drive_node.h"
#include "diskio/sources/volume_source.h"

#include <utility>

std::optional<SelectedVolume> OpenSelectedVolume(const DriveNode* node, bool image) {
    if (node == nullptr)
        return std::nullopt;
    std::optional<SectorSource> source = VolumeSourceOfNode(*node, image);
    if (!source)
        return std::nullopt;
    return SelectedVolume{std::move(*source), node->Logical()};
}

#include "hexview/hex_viewer_settings.h"

#include <algorithm>
#include <utility>

HexViewerSettings HexViewerSettings::ForDisk(std::u16string name, uint8_t drive,
                                             uint64_t firstSector, uint64_t lastSector,
                                             SourceKind kind) {
    HexViewerSettings s;
    s.mode = Mode::Disk;
    s.name = std::move(name);
    s.drive = drive;
    s.firstSector = firstSector;
    s.sourceKind = kind;
    s.imageFlag = kind == SourceKind::ImageFile;
    // A last sector before the first is an empty range; a count that would not fit in bytes
    // is cut to what does.
    const uint64_t count =
        lastSector >= firstSector
            ? std::min<uint64_t>(lastSector - firstSector + 1, UINT64_MAX / kSectorBytes - 1)
            : 0;
    s.lastScrollPosition = count;
    s.size = count * kSectorBytes;
    return s;
}

HexViewerSettings HexViewerSettings::ForFile(std::u16string name, uint8_t drive,
                                             std::span<const uint32_t> clusters, uint64_t fileSize,
                                             uint64_t validLength, uint8_t partitionType,
                                             uint64_t dataStartSector, uint32_t sectorsPerCluster,
                                             bool fromImage, std::u16string imagePath) {
    HexViewerSettings s;
    s.mode = Mode::File;
    s.name = std::move(name);
    s.drive = drive;
    s.clusters = clusters;
    s.size = fileSize;
    s.validLength = validLength;
    s.partitionType = partitionType;
    s.dataStartSector = dataStartSector;
    s.sectorsPerCluster = sectorsPerCluster;
    s.imageFlag = fromImage;
    s.imagePath = std::move(imagePath);
    s.allocatedSectors = uint64_t{sectorsPerCluster} * clusters.size();
    // No clusters: nothing to scroll to, rather than a wrapped "allocated - 1".
    s.lastScrollPosition = s.allocatedSectors == 0 ? 0 : s.allocatedSectors - 1;
    return s;
}

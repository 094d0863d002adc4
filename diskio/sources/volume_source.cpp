#include "diskio/sources/volume_source.h"

#include "diskio/records/drive_node.h"
#include "platform/text/utf_conversion.h"

std::optional<SectorSource> VolumeSourceOfNode(const DriveNode& node, bool image) {
    switch (node.kind) {
    case DriveKind::HardDisk:
    case DriveKind::RemovableDisk:
    case DriveKind::CdRomDrive:
    case DriveKind::DiskImage:
    case DriveKind::CdRomImage:
        return std::nullopt;
    default:
        break;
    }
    const LogicalDriveInfo* info = node.Logical();
    if (info == nullptr)
        return std::nullopt;
    SectorSource source = SourceOfDriveOrImage(image, info->disk, node.imagePath);
    source.SetVolume(node.kind == DriveKind::VolumeImage ? 0 : info->firstSector,
                     info->totalSectors);
    return source;
}

SectorSource SourceOfDriveOrImage(bool image, uint8_t drive, const std::u16string& imagePath) {
    return image ? SectorSource::ForImage(Utf16ToUtf8(imagePath)) : SectorSource::ForDrive(drive);
}

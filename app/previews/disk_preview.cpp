#include "app/previews/disk_preview.h"

#include "diskio/sources/disk_image_file.h"
#include "hexview/display_hex_viewer.h"
#include "platform/text/utf_conversion.h"

#include <QApplication>

#include <algorithm>
#include <filesystem>

namespace {

constexpr uint64_t kSectorBytes = 512;

// The sectors of an image file before its trailer; none when it cannot be opened.
std::optional<uint64_t> ImageSectors(const std::u16string& path) {
    std::error_code error;
    const std::filesystem::path file(Utf16ToUtf8(path));
    if (!std::filesystem::is_regular_file(file, error))
        return std::nullopt;
    const uint64_t size = std::filesystem::file_size(file, error);
    if (error)
        return std::nullopt;
    const uint64_t data =
        size >= disk_image_file::kTrailerBytes ? size - disk_image_file::kTrailerBytes : 0;
    return data / kSectorBytes;
}

} // namespace

std::optional<DiskPreviewRequest> DiskPreviewRequest::For(const DriveNode& node,
                                                          const std::u16string& itemText) {
    DiskPreviewRequest request;
    request.name = itemText;
    switch (node.kind) {
    case DriveKind::HardDisk:
    case DriveKind::RemovableDisk:
    case DriveKind::CdRomDrive: {
        const PhysicalDiskInfo* disk = node.Physical();
        if (disk == nullptr || disk->totalSectors == 0)
            return std::nullopt;
        request.drive = disk->drive;
        request.lastSector = disk->totalSectors - 1;
        request.sourceKind = DisplayHexViewer::kPhysicalDisk;
        request.record = disk;
        return request;
    }
    case DriveKind::LogicalDrive:
    case DriveKind::FoundVolume:
    case DriveKind::RebuiltVolume: {
        const LogicalDriveInfo* volume = node.Logical();
        if (volume == nullptr || volume->lastSector < volume->firstSector)
            return std::nullopt;
        request.firstSector = volume->firstSector;
        request.lastSector = volume->lastSector;
        if (!node.imagePath.empty()) {
            // A volume inside an image file: its sectors are the file's.
            request.name = node.imagePath;
            request.sourceKind = DisplayHexViewer::kImageFile;
            return request;
        }
        request.drive = volume->disk;
        request.sourceKind = DisplayHexViewer::kPartition;
        request.record = volume;
        return request;
    }
    case DriveKind::DiskImage:
    case DriveKind::VolumeImage:
    case DriveKind::CdRomImage: {
        const std::optional<uint64_t> sectors = ImageSectors(itemText);
        if (!sectors || *sectors == 0)
            return std::nullopt;
        request.lastSector = *sectors - 1;
        request.sourceKind = DisplayHexViewer::kImageFile;
        return request;
    }
    }
    return std::nullopt;
}

void DiskPreviewRequest::Show() const {
    DisplayHexViewer viewer;
    viewer.OpenPhysicalDisk(qApp, name.c_str(), drive, static_cast<int64_t>(firstSector),
                            static_cast<int64_t>(lastSector), sourceKind, record);
}

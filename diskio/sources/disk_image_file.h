#pragma once

#include "diskio/records/drive_node.h"

#include <cstdint>
#include <filesystem>
#include <list>
#include <optional>
#include <span>
#include <string>

// Opening a disk-image file as a drive: the copied sectors, then the 1024-byte trailer that
// describes the drive they came from (DiskImageTrailerSerializer). The trailer decides whether
// the file is an image at all and what node it becomes:
//  - a hard disk or removable disk (kinds 0, 4): an image of a disk (kind 6), with the hard
//    disk's identify data;
//  - a CD/DVD drive (5): an image of a CD/DVD (kind 8);
//  - a volume (1 to 3): an image of a volume (kind 7), its volume record copied; the FAT
//    geometry of the found-volume fields only from a rebuilt volume (3), whose image is then
//    read as that volume was (disk_image_file::ReadsAsRebuiltVolume).
// Sizes come from the file, less the trailer: the trailer's sectors are never the image's.
// An image node reads only its file: its disk fields name no drive (kNoDrive), so a read that
// forgets the image flag fails instead of reading the source disk.

enum class ImageFileRefusal {
    None,
    // The file cannot be opened or read, or is no regular file.
    CannotOpen,
    // Too short to hold a trailer and a sector, or the trailer names no drive that was imaged.
    NotAnImage,
    // Every drive number is in use.
    NoNumberLeft,
};

struct ImageFileLoad {
    ImageFileRefusal refusal = ImageFileRefusal::None;
    // The system's error number of CannotOpen.
    int error = 0;
    // The new node, when accepted: the caller appends it to the drive list.
    std::optional<DriveNode> node;
};

namespace disk_image_file {

inline constexpr uint32_t kTrailerBytes = 1024;
inline constexpr uint8_t kNoDrive = 0xFF;

// Whether the trailer describes a drive opened as an image: a disk, removable disk or CD/DVD
// whose size text is in gigabytes or megabytes; a lettered volume (kind 1) whose root path is
// "X:\" with such a size text; a volume of the lost-drive search (2, 3), which carries its name
// in the root path, with such a size text. The units are the English ones or those of the
// current language, which named the size when the drive list was built.
bool CheckImageTrailer(std::span<const uint8_t> trailer);

// The node for an image file of `fileBytes` bytes ending in `trailer`, at `path`, numbered by
// NextDriveNodeNumber after the nodes listed. Does no input or output.
ImageFileLoad ImageNodeFromTrailer(std::span<const uint8_t> trailer, uint64_t fileBytes,
                                   const std::u16string& path, const std::list<DriveNode>& listed);

// The drive the image at `path` was made from, as its trailer records it: for a disk its
// number, for a volume the disk that held it (kNoDrive when that was read from an image file).
// None when the file cannot be read or its trailer is refused.
std::optional<uint8_t> RecordedSourceDisk(const std::filesystem::path& path);

// Whether a volume is read through the FAT geometry the lost-drive search rebuilt for it
// rather than through a boot sector: a rebuilt volume (kind 3), or an image of one. An image
// of a volume (kind 7) keeps the found-volume FAT fields only when it was made of a rebuilt
// volume (ImageNodeFromTrailer), so its sectors per cluster there marks it.
inline bool ReadsAsRebuiltVolume(const DriveNode& node) {
    if (node.kind == DriveKind::RebuiltVolume)
        return true;
    const LogicalDriveInfo* info = node.Logical();
    return node.kind == DriveKind::VolumeImage && info != nullptr &&
           info->foundVolume.sectorsPerCluster != 0 && info->foundVolume.sectorsPerFat != 0;
}

// Reads the file's size and trailer, then ImageNodeFromTrailer.
ImageFileLoad LoadImageFile(const std::filesystem::path& path, const std::list<DriveNode>& listed);

} // namespace disk_image_file

#include "diskio/sources/disk_image_file.h"

#include "diskio/records/disk_image_trailer_serializer.h"
#include "diskio/inventory/drive_node_number.h"
#include "diskio/inventory/size_text.h"
#include "platform/devices/device_handle.h"
#include "platform/resources/string_table.h"
#include "platform/text/utf_conversion.h"
#include "resources/string_ids.h"

#include <array>
#include <cerrno>
#include <string_view>
#include <utility>
#include <vector>

namespace disk_image_file {

namespace {

constexpr uint64_t kSectorBytes = 512;

// The unit of a size format: the text once the number's conversion and the spaces are gone.
std::u16string UnitOf(std::u16string_view format) {
    std::u16string unit;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] == u'%') {
            while (i + 1 < format.size() && format[i + 1] != u'f')
                ++i;
            ++i;
            continue;
        }
        if (format[i] != u' ')
            unit += format[i];
    }
    return unit;
}

bool NamesLargeSize(const std::u16string& sizeText) {
    const StringTable& strings = StringTable::Program();
    for (const uint32_t id : {kGigabytesId, kMegabytesFormatId}) {
        for (const std::u16string_view format : {strings.English(id), strings.Get(id)}) {
            const std::u16string unit = UnitOf(format);
            if (!unit.empty() && sizeText.find(unit) != std::u16string::npos)
                return true;
        }
    }
    return false;
}

bool IsLetterRoot(const std::u16string& rootPath) {
    return rootPath.size() >= 3 && rootPath[1] == u':' && rootPath[2] == u'\\';
}

std::u16string SizeTextOf(uint64_t sectors) {
    return FormatSizeFromSectors(static_cast<uint32_t>(sectors),
                                 static_cast<uint32_t>(sectors >> 32));
}

ImageFileLoad Refused(ImageFileRefusal refusal, int error = 0) {
    ImageFileLoad load;
    load.refusal = refusal;
    load.error = error;
    return load;
}

} // namespace

bool CheckImageTrailer(std::span<const uint8_t> trailer) {
    DriveNode node;
    if (!DiskImageTrailerSerializer::Read(trailer, node))
        return false;
    switch (node.kind) {
    case DriveKind::HardDisk:
    case DriveKind::RemovableDisk:
    case DriveKind::CdRomDrive:
        return NamesLargeSize(node.Physical()->sizeText);
    case DriveKind::LogicalDrive:
        return IsLetterRoot(node.Logical()->rootPath) && NamesLargeSize(node.Logical()->sizeText);
    case DriveKind::FoundVolume:
    case DriveKind::RebuiltVolume:
        return NamesLargeSize(node.Logical()->sizeText);
    default:
        return false;
    }
}

ImageFileLoad ImageNodeFromTrailer(std::span<const uint8_t> trailer, uint64_t fileBytes,
                                   const std::u16string& path, const std::list<DriveNode>& listed) {
    if (fileBytes < kTrailerBytes + kSectorBytes || !CheckImageTrailer(trailer))
        return Refused(ImageFileRefusal::NotAnImage);
    DriveNode source;
    DiskImageTrailerSerializer::Read(trailer, source);

    std::vector<uint8_t> numbers;
    for (const DriveNode& node : listed)
        numbers.push_back(node.number);
    const std::optional<uint8_t> number = NextDriveNodeNumber(numbers);
    if (!number)
        return Refused(ImageFileRefusal::NoNumberLeft);

    const uint64_t sectors = (fileBytes - kTrailerBytes) / kSectorBytes;
    DriveNode image;
    image.number = *number;
    image.imagePath = path;
    if (const PhysicalDiskInfo* disk = source.Physical()) {
        image.kind =
            source.kind == DriveKind::CdRomDrive ? DriveKind::CdRomImage : DriveKind::DiskImage;
        PhysicalDiskInfo info;
        info.drive = kNoDrive;
        info.totalSectors = sectors;
        info.sizeText = SizeTextOf(sectors);
        info.identify = disk->identify;
        image.detail = std::move(info);
    } else {
        image.kind = DriveKind::VolumeImage;
        LogicalDriveInfo info = *source.Logical();
        // The FAT geometry of a rebuilt volume goes with its image, which has no boot sector
        // to read it from; and marks the image as one to read the same way
        // (ReadsAsRebuiltVolume). Other volumes' images have their boot sector. The NTFS
        // fields stay: they place the $MFT of a volume whose boot sector is gone.
        if (source.kind != DriveKind::RebuiltVolume) {
            FoundVolumeFields& found = info.foundVolume;
            found.sectorsPerFat = 0;
            found.reservedSectors = 0;
            found.rootFolderSectors = 0;
            found.sectorsPerCluster = 0;
            found.rootCluster = 0;
        }
        // The image's sectors are numbered from its own start.
        info.disk = kNoDrive;
        info.spanned = 0;
        info.firstSector = 0;
        info.totalSectors = sectors;
        info.lastSector = sectors - 1;
        info.totalBytes = sectors * kSectorBytes;
        info.sizeText = SizeTextOf(sectors);
        image.detail = std::move(info);
    }
    ImageFileLoad load;
    load.node = std::move(image);
    return load;
}

namespace {

// The file's size and its last kTrailerBytes; none when it cannot be read.
std::optional<std::array<uint8_t, kTrailerBytes>> ReadTrailer(const DeviceHandle& file,
                                                              uint64_t bytes) {
    std::array<uint8_t, kTrailerBytes> trailer{};
    if (bytes < kTrailerBytes ||
        !file.ReadAt(bytes - kTrailerBytes, trailer.data(), trailer.size()))
        return std::nullopt;
    return trailer;
}

} // namespace

std::optional<uint8_t> RecordedSourceDisk(const std::filesystem::path& path) {
    const DeviceHandle file = DeviceHandle::OpenPath(path.string());
    if (!file.IsOpen())
        return std::nullopt;
    const auto trailer = ReadTrailer(file, file.SizeInBytes());
    DriveNode source;
    if (!trailer || !CheckImageTrailer(*trailer) ||
        !DiskImageTrailerSerializer::Read(*trailer, source))
        return std::nullopt;
    if (const PhysicalDiskInfo* disk = source.Physical())
        return disk->drive;
    return source.Logical()->disk;
}

ImageFileLoad LoadImageFile(const std::filesystem::path& path, const std::list<DriveNode>& listed) {
    errno = 0;
    const DeviceHandle file = DeviceHandle::OpenPath(path.string());
    if (!file.IsOpen())
        return Refused(ImageFileRefusal::CannotOpen, errno != 0 ? errno : EISDIR);
    const uint64_t bytes = file.SizeInBytes();
    if (bytes < kTrailerBytes)
        return Refused(ImageFileRefusal::NotAnImage);
    std::array<uint8_t, kTrailerBytes> trailer{};
    errno = 0;
    if (!file.ReadAt(bytes - kTrailerBytes, trailer.data(), trailer.size()))
        return Refused(ImageFileRefusal::CannotOpen, errno != 0 ? errno : EIO);
    return ImageNodeFromTrailer(trailer, bytes, Utf8ToUtf16(path.string()), listed);
}

} // namespace disk_image_file

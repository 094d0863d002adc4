#include "app/models/properties_texts.h"

#include "diskio/sources/disk_image_file.h"
#include "diskio/inventory/size_text.h"
#include "platform/time/file_time.h"
#include "platform/text/format_text.h"
#include "platform/resources/program_string.h"
#include "platform/text/utf_conversion.h"
#include "resources/string_ids.h"

#include <algorithm>

namespace {

using T = PropertiesTexts;

constexpr char16_t kNone[] = u"----";

std::u16string Text(uint32_t id) {
    return ProgramString(id);
}

std::u16string WithColon(uint32_t id) {
    return Text(id) + u" :";
}

std::u16string SizeWithBytes(uint64_t bytes) {
    return FormatText(u"%s ( %llu Bytes)", FormatSize(bytes),
                      static_cast<unsigned long long>(bytes));
}

std::u16string TimeText(const TimeFields& t) {
    return FormatText(u"%.2d-%.2d-%d %.2d:%.2d:%.2d", t.month, t.day, t.year, t.hour, t.minute,
                      t.second);
}

// Identify fields fill their bytes and may lack a terminator.
std::u16string IdentifyText(const std::string& text, std::size_t limit) {
    std::string_view view(text);
    view = view.substr(0, std::min({limit, view.size(), view.find('\0')}));
    return Utf8ToUtf16(view);
}

std::u16string ImageTime(const std::optional<std::tm>& time) {
    if (!time || time->tm_wday < 0 || time->tm_wday > 6 || time->tm_mon < 0 || time->tm_mon > 11)
        return kNone;
    return FormatText(u"%s, %s %d, %d", Text(kFirstWeekdayId + time->tm_wday),
                      Text(kFirstMonthNameId + time->tm_mon), time->tm_mday, time->tm_year + 1900);
}

std::u16string PhysicalDisk(uint32_t number) {
    return FormatText(u"%s 0x%X", Text(kPhysicalDiskId), number);
}

void VolumeProperties(const DriveNode& node, T& out) {
    out.labels = {{T::kLocationLabel, WithColon(kFirstColumnTitleId)},
                  {T::kSizeOnDiskLabel, WithColon(kStartPositionId)},
                  {T::kStartClusterLabel, WithColon(kEndPositionId)},
                  {T::kCreatedLabel, WithColon(kDriveWordId)},
                  {T::kModifiedLabel, WithColon(kPhysicalDiskId)},
                  {T::kAccessedLabel, WithColon(kExtendedDriveId)}};
    if (node.kind == DriveKind::CdRomDrive) {
        const PhysicalDiskInfo* disk = node.Physical();
        const char16_t letter = static_cast<char16_t>(u'A' + (disk ? disk->drive % 26 : 0));
        out.values[T::kLocation] = FormatText(u"%c:\\", letter);
        out.values[T::kType] = u"CDFS";
        out.values[T::kSize] = disk ? disk->sizeText : std::u16string();
        out.values[T::kSizeOnDisk] = u"0";
        out.values[T::kStartCluster] =
            FormatText(u"%llu", static_cast<unsigned long long>(disk ? disk->totalSectors : 0));
        out.values[T::kCreated] = Text(kCdDvdDriveId);
        out.values[T::kModified] = kNone;
        out.values[T::kAccessed] = kNone;
        return;
    }
    const LogicalDriveInfo* volume = node.Logical();
    if (volume == nullptr)
        return;
    out.values[T::kLocation] = volume->rootPath;
    out.values[T::kType] = volume->fileSystem;
    out.values[T::kSize] = volume->sizeText;
    out.values[T::kSizeOnDisk] =
        FormatText(u"%llu", static_cast<unsigned long long>(volume->firstSector));
    out.values[T::kStartCluster] =
        FormatText(u"%llu", static_cast<unsigned long long>(volume->lastSector));
    out.values[T::kCreated] = volume->typeName;
    // A volume inside an extended partition is not placed on one disk by its record.
    const bool extended = volume->spanned != 0;
    if (extended) {
        out.values[T::kModified] = Text(kUnknownId);
    } else if (volume->typeName == u"FIXED") {
        out.values[T::kModified] = PhysicalDisk(volume->disk);
    } else {
        out.values[T::kModified] = kNone;
    }
    out.values[T::kAccessed] = Text(extended ? kTrueId : kFalseId);
}

void DiskProperties(const DriveNode& node, const DriveFacts& facts, T& out) {
    out.labels = {{T::kLocationLabel, WithColon(kFirstColumnTitleId)},
                  {T::kSizeLabel, Text(kModelLabelId)},
                  {T::kSizeOnDiskLabel, Text(kSerialId)},
                  {T::kStartClusterLabel, Text(kFirmwareId)},
                  {T::kCreatedLabel, Text(kDiskSizeId)},
                  {T::kModifiedLabel, WithColon(kPhysicalDiskId)},
                  {T::kAccessedLabel, Text(kPortId)}};
    const PhysicalDiskInfo* disk = node.Physical();
    out.values[T::kCreated] = disk ? disk->sizeText : std::u16string();
    out.values[T::kModified] = FormatText(u"0x%X", disk ? disk->drive : 0);
    if (node.kind == DriveKind::RemovableDisk) {
        out.values[T::kType] = u"REMOVABLE";
        out.values[T::kLocation] = Text(kRemovableDriveId);
        for (const int id : {T::kSize, T::kSizeOnDisk, T::kStartCluster})
            out.values[id] = Text(kUnknownId);
        out.values[T::kAccessed] = kNone;
        return;
    }
    out.values[T::kType] = u"FIXED";
    std::u16string model, serial, firmware;
    if (disk != nullptr && disk->identify) {
        model = IdentifyText(disk->identify->model, DiskIdentifyInfo::kMaxModel);
        serial = IdentifyText(disk->identify->serialNumber, DiskIdentifyInfo::kMaxSerialNumber);
        firmware =
            IdentifyText(disk->identify->firmwareRevision, DiskIdentifyInfo::kMaxFirmwareRevision);
    }
    out.values[T::kLocation] = facts.diskName.empty() ? model + firmware : facts.diskName;
    out.values[T::kSize] = model;
    out.values[T::kSizeOnDisk] = serial;
    out.values[T::kStartCluster] = firmware;
    out.values[T::kAccessed] = kNone;
}

// The source disk an image's trailer recorded.
std::u16string RecordedSource(const DriveFacts& facts) {
    if (!facts.sourceDisk)
        return kNone;
    if (*facts.sourceDisk == disk_image_file::kNoDrive)
        return Text(kImageFileId);
    return PhysicalDisk(*facts.sourceDisk);
}

void ImageProperties(const DriveNode& node, const DriveFacts& times, T& out) {
    out.labels = {{T::kSizeOnDiskLabel, WithColon(kPhysicalDiskId)},
                  {T::kStartClusterLabel, WithColon(kLogicalDriveTextId)}};
    out.values[T::kLocation] = node.imagePath;
    out.values[T::kCreated] = ImageTime(times.created);
    out.values[T::kAccessed] = ImageTime(times.accessed);
    out.values[T::kModified] = ImageTime(times.modified);
    const int kind = static_cast<int>(node.kind) - static_cast<int>(DriveKind::DiskImage);
    out.values[T::kType] = Text(kFirstImageTypeId + static_cast<uint32_t>(kind));
    out.values[T::kSizeOnDisk] = kNone;
    out.values[T::kStartCluster] = kNone;
    uint64_t sectors = 0;
    if (const PhysicalDiskInfo* disk = node.Physical()) {
        sectors = disk->totalSectors;
        if (node.kind == DriveKind::DiskImage)
            out.values[T::kSizeOnDisk] = RecordedSource(times);
    } else if (const LogicalDriveInfo* volume = node.Logical()) {
        sectors =
            volume->lastSector > volume->firstSector ? volume->lastSector - volume->firstSector : 0;
        if (node.kind == DriveKind::VolumeImage) {
            out.values[T::kSizeOnDisk] = RecordedSource(times);
            out.values[T::kStartCluster] = volume->rootPath;
        }
    }
    // Sector counts of a damaged record stay within 64 bits.
    const uint64_t bytes = sectors > UINT64_MAX / 512 ? UINT64_MAX : sectors * 512;
    out.values[T::kSize] = FormatSize(bytes);
}

} // namespace

uint64_t SizeOnDisk(uint64_t size, uint32_t sectorsPerCluster) {
    const uint64_t unit = uint64_t{sectorsPerCluster == 0 ? 1u : sectorsPerCluster} * 512;
    const uint64_t clusters = size / unit + (size % unit != 0 ? 1 : 0);
    return clusters > UINT64_MAX / unit ? UINT64_MAX : clusters * unit;
}

PropertiesTexts EntryProperties(const FoundItem& item, std::u16string_view name,
                                std::u16string_view location,
                                const std::optional<EntryVolume>& volume) {
    T out;
    out.title = name;
    out.values[T::kLocation] = location;
    out.values[T::kSize] = SizeWithBytes(item.size);
    const uint32_t type = (item.IsFolder() ? 0u : 2u) + (item.deleted != 0 ? 1u : 0u);
    out.values[T::kType] = Text(kFirstTypeTextId + type);
    out.values[T::kStartCluster] =
        FormatText(u" %llu", static_cast<unsigned long long>(item.firstCluster));
    if (!volume)
        return out;
    out.values[T::kSizeOnDisk] = SizeWithBytes(SizeOnDisk(item.size, volume->sectorsPerCluster));
    if (volume->kind == EntryTimeKind::Ntfs) {
        out.values[T::kCreated] = TimeText(FileTimeToFields(item.NtfsCreatedTime()));
        out.values[T::kModified] = TimeText(FileTimeToFields(item.NtfsModifiedTime()));
        out.values[T::kAccessed] = TimeText(FileTimeToFields(item.NtfsChangedTime()));
    } else {
        out.values[T::kCreated] = TimeText(DosDateTimeToFields(item.createdTime, item.createdDate));
        out.values[T::kModified] =
            TimeText(DosDateTimeToFields(item.modifiedTime, item.modifiedDate));
        out.values[T::kAccessed] = TimeText(DosDateTimeToFields(0, item.lastAccess));
    }
    return out;
}

PropertiesTexts DriveProperties(const DriveNode& node, const DriveFacts& facts) {
    T out;
    out.title = Text(kPropertySheetId);
    switch (node.kind) {
    case DriveKind::HardDisk:
    case DriveKind::RemovableDisk:
        DiskProperties(node, facts, out);
        break;
    case DriveKind::DiskImage:
    case DriveKind::VolumeImage:
    case DriveKind::CdRomImage:
        ImageProperties(node, facts, out);
        break;
    default:
        VolumeProperties(node, out);
        break;
    }
    return out;
}

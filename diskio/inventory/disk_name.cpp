#include "diskio/inventory/disk_name.h"

#include "platform/text/utf_conversion.h"

#include <algorithm>
#include <filesystem>
#include <string_view>
#include <system_error>

namespace {

// The text up to the field's limit or its terminator, whichever comes first.
bool HasText(const std::string& field, std::size_t limit) {
    std::string_view text(field);
    text = text.substr(0, std::min({limit, text.size(), text.find('\0')}));
    return text.find_first_not_of(' ') != std::string_view::npos;
}

} // namespace

bool DiskIdentifiesItself(const PhysicalDiskInfo& disk) {
    if (!disk.identify)
        return false;
    const DiskIdentifyInfo& identify = *disk.identify;
    return HasText(identify.model, DiskIdentifyInfo::kMaxModel) ||
           HasText(identify.serialNumber, DiskIdentifyInfo::kMaxSerialNumber) ||
           HasText(identify.firmwareRevision, DiskIdentifyInfo::kMaxFirmwareRevision);
}

std::u16string DiskSourceName(uint8_t drive, const DeviceTable& table) {
    if (drive < 0x80)
        return {};
    const std::optional<DeviceSource> source = table.PhysicalDisk(drive - 0x80);
    if (!source || source->path.empty())
        return {};
    const std::filesystem::path path(source->path);
    std::error_code error;
    const std::filesystem::file_type type = std::filesystem::status(path, error).type();
    // A device is known by its path; an image file by its name, wherever it lies.
    const bool device =
        type == std::filesystem::file_type::block || type == std::filesystem::file_type::character;
    if (device || !path.has_filename())
        return Utf8ToUtf16(source->path);
    return Utf8ToUtf16(path.filename().string());
}

std::u16string UnidentifiedDiskName(const PhysicalDiskInfo& disk, const DeviceTable& table) {
    if (DiskIdentifiesItself(disk))
        return {};
    const std::u16string name = DiskSourceName(disk.drive, table);
    if (name.empty())
        return {};
    return name + u" (" + disk.sizeText + u")";
}

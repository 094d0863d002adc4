#include "app/dialogs/scan/scan_action_rules.h"

#include "platform/resources/string_table.h"
#include "platform/text/utf_conversion.h"
#include "resources/string_ids.h"

#include <array>
#include <string>
#include <system_error>

namespace scan_action {

namespace {

// Identify strings come from the device and may fill their field without a terminator: read
// at most `limit` characters and stop at the first NUL.
std::u16string BoundedIdentifyText(const std::string& text, size_t limit) {
    std::string_view view(text);
    view = view.substr(0, std::min(limit, view.size()));
    view = view.substr(0, std::min(view.find('\0'), view.size()));
    return Utf8ToUtf16(view);
}

std::u16string LetterDriveName(char16_t letter, std::u16string_view first,
                               std::u16string_view second) {
    std::u16string name(1, letter);
    name += u" Drive-";
    name += first;
    name += u'-';
    name += second;
    return name;
}

} // namespace

ActionDialog ActionDialogFor(const DriveNode& node) {
    switch (node.kind) {
    case DriveKind::VolumeImage:
        return ActionDialog::ScanAction;
    case DriveKind::FoundVolume:
    case DriveKind::RebuiltVolume:
        return node.imagePath.empty() ? ActionDialog::ScanActionImage : ActionDialog::ScanAction;
    case DriveKind::LogicalDrive:
        return ActionDialog::ScanActionImage;
    case DriveKind::DiskImage:
        return ActionDialog::DiskImageAction;
    case DriveKind::CdRomDrive:
        return ActionDialog::CdRecoveryAction;
    case DriveKind::CdRomImage:
        return ActionDialog::RawRecoveryAction;
    case DriveKind::HardDisk:
    case DriveKind::RemovableDisk:
        break;
    }
    return ActionDialog::DiskAction;
}

Region DefaultRegion(const DriveNode& node) {
    if (const PhysicalDiskInfo* disk = node.Physical())
        return {0, disk->totalSectors};
    if (const LogicalDriveInfo* volume = node.Logical())
        return {0, volume->totalSectors};
    return {};
}

uint8_t CurrentFileSystem(uint8_t partitionType) {
    switch (partitionType) {
    case 7:
    case 66:
    case 134:
    case 135:
        return kNtfs;
    default:
        return kFat;
    }
}

FileSystemChoice::FileSystemChoice(uint8_t partitionType)
    : m_current(CurrentFileSystem(partitionType)), m_chosen(m_current) {}

void FileSystemChoice::OnSelectionChange(int comboIndex) {
    m_chosen = comboIndex == 0 ? kFat : kNtfs;
    m_other = m_chosen != m_current;
}

uint32_t FileSystemChoice::QuestionId() const {
    return m_current == kFat ? kFatButNtfsQuestionId : kNtfsButFatQuestionId;
}

bool FileSystemChoice::ConfirmForAdvanceScan(
    const std::function<bool(uint32_t questionId)>& confirm) {
    if (m_other && !(confirm && confirm(QuestionId())))
        m_other = false;
    return m_other;
}

std::optional<int32_t> SearchModeFor(ActionDialog dialog) {
    switch (dialog) {
    case ActionDialog::DiskAction:
        return 0;
    case ActionDialog::DiskImageAction:
        return 1;
    default:
        return std::nullopt;
    }
}

std::optional<CThreadForFileSystem::Parameters>
ParametersFor(ActionDialog dialog, ScanJobAction action, bool otherFileSystem, Region rawRegion) {
    CThreadForFileSystem::Parameters parameters;
    const bool volumeDialog =
        dialog == ActionDialog::ScanAction || dialog == ActionDialog::ScanActionImage;
    if (volumeDialog) {
        if (action == ScanJobAction::RawDataRecovery)
            return std::nullopt;
        // Only an image of a volume is read through its file.
        parameters.setupOption = dialog == ActionDialog::ScanAction ? 1 : 0;
        parameters.advanceScan = action == ScanJobAction::AdvanceScan;
        // A standard scan never takes the previous-file-system choice.
        parameters.otherFileSystem = parameters.advanceScan && otherFileSystem;
        return parameters;
    }
    if (action != ScanJobAction::RawDataRecovery || dialog == ActionDialog::SearchLogicalDrive)
        return std::nullopt;
    parameters.rawSearch = true;
    parameters.setupOption =
        dialog == ActionDialog::DiskImageAction || dialog == ActionDialog::RawRecoveryAction ? 1
                                                                                             : 0;
    parameters.regionFirstSector = rawRegion.firstSector;
    parameters.regionLastSector = rawRegion.lastSector;
    return parameters;
}

std::u16string SafeFileName(std::u16string_view name) {
    std::u16string safe(name);
    for (char16_t& unit : safe)
        if (unit == u'/' || unit < 0x20 || unit == 0x7F)
            unit = u'_';
    return safe;
}

std::u16string ProposedImageName(const DriveNode& node) {
    std::u16string name;
    const PhysicalDiskInfo* disk = node.Physical();
    const LogicalDriveInfo* volume = node.Logical();
    switch (node.kind) {
    case DriveKind::HardDisk:
        if (disk == nullptr)
            return {};
        if (disk->identify) {
            name = BoundedIdentifyText(disk->identify->serialNumber,
                                       DiskIdentifyInfo::kMaxSerialNumber);
            name += u'-';
            name += BoundedIdentifyText(disk->identify->model, DiskIdentifyInfo::kMaxModel);
        } else {
            name = u"-";
        }
        name += u'-';
        name += disk->sizeText;
        break;
    case DriveKind::RemovableDisk:
        if (disk == nullptr)
            return {};
        name = StringTable::Program().Get(kRemovableDriveId);
        name += u" - ";
        name += disk->sizeText;
        break;
    case DriveKind::CdRomDrive: {
        if (disk == nullptr)
            return {};
        // The drive's letter index; a number outside the alphabet names no letter.
        const char16_t letter = disk->drive < 26 ? static_cast<char16_t>(u'A' + disk->drive) : u'_';
        name = LetterDriveName(letter, u"CDFS", disk->sizeText);
        break;
    }
    case DriveKind::LogicalDrive:
    case DriveKind::FoundVolume:
    case DriveKind::RebuiltVolume: {
        if (volume == nullptr)
            return {};
        const char16_t letter = volume->rootPath.empty() ? u'_' : volume->rootPath.front();
        // The record has no field of its own for the label: its spare text carries the one
        // the drive list read.
        name = LetterDriveName(letter, volume->fileSystem, volume->reserved);
        break;
    }
    default:
        return {};
    }
    return SafeFileName(name);
}

std::u16string HelpFileNameFor(uint32_t language) {
    static constexpr std::array<const char16_t*, 5> kSuffixes = {
        u".html", u"_FRA.html", u"_DEU.html", u"_ESP.html", u"_ITA.html"};
    std::u16string name = u"Morwick Wrenfal Windows Data Recovery User Guide";
    name += language < kSuffixes.size() ? kSuffixes[language] : kSuffixes[0];
    return name;
}

std::u16string HelpTopicPageFor(uint32_t language, uint32_t topic) {
    std::u16string page = HelpFileNameFor(language);
    constexpr std::u16string_view kExtension = u".html";
    page.resize(page.size() - kExtension.size());
    page += u'/';
    for (const char c : std::to_string(topic))
        page += static_cast<char16_t>(c);
    page += kExtension;
    return page;
}

bool OpenHelp(const std::filesystem::path& folder, uint32_t language, uint32_t topic,
              const HelpHooks& hooks) {
    const std::filesystem::path guide =
        folder / std::filesystem::path(Utf16ToUtf8(HelpFileNameFor(language)));
    const std::filesystem::path page =
        folder / std::filesystem::path(Utf16ToUtf8(HelpTopicPageFor(language, topic)));
    std::error_code error;
    if (!std::filesystem::is_regular_file(guide, error)) {
        if (hooks.showMessage)
            hooks.showMessage(kHelpMissingId);
        return false;
    }
    if (hooks.open)
        hooks.open(std::filesystem::is_regular_file(page, error) ? page : guide, topic);
    return true;
}

} // namespace scan_action

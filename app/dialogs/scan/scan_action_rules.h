#pragma once

#include "diskio/records/drive_node.h"
#include "jobs/scan/thread_for_file_system.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

// The rules of the "Select Appropriate Action" dialogs, without widgets: which dialog a drive
// node opens, the region and file system it starts from, the parameters each action hands the
// scan job, the image name it proposes and the user guide its Help opens.
namespace scan_action {

// The dialogs by their template ids.
enum class ActionDialog : uint16_t {
    ScanAction = 180,
    ScanActionImage = 153,
    DiskAction = 154,
    DiskImageAction = 181,
    CdRecoveryAction = 155,
    RawRecoveryAction = 240,
    // Opened by Search Logical Drive of the two disk dialogs, never for a node.
    SearchLogicalDrive = 177,
};

// The actions that start the scan job.
enum class ScanJobAction {
    StandardScan,
    AdvanceScan,
    RawDataRecovery,
};

// File systems as the dialogs keep them.
inline constexpr uint8_t kFat = 1;
inline constexpr uint8_t kNtfs = 7;

struct Region {
    uint64_t firstSector = 0;
    uint64_t lastSector = 0;
    bool operator==(const Region&) const = default;
};

ActionDialog ActionDialogFor(const DriveNode& node);

// The search mode a dialog's Search Logical Drive hands the lost-drive search: 0 from the disk
// dialog, 1 from the disk-image dialog; nothing for a dialog without the action.
std::optional<int32_t> SearchModeFor(ActionDialog dialog);

// Sector 0 to the drive's total sector count, from whichever detail record the node carries
// (volumes of every kind from their LogicalDriveInfo); an empty region for a node with none.
Region DefaultRegion(const DriveNode& node);

// kNtfs for partition types 7, 66, 134 and 135; kFat for every other type, as the scan job
// reads every other type as FAT.
uint8_t CurrentFileSystem(uint8_t partitionType);

// The previous-file-system choice of the volume dialogs. The combo starts on the file system
// the drive does not have, but only a selection change sets the flag.
class FileSystemChoice {
public:
    explicit FileSystemChoice(uint8_t partitionType);

    uint8_t Current() const { return m_current; }
    uint8_t Chosen() const { return m_chosen; }
    bool OtherFileSystem() const { return m_other; }
    // The combo index shown first: 0 "FAT" for an NTFS drive, 1 "NTFS" otherwise.
    int InitialComboIndex() const { return m_current == kNtfs ? 0 : 1; }
    void OnSelectionChange(int comboIndex);
    // The question an advance scan asks while the flag is set.
    uint32_t QuestionId() const;
    // Before an advance scan: while the flag is set, asks `confirm` the question; any answer
    // but yes clears the flag. Returns the flag the scan takes.
    bool ConfirmForAdvanceScan(const std::function<bool(uint32_t questionId)>& confirm);

private:
    uint8_t m_current;
    uint8_t m_chosen;
    bool m_other = false;
};

// The scan job's parameters for an action of a dialog; nullopt for an action the dialog does
// not offer. `rawRegion` is the dialog's raw-search region; the notify window is left unset.
std::optional<CThreadForFileSystem::Parameters>
ParametersFor(ActionDialog dialog, ScanJobAction action, bool otherFileSystem, Region rawRegion);

// The image name Create Image File proposes, made safe as a file name; empty for a kind that
// offers no image.
std::u16string ProposedImageName(const DriveNode& node);
// `name` with "/" and control characters replaced by "_": one file name, still recognisable.
std::u16string SafeFileName(std::u16string_view name);

// The user guide of a language: 0 English, 1 French, 2 German, 3 Spanish, 4 Italian; any other
// value is English.
std::u16string HelpFileNameFor(uint32_t language);
// The page of one topic in that guide, relative to the data folder: "<guide name without
// .html>/<topic>.html". Each topic has a page of its own because the desktop's URL handlers drop
// a "#fragment" from a local file.
std::u16string HelpTopicPageFor(uint32_t language, uint32_t topic);

// How Help reaches the desktop: the message shown when the guide is missing, and the opening
// of a page of the guide (the topic's page, or the guide's start when the topic has none).
// Tests replace both.
struct HelpHooks {
    std::function<void(uint32_t messageId)> showMessage;
    std::function<void(const std::filesystem::path& page, uint32_t topic)> open;
};
// Opens the page of `topic` in the guide of `language` in `folder` (the guide's start page when
// the topic has no page), or shows kHelpMissingId when the guide is not there. False when it was
// missing.
bool OpenHelp(const std::filesystem::path& folder, uint32_t language, uint32_t topic,
              const HelpHooks& hooks);

} // namespace scan_action

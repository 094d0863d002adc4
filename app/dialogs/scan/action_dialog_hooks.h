#pragma once

#include "app/dialogs/scan/scan_action_rules.h"
#include "jobs/scan/thread_for_file_system.h"

#include <QString>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>

class QWidget;

// What an action dialog needs from the program around it. The dialog knows no frame: the
// caller starts the job, shows the other dialogs and answers questions; tests record them.
struct ActionDialogHooks {
    // Starts the scan job with these parameters (the notify window is the caller's to set) and
    // readies the window for it. False when it could not start: the dialog stays open.
    std::function<bool(const CThreadForFileSystem::Parameters&)> startScan;
    // Runs the lost-drive search dialog once the disk dialog has ended, with its search mode
    // (0 from a disk, 1 from a disk image). Empty: CSearchLogicalDriveDlg over the ended
    // dialog's parent, with these hooks.
    std::function<void(int32_t searchMode)> runSearchDialog;
    // Starts the lost-drive search (the notify window is the caller's to set); `searchMode` is
    // handed to the job unchanged. False when it could not start: the dialog stays open.
    std::function<bool(bool advance, int32_t searchMode)> startSearch;
    // Runs the file-type selection dialog over `parent`; its choices stay with the caller.
    std::function<void(QWidget* parent)> chooseFileTypes;
    // Create Image File: the image file to write, asked over `parent` with `proposed` as its
    // name (the save dialog asks before an existing file is replaced); empty when cancelled.
    std::function<QString(QWidget* parent, const QString& proposed)> askImagePath;
    // Starts imaging the dialog's node over its image region into `path`; false when it could
    // not start.
    std::function<bool(const DriveNode& node, scan_action::Region region, const QString& path)>
        startImage;
    // Runs the region dialog over `parent` for a drive of `totalSectors`, starting from
    // `current`; the region OK took, or nothing for Cancel. Empty: the region dialog itself.
    std::function<std::optional<scan_action::Region>(QWidget* parent, uint64_t totalSectors,
                                                     scan_action::Region current)>
        chooseRegion;
    // Asks a yes/no question of the string id; true for yes. Empty: a message box.
    std::function<bool(uint32_t questionId)> askYesNo;
    // Help's message and the opening of the guide. Empty members: a message box and the
    // desktop's browser.
    scan_action::HelpHooks help;
    // Where the user guides lie; empty: the data folder.
    std::filesystem::path helpFolder;
    // The language whose guide Help opens (0 English to 4 Italian).
    uint32_t language = 0;
};

#pragma once

#include "jobs/scan_info/scan_file_target.h"
#include "resources/string_ids.h"

#include <QString>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

class CLogPaneDlg;
class CSizingDialogBar;
class QWidget;
class ScanState;

// What the frame does with its message log: rows added, the log saved to a file the person
// chooses or on closing, cleared, and its bar shown or hidden. The log pane and its bar are the
// frame's children, laid out by the frame; this reaches them through references that live as
// long as the frame. The questions are the frame's, so tests answer them.
class LogActions {
public:

    enum class SaveLogResult {
        Saved,
        // The file could not be created or written; nothing is reported.
        NotWritten,
        // The user cancelled the file-exists question.
        Cancelled,
    };

    struct Questions {
        // The chosen file without extension, or empty when cancelled.
        std::function<QString(const QString& proposed)> askSavePath;
        // The file-exists question for the log's name.
        ScanFileTarget::Ask askFileExists;
        // An error message box.
        std::function<void(const QString& text)> showError;
    };

    LogActions(CLogPaneDlg& pane, CSizingDialogBar& bar, const QWidget& frame, Questions questions);

    void AddLogMessage(const QString& activity, const QString& description, const QString& status,
                       int image);
    // One row for each source the drive list left out (a device-map path that cannot be read,
    // a damaged partition table), so the user learns why a drive is missing.
    void LogDriveListProblems(const std::vector<std::string>& problems);
    bool HasRows() const;

    // Tools > Save Log (asks for the file) and Tools > Clear Log.
    void OnSaveLog();
    void OnClearLog();
    // Writes the log to `file`; an existing file goes through the file-exists question first.
    SaveLogResult SaveLogTo(const std::filesystem::path& file);
    // The log saved on closing, into the "LPath" folder: false only when the user cancelled.
    bool SaveLogOnClose(const ScanState& state);
    // The name proposed for a saved log, without extension.
    static QString ProposedLogName();

    // View > Message Log.
    void ToggleLogBar();
    bool LogBarVisible() const;

private:
    CLogPaneDlg& m_pane;
    CSizingDialogBar& m_bar;
    const QWidget& m_frame;
    Questions m_questions;
};

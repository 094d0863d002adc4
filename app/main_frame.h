#pragma once

#include "app/qt_job_window.h"
#include "app/scan_file_exists_dlg.h"
#include "platform/job_messages.h"
#include "platform/message_box_answer.h"
#include "platform/message_box_buttons.h"
#include "platform/message_box_icon.h"

#include <QMainWindow>
#include <QString>

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>

class CLogPaneDlg;
class CProgressBar;
class JobRunner;
class QAction;
class QDockWidget;
class QHBoxLayout;
class QLabel;
class QSplitter;
class QTreeWidget;
class ScanState;

// The program's one top-level window: a splitter of one row and two columns (drive or folder
// tree left, file list right), the message log in a dock at the bottom, a status bar of three
// panes with up to two progress bars, and the menu commands. It receives every job message
// through its job window and refuses to close while a job runs.
//
// The questions it asks the user go through AskUser, AskFileExists and AskSaveLogPath, so a
// test can answer them without modal dialogs.
class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    static constexpr char16_t kTitle[] = u"Morwick Wrenfal Windows Data Recovery v3.0";
    static constexpr char16_t kLogName[] = u"log";
    static constexpr char16_t kStopQuestion[] =
        u"This process can not be resumed from the current stage.\n\n Do you want to abort the "
        u"current process?";
    static constexpr char16_t kCannotExit[] =
        u"Can not exit.\nStop current operation before exiting Morwick Wrenfal .....";
    static constexpr int kPaneCount = 3;
    static constexpr int kMaxPaneWidth = 10000;

    enum class SaveLogResult {
        Saved,
        // The file could not be created or written; nothing is reported.
        NotWritten,
        // The user cancelled the file-exists question.
        Cancelled,
    };

    struct FileExistsChoice {
        CScanFileExistsDlg::Answer answer = CScanFileExistsDlg::Answer::Cancel;
        QString newPath;
    };

    CMainFrame(ScanState& state, JobRunner& runner, QWidget* parent = nullptr);
    ~CMainFrame() override;

    // The splitter's panes: row 0, column 0 and column 1.
    QWidget* GetLeftPane() const;
    QWidget* GetRightPane() const;
    QSplitter* Splitter() const { return m_splitter; }
    CLogPaneDlg* LogPane() const { return m_logPane; }
    QDockWidget* LogBar() const { return m_logBar; }

    // The window jobs send their messages to.
    JobWindow& JobWindowForJobs() { return m_jobWindow; }
    // Runs one job message on the GUI thread. Returns 0.
    intptr_t HandleJobMessage(JobMessage& message);

    void AddLogMessage(const QString& activity, const QString& description, const QString& status,
                       int image);

    // Status bar.
    QLabel* Pane(int index) const;
    QString PaneText(int index) const;
    void SetPaneText(int index, const QString& text);
    // Panes 0 and 1 get fixed widths, pane 2 the rest.
    void SetPaneWidths(int pane0, int pane1);
    // Progress bar 0 (pane 0) or 1 (pane 1); null when absent.
    CProgressBar* ProgressBar(int which) const;

    // Fills the left pane with the drives of the scan state's drive list.
    void ShowDrives();

    // Tools > Stop Current Process: asks, then StopCurrentProcess.
    void OnStopCurrentProcess();
    // Asks the running job to stop; it is no longer stoppable. Job running stays with the
    // runner until the job's thread has ended.
    void StopCurrentProcess();
    // Tools > Save Log (asks for the file) and Tools > Clear Log.
    void OnSaveLog();
    void OnClearLog();
    // Writes the log to `file`; an existing file goes through the file-exists question first.
    SaveLogResult SaveLogTo(const std::filesystem::path& file);
    // The log saved on closing, into the "LPath" folder: false only when the user cancelled.
    bool SaveLogOnClose();
    // The name proposed for a saved log, without extension.
    static QString ProposedLogName();
    // A job runs: closing and most commands are refused.
    bool JobRunning() const;

protected:
    void closeEvent(QCloseEvent* event) override;

    virtual MessageBoxAnswer AskUser(const QString& text, const QString& caption,
                                     MessageBoxIcon icon, MessageBoxButtons buttons, bool topmost);
    virtual FileExistsChoice AskFileExists(const QString& path, bool isLog);
    // The chosen file without extension, or empty when cancelled.
    virtual QString AskSaveLogPath(const QString& proposed);

private:
    void CreateMenus();
    void CreateStatusBar();
    void UpdateToolsMenu();
    void CreateProgressBar(int which, const ProgressCreatePayload& payload);
    void DestroyProgressBar(int which);
    void ResetScan(bool full);
    uint8_t SelectedDiskNumber() const;

    ScanState& m_state;
    JobRunner& m_runner;
    QtJobWindow m_jobWindow;
    QSplitter* m_splitter = nullptr;
    QTreeWidget* m_leftView = nullptr;
    QTreeWidget* m_rightView = nullptr;
    QDockWidget* m_logBar = nullptr;
    CLogPaneDlg* m_logPane = nullptr;
    QHBoxLayout* m_paneLayout = nullptr;
    std::array<QLabel*, kPaneCount> m_panes{};
    std::array<std::unique_ptr<CProgressBar>, 2> m_progressBars;
    QAction* m_stopAction = nullptr;
    QAction* m_saveLogAction = nullptr;
    QAction* m_clearLogAction = nullptr;
};

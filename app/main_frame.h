#pragma once

#include "app/dialogs/scan_file_exists_dlg.h"
#include "app/models/found_entry_store.h"
#include "app/qt_job_window.h"
#include "jobs/totals_text.h"
#include "platform/job_messages.h"
#include "platform/message_box_answer.h"
#include "platform/message_box_buttons.h"
#include "platform/message_box_icon.h"
#include "platform/product_title.h"

#include <QMainWindow>
#include <QString>

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

class CFileListView;
class CLeftView;
class CLogPaneDlg;
class FileListModel;
class FolderTreeModel;
class CProgressBar;
class JobRunner;
class QAction;
class QDockWidget;
class QHBoxLayout;
class QLabel;
class QSplitter;
class QTreeWidget;
class ScanState;

// The program's one top-level window: a splitter of one row and two columns (the drive tree, or
// the folder tree once a scan has results, left; the file list of the folder selected in the
// tree right), the message log in a dock at the bottom, a status bar of three
// panes with up to two progress bars, and the menu commands. It receives every job message
// through its job window and refuses to close while a job runs.
//
// It owns the entry store that keeps every found file and folder of the current scan, and the
// folder-tree and file-list models over it; the job messages of a scan fill the store.
//
// The questions it asks the user go through AskUser, AskFileExists and AskSaveLogPath, so a
// test can answer them without modal dialogs.
class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    static constexpr const char16_t* kTitle = kProductTitle;
    // String ids of the texts the frame shows: the stop question, the refusal to close, the
    // word "log" of the proposed log name, the log dialog's title and its filter's name.
    static constexpr uint32_t kStopQuestionId = 61494;
    static constexpr uint32_t kCannotExitId = 61495;
    static constexpr uint32_t kLogNameId = 61591;
    static constexpr uint32_t kTextDocumentId = 61592;
    static constexpr uint32_t kSaveLogTitleId = 61593;
    static constexpr int kPaneCount = 3;
    static constexpr int kMaxPaneWidth = 10000;
    // String ids of the words of the found (pane 1) and marked (pane 2) totals.
    static constexpr uint32_t kTotalWord = kTotalWordId;
    static constexpr uint32_t kMarkedWord = kMarkedWordId;

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

    // The splitter's panes: row 0, column 0 (the drive tree or the folder tree) and column 1
    // (the file list).
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

    // Fills the drive tree with the drives of the scan state's drive list and shows it in the
    // left pane.
    void ShowDrives();
    // One log row for each source the drive list left out (a device-map path that cannot be
    // read, a damaged partition table), so the user learns why a drive is missing.
    void LogDriveListProblems();
    // Shows the folder tree in the left pane.
    void ShowFolderTree();
    bool ShowsFolderTree() const;

    // The results of the current scan and their views.
    FoundEntryStore& Store() { return m_store; }
    const FoundEntryStore& Store() const { return m_store; }
    FolderTreeModel& FolderModel() const { return *m_folderModel; }
    FileListModel& FileList() const { return *m_fileListModel; }
    QTreeWidget* DriveView() const { return m_driveView; }
    CLeftView* FolderView() const { return m_folderView; }
    CFileListView* FileListView() const { return m_fileListView; }

    // Status pane 1 (which 0: the current volume's found totals) or 2 (which 1: the marked
    // totals of the scan state); with `clear`, or without a volume, the pane is emptied.
    void UpdateStatusSize(bool clear, int which);
    // "<word> <size> in <files> file(s) in <folders> folder(s)".
    static QString TotalsText(std::u16string_view word, uint64_t bytes, uint64_t files,
                              uint64_t folders);
    // Counts the marked entries into the scan state's selection totals, shows them in pane 2
    // and, when anything is marked, sets some selected (and all selected when the marked bytes
    // are the volume's found bytes).
    void RecountSelection();

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
    void ShowLeftView(QWidget* view);
    void OnFolderSelected(std::size_t entry);
    void OnUserCheckChanged();
    void AddFoundItem(const FoundItemPayload& payload);
    void FillChildItems(ChildItemsRequest& request);
    uint8_t SelectedDiskNumber() const;

    struct VolumeTotals {
        uint64_t bytes = 0;
        uint64_t files = 0;
        uint64_t folders = 0;
    };
    std::optional<VolumeTotals> CurrentVolumeTotals() const;

    ScanState& m_state;
    JobRunner& m_runner;
    QtJobWindow m_jobWindow;
    // The models go before the store they observe; the views are deleted first of all.
    FoundEntryStore m_store;
    std::unique_ptr<FolderTreeModel> m_folderModel;
    std::unique_ptr<FileListModel> m_fileListModel;
    // What WM_GET_CHILD_ITEMS hands out: the job reads these copies through the pointers in
    // its request until it sends the next request, which replaces them.
    QSplitter* m_splitter = nullptr;
    QTreeWidget* m_driveView = nullptr;
    CLeftView* m_folderView = nullptr;
    CFileListView* m_fileListView = nullptr;
    QDockWidget* m_logBar = nullptr;
    CLogPaneDlg* m_logPane = nullptr;
    QHBoxLayout* m_paneLayout = nullptr;
    std::array<QLabel*, kPaneCount> m_panes{};
    std::array<std::unique_ptr<CProgressBar>, 2> m_progressBars;
    QAction* m_stopAction = nullptr;
    QAction* m_saveLogAction = nullptr;
    QAction* m_clearLogAction = nullptr;
};

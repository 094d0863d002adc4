#pragma once

#include "app/commands/command_source.h"
#include "app/commands/command_state.h"
#include "app/dialogs/recovery/destination_choice.h"
#include "app/dialogs/scan/scan_action_rules.h"
#include "app/dialogs/scan/scan_file_exists_dlg.h"
#include "app/previews/found_file_preview.h"
#include "app/frame/command_handler_table.h"
#include "app/frame/job_message_router.h"
#include "app/models/entry_search.h"
#include "app/models/file_mask_pass.h"
#include "app/models/find_rules.h"
#include "app/models/found_entry_store.h"
#include "app/qt_job_window.h"
#include "jobs/scan_info/scan_file_target.h"
#include "jobs/scan/thread_for_file_system.h"
#include "jobs/scan_info/thread_for_saving_scan_info.h"
#include "platform/jobs/job_messages.h"
#include "platform/jobs/message_box_answer.h"
#include "platform/jobs/message_box_buttons.h"
#include "platform/jobs/message_box_icon.h"
#include "platform/resources/product_title.h"
#include "resources/string_ids.h"

#include <QMainWindow>
#include <QPointer>
#include <QString>

#include <QUrl>

#include <array>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

class CFileListView;
class CFolderTreeCtrl;
class CLeftView;
class CLogPaneDlg;
class LogActions;
class StatusPanes;
class ToolbarAndMenus;
class FileListModel;
class FolderTreeModel;
class JobRunner;
class QMenu;
class QTimer;
class QKeyEvent;
class SettingsStore;
class CSizingDialogBar;
class QSplitter;
class CImageProgressDlg;
class CScrollBitmapDlg;
class CUpdatingListDlg;
class QTreeWidgetItem;
class CDiskTreeCtrl;
enum class KeyFocus;
struct ActionDialogHooks;
struct DriveNode;
class ScanState;

// The program's one top-level window: a splitter of one row and two columns (the drive tree, or
// the folder tree once a scan has results, left; the file list of the folder selected in the
// tree right), the message log in a dock at the bottom, the status bar and the toolbar. It lays
// these out and wires the collaborators it owns: StatusPanes (the panes and progress bars),
// LogActions (the message log's commands) and ToolbarAndMenus (the toolbar and the menus). It
// receives every job message through its job window, runs it by the job-message router's table
// of handlers, and refuses to close while a job runs.
//
// It owns the entry store that keeps every found file and folder of the current scan, and the
// folder-tree and file-list models over it; the job messages of a scan fill the store.
//
// Every command of the menus and the toolbar goes through OnCommand and the command table of
// handlers. Which commands are
// available is decided by the rules of app/commands/ over GatherCommandState(): the menu rules
// when a popup is about to show, the button rules on an idle timer and after each job message.
//
// The questions it asks the user go through AskUser, AskFileExists, AskSaveLogPath,
// AskSaveScanPath and AskOpenScanPath, and the desktop services through OpenUrl and
// StartProgram, so a test can answer them without modal dialogs or a desktop.
class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    static constexpr const char16_t* kTitle = kProductTitle;
    // The user guide Help Topics and F1 open, whatever the language, and the updater the Help
    // menu starts when it lies in the data folder.
    static constexpr char kHelpTopicsFile[] =
        "Morwick Wrenfal Windows Data Recovery User Guide.html";
    static constexpr char kUpdaterFile[] = "morwick-wrenfal-update";

    struct FileExistsChoice {
        CScanFileExistsDlg::Answer answer = CScanFileExistsDlg::Answer::Cancel;
        QString newPath;
    };

    CMainFrame(ScanState& state, JobRunner& runner, QWidget* parent = nullptr);
    ~CMainFrame() override;

    // Where the language switch writes "LANG"; none: the choice lasts until the program ends.
    void SetSettingsStore(SettingsStore* settings) { m_settings = settings; }

    // The collaborators the frame owns and wires: the status panes and their progress bars,
    // the message log's actions, the toolbar and the menus.
    StatusPanes& Status() const { return *m_status; }
    LogActions& Log() const { return *m_log; }
    ToolbarAndMenus& Menus() const { return *m_menus; }

    // --- commands --------------------------------------------------------------------------
    using CommandSource = ::CommandSource;
    // Runs the command's handler when the rule of its source allows it now; false when it did
    // not run.
    bool OnCommand(uint32_t id, CommandSource source = CommandSource::Menu);
    CommandState GatherCommandState() const;
    // The command handlers by id.
    const CommandHandlerTable& Commands() const { return m_commands; }
    // The idle rules: the state after a job once it has ended, then the button rules.
    void ApplyButtonRules();
    // "<title> <linking mode>" with the FAT volume's mode while its results are shown; the
    // title alone otherwise (the drive list, an NTFS volume).
    void ShowLinkingModeTitle();
    // Yes, No and Cancel over unsaved results: false when the command must end.
    bool SavePrompt();
    // Drives > Show Drive List (also after WM_NOTHING_FOUND) and Refresh Drive List.
    void ShowDriveList();
    void RefreshDriveList();
    // Tools > Save Scan Information: with results shown the scan-information job saves them;
    // with the drive tree only, the drive list is written here. Success sets scan information
    // saved (the job sets it when it ends).
    void OnSaveScanInformation();
    // Drives > Open Drive Using Scan Information: a file of a scan goes to the loading job, a
    // file of only a drive list replaces the drive list here. A refused file changes nothing.
    void OpenDriveUsingScanInformation();
    // The chosen name with ".DAT" after it, unless it ends in ".DAT" already (in any case).
    static QString ScanInfoFileName(const QString& chosen);
    // The name the save dialog proposes: "<title> Scan".
    static QString ProposedScanInfoName();
    // Files > Recover All and Recover Selected: the destination dialog, then the saving job.
    void RecoverFiles(bool all);
    void SelectAll(bool select);
    void SetLinkingMode(uint8_t mode);
    // 0 English .. 4 Italian. False when the language's pack did not load: nothing but the
    // title changes then.
    bool SwitchLanguage(uint32_t language);
    void SetViewStyle(uint32_t style);
    void Arrange(uint8_t column);
    void GoUp();
    void OpenHelpTopics();
    // Starts the scan job as an action dialog chose it, into the folder tree; false when a job
    // runs or the runner refuses.
    bool StartFileSystemJob(const CThreadForFileSystem::Parameters& chosen);
    // Starts the lost-drive search over the selected drive, as the search dialog chose it; the
    // drive tree stays, for the volumes it finds. False when a job runs or the runner refuses.
    bool StartSearchJob(bool advance, int32_t searchMode);
    // The updater program in the data folder, or empty when there is none.
    static std::filesystem::path UpdaterPath();

    // The splitter's panes: row 0, column 0 (the drive tree or the folder tree) and column 1
    // (the file list).
    QWidget* GetLeftPane() const;
    QWidget* GetRightPane() const;
    QSplitter* Splitter() const { return m_splitter; }
    CLogPaneDlg* LogPane() const { return m_logPane; }
    CSizingDialogBar* LogBar() const { return m_logBar; }

    // The window jobs send their messages to.
    JobWindow& JobWindowForJobs() { return m_jobWindow; }
    // Runs one job message on the GUI thread through the router, then the button rules.
    // Returns 0.
    intptr_t HandleJobMessage(JobMessage& message);
    const JobMessageRouter& JobRouter() const { return m_jobRouter; }

    // The viewers Preview hands entries to (the program's own unless replaced).
    void SetPreviewViewers(FoundFilePreview::Viewers viewers) {
        m_previewViewers = std::move(viewers);
    }

    // Fills the drive tree with the drives of the scan state's drive list and shows it in the
    // left pane.
    void ShowDrives();
    // The drive tree's context menu for the drive at `position` (none on the computer item);
    // null for no drive. The caller owns it.
    QMenu* CreateDriveContextMenu(const QPoint& position);
    // The drive list's problems as log rows.
    void LogDriveListProblems();
    // Shows the folder tree in the left pane.
    void ShowFolderTree();
    bool ShowsFolderTree() const;

    // The results of the current scan and their views.
    FoundEntryStore& Store() { return m_store; }
    const FoundEntryStore& Store() const { return m_store; }
    FolderTreeModel& FolderModel() const { return *m_folderModel; }
    FileListModel& FileList() const { return *m_fileListModel; }
    CLeftView* LeftView() const { return m_leftView; }
    CDiskTreeCtrl* DriveView() const { return m_driveView; }
    CFolderTreeCtrl* FolderView() const { return m_folderView; }
    CFileListView* FileListView() const { return m_fileListView; }
    // The imaging progress panel while an image is made, and the panel shown over the file
    // list after one; null when none is open.
    CImageProgressDlg* ImageProgressDialog() const;
    CScrollBitmapDlg* ChildPane() const;
    // Lays the bitmap panel over the file list unless it or the imaging panel is open already.
    void ShowChildPane();
    // The large-file progress while a scan follows a very large file's chain; null otherwise.
    CUpdatingListDlg* LargeFileDialog() const;

    // Images `region` of the node into the file at `path` (the view's side of imaging); false
    // when a job runs already.
    bool StartDiskImage(const DriveNode& node, scan_action::Region region, const QString& path);
    // Opens an image file as a drive: its trailer decides; a refused file is said so. True
    // when the drive list gained the image.
    bool LoadFile(const QString& path);

    // Counts the marked entries into the scan state's selection totals, shows them in pane 2
    // and, when anything is marked, sets some selected (and all selected when the marked bytes
    // are the volume's found bytes).
    void RecountSelection();
    // Once a job has ended, the status panes and the title say what is true now: the found and
    // marked totals while results are shown, nothing of the job's progress texts, and pane 0
    // its idle hint when no bar is in it. Called by the idle rules.
    void ShowStateAfterJob();
    // Widens the left pane until the drive tree shows its names whole (within limits).
    void WidenLeftPaneToDrives();

    // Tools > Stop Current Process: asks, then StopCurrentProcess.
    void OnStopCurrentProcess();
    // Asks the running job to stop; it is no longer stoppable. Job running stays with the
    // runner until the job's thread has ended.
    void StopCurrentProcess();
    // A job runs: closing and most commands are refused.
    bool JobRunning() const;

    // Tools > File Mask: the mask dialog, then the mask job over the kept entries. Tools > Show
    // Original List: the job puts the entries kept aside back under root 0.
    void OnFileMask();
    void OnShowOriginalList();
    // Edit > Find (the find dialog, then the first match) and Find Next (F3).
    void OnFind();
    void OnFindNext();
    // The search Find Next goes on with, and where it stands.
    const FindConditions& LastFind() const { return m_findConditions; }
    const EntrySearch& Search() const { return m_search; }
    // Starts a search with these conditions from the head of the kept entries and selects the
    // first match; false when nothing matches (after telling the user).
    bool StartFind(const FindConditions& conditions);
    // Files > Add File Filter.
    void OnAddFileFilter();
    // Show Properties of a kept entry, and Properties of a drive.
    void ShowEntryProperties(std::size_t entry);
    void ShowDriveProperties(const DriveNode& node);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Desktop services; tests record them instead.
    virtual bool OpenUrl(const QUrl& url);
    virtual bool StartProgram(const std::filesystem::path& program);
    // Runs the action dialog modally; tests drive it instead. Returns the dialog's result.
    virtual int RunActionDialog(const DriveNode& node, const QString& itemText,
                                const ActionDialogHooks& hooks);

    virtual MessageBoxAnswer AskUser(const QString& text, const QString& caption,
                                     MessageBoxIcon icon, MessageBoxButtons buttons, bool topmost);
    virtual FileExistsChoice AskFileExists(const QString& path, bool isLog);
    // The chosen file without extension, or empty when cancelled.
    virtual QString AskSaveLogPath(const QString& proposed);
    // The scan-information file to write (".DAT" may be missing) or to open; empty when
    // cancelled.
    virtual QString AskSaveScanPath(const QString& proposed);
    virtual QString AskOpenScanPath();
    // The image file Drives > Open Image File opens; empty when cancelled.
    virtual QString AskOpenImagePath();

private:
    // The job messages' handlers (main_frame_jobs.cpp).
    friend class FrameJobHandlers;
    void RegisterJobHandlers();
    // The command table (main_frame_commands.cpp).
    void RegisterCommands();
    void ToggleToolBar();
    void ToggleStatusBar();
    void OnAppendHeaderFile();
    void OnAdvanceSettings();
    void OnTipOfTheDay();
    void OnAbout();
    void ShowDriveContextMenu(const QPoint& position);
    // Writes a file of only the drive list, asking first when the name exists.
    void SaveDriveListOnly(const std::filesystem::path& chosen);
    // Starts the scan-information job on the runner; its running flag is set while it may run.
    void StartScanInfoJob(const std::filesystem::path& path, CThreadForSavingScanInfo::Mode mode);
    // Replaces the drive list with the one a drive-list file holds; false when it is refused.
    bool OpenDriveListFile(std::span<const uint8_t> file);
    // The file-exists question as the scan-file rules ask it (isLog: the log's proposed name).
    ScanFileTarget::Ask FileExistsQuestion(bool isLog);
    ScanFileExistsRequest::Answer AskScanFileExists(const QString& path, bool isLog,
                                                    std::u16string& newName);
    void ShowScanFileMessage(uint32_t id, const QString& after = QString());
    void RemoveFileFilter();
    void OpenSupportLink(uint32_t id);
    // The settings store the settings and tip dialogs read and write.
    SettingsStore& SettingsForDialogs();
    void StartUpdater();
    void RetitleViews();
    // Which of the frame's views `focus` is (or lies in).
    KeyFocus FocusOf(const QWidget* focus) const;
    // The keyboard rules for a key aimed inside the frame; true when the key was consumed.
    bool HandleFrameKey(QObject* target, QKeyEvent* event);
    // Waits, handling events, while the scan-information job runs.
    void WaitForScanInformationJob();
    // Back to the drive tree with the results' flags cleared; the tree's results are freed.
    void ReturnToDriveTree();
    // The results and their flags go (not the volume, nor the signatures) and the status
    // panes 1 and 2 are emptied.
    void DropShownResults();
    // After a save job this frame started: handles events until its thread has ended, so the
    // command that goes on may start the next job.
    void WaitForJobThread();
    void ResetScan(bool full);
    // A drive item of the drive tree was opened: its action dialog, unless a job runs.
    void OnDriveOpened(QTreeWidgetItem* item);
    // Disk\\Drive Preview of the drive tree's item (the one right-clicked last, else the
    // current one).
    void DiskPreview();
    // The viewer of one found entry; a refusal, or the hex view in place of the one the name
    // asks for, is logged.
    void PreviewEntry(std::size_t entry);
    // File > File Preview.
    void FilePreview();
    // The action dialog of the node's kind; `itemText` is what the drive tree shows for it.
    void OpenActionDialog(const DriveNode& node, const QString& itemText);
    void OnFolderSelected(std::size_t entry);
    void OnUserCheckChanged();
    void AddFoundItem(const FoundItemPayload& payload);
    // A volume the lost-drive search found: a copy joins the drive list (the job's node goes
    // with the job) and the drive tree shows the copy.
    void AddDriveItem(const DriveNode& found);
    // Imaging (main_frame_imaging.cpp).
    void OnImageStart();
    void OnImageDone(const ImageDonePayload& done);
    void OnOpenImageFile();
    // Lays a panel over the file list's whole area.
    void CoverFileList(QWidget* panel);
    // The open panels keep covering the file list when it changes size.
    void FollowFileListSize();
    void CloseChildPane();
    void FillChildItems(ChildItemsRequest& request);
    // One file-mask step on the GUI thread, for WM_APPLY_MASK_STEP.
    void ApplyMaskStep();
    // The search's next match selected in the tree and the list; false at the end.
    bool SearchFromPosition();
    // The list the find searched is gone: the search starts again and Find Next is off.
    void ResetFind();
    // A message box of the frame's dialogs: product title, topmost.
    void Tell(uint32_t textId, MessageBoxIcon icon);
    uint8_t SelectedDiskNumber() const;

    ScanState& m_state;
    JobRunner& m_runner;
    SettingsStore* m_settings = nullptr;
    QtJobWindow m_jobWindow;
    // The models go before the store they observe; the views are deleted first of all.
    FoundEntryStore m_store;
    std::unique_ptr<FolderTreeModel> m_folderModel;
    std::unique_ptr<FileListModel> m_fileListModel;
    // What WM_GET_CHILD_ITEMS hands out: the job reads these copies through the pointers in
    // its request until it sends the next request, which replaces them.
    QSplitter* m_splitter = nullptr;
    CLeftView* m_leftView = nullptr;
    CDiskTreeCtrl* m_driveView = nullptr;
    CFolderTreeCtrl* m_folderView = nullptr;
    CFileListView* m_fileListView = nullptr;
    CSizingDialogBar* m_logBar = nullptr;
    CLogPaneDlg* m_logPane = nullptr;
    std::unique_ptr<StatusPanes> m_status;
    std::unique_ptr<LogActions> m_log;
    std::unique_ptr<ToolbarAndMenus> m_menus;
    JobMessageRouter m_jobRouter;
    CommandHandlerTable m_commands;
    // The drive under the drive tree's last right-click, by its node's number.
    std::optional<uint8_t> m_contextDrive;
    FoundFilePreview::Viewers m_previewViewers = FoundFilePreview::Viewers::Program();
    // Imaging: the progress panel between WM_IMAGE_START and WM_IMAGE_DONE, the sectors per
    // block of the run it shows, and the panel over the file list.
    QPointer<CImageProgressDlg> m_imageDialog;
    uint64_t m_imageSectorsPerBlock = 1;
    QPointer<CScrollBitmapDlg> m_childPane;
    QPointer<CUpdatingListDlg> m_largeFileDialog;
    QTimer* m_idleTimer = nullptr;
    // The mask's walk over the entries kept aside, and the day its date tests count from.
    FileMaskPass m_maskPass{m_store};
    CalendarDate m_maskToday;
    FindConditions m_findConditions;
    EntrySearch m_search;
    // The find dialog's advanced part was shown when it last closed.
    bool m_findAdvancedShown = false;
    // Tab has chosen the file list's first row once.
    bool m_listRowChosen = false;
    // A job was running at the last look of the idle rules.
    bool m_jobSeenRunning = false;
};

#include "app/frame/main_frame.h"
#include "app/dialogs/common/file_dialog_start.h"
#include "app/frame/log_actions.h"
#include "app/frame/status_panes.h"
#include "app/frame/toolbar_and_menus.h"

#include "jobs/scan/volume_counts.h"

#include "platform/resources/string_table.h"

#include "app/dialogs/scan/image_progress_dlg.h"
#include "app/dialogs/common/job_question_dialogs.h"
#include "app/dialogs/common/updating_list_dlg.h"
#include "app/frame/status_progress_bar.h"
#include "app/message_box_qt.h"
#include "app/models/file_list_model.h"
#include "app/models/folder_tree_model.h"
#include "app/program_text.h"
#include "app/views/disk_tree_ctrl.h"
#include "app/views/file_list_view.h"
#include "app/views/folder_tree_ctrl.h"
#include "app/views/left_view.h"
#include "app/views/log_pane.h"
#include "controls/owner_draw_menu.h"
#include "controls/program_pictures.h"
#include "controls/sector_map_ctrl.h"
#include "controls/sizing_dialog_bar.h"
#include "diskio/records/drive_node.h"
#include "diskio/inventory/size_text.h"
#include "filesystems/fat/fat_file_system.h"
#include "filesystems/ntfs/ntfs_file_system.h"
#include "jobs/scan/scan_state.h"
#include "jobs/scan/totals_text.h"
#include "platform/text/format_text.h"
#include "platform/jobs/job_runner.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDockWidget>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QTreeWidget>

#include <algorithm>
#include <limits>
#include <list>
#include <utility>

namespace {

constexpr int kLeftViewWidth = 200;
constexpr int kIdleRulesIntervalMs = 250;
constexpr int kLogPaneWidth = 600;
constexpr int kLogPaneHeight = 150;
constexpr int kRightViewWidth = 100;
// The window width the left pane's share is taken of before the window has its own.
constexpr int kDefaultWidthForPanes = 1000;
constexpr uint8_t kFirstDiskNumber = 0x80;
constexpr uint64_t kCountLimit = std::numeric_limits<uint32_t>::max();
// The totals print counts with %d.

uint32_t ClampCount(uint64_t count) {
    return static_cast<uint32_t>(std::min(count, kCountLimit));
}

} // namespace

CMainFrame::CMainFrame(ScanState& state, JobRunner& runner, QWidget* parent)
    : QMainWindow(parent), m_state(state), m_runner(runner),
      m_jobWindow([this](JobMessage& message) { return HandleJobMessage(message); }) {
    setObjectName(QStringLiteral("128"));
    setWindowTitle(QString::fromUtf16(kTitle));

    m_folderModel = std::make_unique<FolderTreeModel>(m_store);
    m_fileListModel = std::make_unique<FileListModel>(m_store);

    m_splitter = new QSplitter(Qt::Horizontal, this);
    m_folderModel->SetRootText(ProgramText(kRootTextId));
    m_folderView = new CFolderTreeCtrl(*m_folderModel);
    m_leftView = new CLeftView(m_folderView, m_splitter);
    m_driveView = m_leftView->DriveTree();
    m_driveView->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_driveView, &QWidget::customContextMenuRequested, this,
            &CMainFrame::ShowDriveContextMenu);
    connect(m_driveView, &CDiskTreeCtrl::DriveOpened, this, &CMainFrame::OnDriveOpened);
    m_fileListView = new CFileListView(*m_fileListModel, m_splitter);
    m_fileListView->SetScanState(&m_state);
    m_fileListView->SetViewStyle(m_state.viewStyle.load());
    m_splitter->addWidget(m_leftView);
    m_splitter->addWidget(m_fileListView);
    m_splitter->setStretchFactor(1, 1);
    m_splitter->setSizes({kLeftViewWidth, kRightViewWidth});
    connect(m_folderView, &CFolderTreeCtrl::FolderSelected, this, &CMainFrame::OnFolderSelected);
    connect(m_folderView, &CFolderTreeCtrl::CheckChangedByUser, this,
            &CMainFrame::OnUserCheckChanged);
    connect(m_folderView, &CFolderTreeCtrl::PropertiesRequested, this,
            &CMainFrame::ShowEntryProperties);
    connect(m_fileListView, &CFileListView::PropertiesRequested, this,
            &CMainFrame::ShowEntryProperties);
    connect(m_fileListView, &CFileListView::CheckChangedByUser, this,
            &CMainFrame::OnUserCheckChanged);
    // Jobs work on the names they were given: no rename while one runs.
    m_folderView->SetRenameAllowed([this] { return !JobRunning(); });
    m_fileListView->SetRenameAllowed([this] { return !JobRunning(); });
    connect(m_fileListView, &CFileListView::PreviewRequested, this, &CMainFrame::PreviewEntry);
    connect(m_folderView, &CFolderTreeCtrl::PreviewRequested, this, &CMainFrame::PreviewEntry);
    connect(m_fileListView, &CFileListView::FolderOpened, this, [this](std::size_t entry) {
        m_folderView->ExpandEntry(entry);
        m_folderView->SelectEntry(entry);
    });
    setCentralWidget(m_splitter);

    m_logPane = new CLogPaneDlg();
    // The bar takes its docked height from the pane's size when it is made.
    m_logPane->resize(kLogPaneWidth, kLogPaneHeight);
    m_logBar = new CSizingDialogBar(this);
    m_logBar->setObjectName(QStringLiteral("log bar"));
    m_logBar->Create(this, m_logPane, QString::fromUtf16(kTitle));

    LogActions::Questions logQuestions;
    logQuestions.askSavePath = [this](const QString& proposed) { return AskSaveLogPath(proposed); };
    logQuestions.askFileExists = FileExistsQuestion(true);
    logQuestions.showError = [this](const QString& text) {
        AskUser(text, QString::fromUtf16(kTitle), MessageBoxIcon::Error, MessageBoxButtons::Ok,
                true);
    };
    m_log = std::make_unique<LogActions>(*m_logPane, *m_logBar, *this, std::move(logQuestions));

    m_status = std::make_unique<StatusPanes>(m_state, m_store, this);
    statusBar()->addWidget(m_status->Host(), 1);
    m_menus = std::make_unique<ToolbarAndMenus>(
        *this, [this](uint32_t id, CommandSource source) { OnCommand(id, source); },
        [this] { return GatherCommandState(); });
    m_menus->RebuildMenu();
    RegisterJobHandlers();
    RegisterCommands();
    ShowLinkingModeTitle();
    qApp->installEventFilter(this);
    // Button rules follow the state while nothing else happens.
    m_idleTimer = new QTimer(this);
    m_idleTimer->setInterval(kIdleRulesIntervalMs);
    connect(m_idleTimer, &QTimer::timeout, this, &CMainFrame::ApplyButtonRules);
    m_idleTimer->start();
    ApplyButtonRules();
    // Nothing is scanned yet: the start panel tells how to begin.
    ShowChildPane();
}

CMainFrame::~CMainFrame() {
    qApp->removeEventFilter(this);
    // The views go before the models they show, and the models before the store.
    delete m_leftView;
    delete m_fileListView;
}

QWidget* CMainFrame::GetLeftPane() const {
    return m_splitter->widget(0);
}

QWidget* CMainFrame::GetRightPane() const {
    return m_splitter->widget(1);
}

bool CMainFrame::JobRunning() const {
    return m_state.jobFlags.jobRunning.load() || m_runner.IsRunning();
}

void CMainFrame::ResetScan(bool full) {
    m_status->ClearTotals();
    if (full) {
        // The results go, and an empty folder tree waits for the entries a load sends next.
        CloseChildPane();
        m_store.Clear();
        m_fileListModel->ClearRows();
        ShowFolderTree();
        m_state.SetSelectedDrive(nullptr);
    }
    m_state.resultsAvailable = false;
    m_state.parentAvailable = false;
    m_state.someSelected = false;
    m_state.allSelected = false;
    m_state.selectedFiles = 0;
    m_state.selectedFolders = 0;
    m_state.selectedBytes = 0;
    m_state.FreeVolume();
    m_state.FreeFoundLists();
    m_store.DropPendingRenames();
    if (full) {
        m_state.driveList.Free();
        m_leftView->RefreshMode();
    }
}

// ---------------------------------------------------------------------------------------------
// Results

void CMainFrame::AddFoundItem(const FoundItemPayload& payload) {
    const std::size_t index = m_store.AddFoundItem(*payload.item, payload.name);
    if (index == FoundEntryStore::kNone) {
        return;
    }
    // A new folder opens the folder it went into, so a scan unfolds as it goes.
    const FoundEntryStore::Entry& entry = m_store.At(index);
    if (entry.hasTreeNode && entry.treeParent != FoundEntryStore::kNone) {
        m_folderView->ExpandEntry(entry.treeParent);
    }
}

void CMainFrame::ApplyMaskStep() {
    FileMaskPass::Added added;
    const bool more = m_maskPass.Step(m_state.fileMask, m_maskToday, added);
    if (added.files + added.folders > 0) {
        VolumeCounts counts = ReadVolumeCounts(m_state);
        counts.found += added.files + added.folders;
        counts.files += added.files;
        counts.bytes += added.bytes;
        WriteVolumeCounts(m_state, counts);
    }
    m_state.maskStepsLeft = more;
}

void CMainFrame::FillChildItems(ChildItemsRequest& request) {
    std::vector<FoundEntryStore::ItemCopy> copies =
        m_store.ChildItems(request.parentEntryId, request.allEntries);
    request.result.clear();
    request.result.reserve(copies.size());
    for (FoundEntryStore::ItemCopy& copy : copies)
        request.result.push_back(
            {std::make_shared<const FoundItem>(copy.item), std::move(copy.name)});
}

void CMainFrame::OnFolderSelected(std::size_t entry) {
    if (entry == FoundEntryStore::kNone || entry >= m_store.Size()) {
        m_fileListModel->ClearRows();
        return;
    }
    const uint64_t id = m_store.At(entry).item.entryId;
    m_state.parentAvailable = entry != 0;
    m_fileListModel->ShowFolder(id);
}

void CMainFrame::ShowStateAfterJob() {
    // A bar its job left behind shows progress that is over.
    m_status->DestroyProgressBar(0);
    m_status->DestroyProgressBar(1);
    m_status->ShowIdleHint();
    if (ShowsFolderTree() && m_store.HasRoot()) {
        m_status->UpdateStatusSize(false, 0);
        m_status->UpdateStatusSize(false, 1);
    } else {
        m_status->ClearTotals();
    }
    ShowLinkingModeTitle();
}

void CMainFrame::OnUserCheckChanged() {
    if (!JobRunning()) {
        RecountSelection();
        return;
    }
    // A running job may be replacing the volume: keep the counts, leave the pane and the
    // all-selected test to the next recount.
    const FoundEntryStore::SelectionCount count = m_store.CountSelection();
    m_state.selectedFolders = ClampCount(count.folders);
    m_state.selectedFiles = ClampCount(count.files);
    m_state.selectedBytes = count.bytes;
}

void CMainFrame::RecountSelection() {
    const FoundEntryStore::SelectionCount count = m_store.CountSelection();
    m_state.selectedFolders = ClampCount(count.folders);
    m_state.selectedFiles = ClampCount(count.files);
    m_state.selectedBytes = count.bytes;
    m_status->UpdateStatusSize(false, 1);
    if (count.folders == 0 && count.files == 0) {
        return;
    }
    m_state.someSelected = true;
    const std::optional<StatusPanes::VolumeTotals> volume = m_status->CurrentVolumeTotals();
    if (volume && count.bytes == volume->bytes) {
        m_state.allSelected = true;
    }
}

uint8_t CMainFrame::SelectedDiskNumber() const {
    const DriveNode* node = m_state.SelectedDrive();
    if (node == nullptr) {
        return 0;
    }
    if (const LogicalDriveInfo* volume = node->Logical()) {
        return volume->disk;
    }
    return node->number >= kFirstDiskNumber ? static_cast<uint8_t>(node->number - kFirstDiskNumber)
                                            : 0;
}

// ---------------------------------------------------------------------------------------------
// Stop and close

void CMainFrame::OnStopCurrentProcess() {
    if (!JobRunning()) {
        return;
    }
    if (AskUser(ProgramText(kStopQuestionId), QString::fromUtf16(kTitle), MessageBoxIcon::Question,
                MessageBoxButtons::OkCancel, false) == MessageBoxAnswer::Ok) {
        StopCurrentProcess();
    }
}

void CMainFrame::StopCurrentProcess() {
    m_runner.RequestStop();
    m_state.jobFlags.stoppable = false;
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (JobRunning()) {
        AskUser(ProgramText(kCannotExitId), QString::fromUtf16(kTitle), MessageBoxIcon::Warning,
                MessageBoxButtons::Ok, true);
        event->ignore();
        return;
    }
    if (!SavePrompt() || !m_log->SaveLogOnClose(m_state)) {
        event->ignore();
        return;
    }
    WaitForScanInformationJob();
    m_status->DestroyProgressBar(0);
    m_status->DestroyProgressBar(1);
    m_state.FreeVolume();
    m_state.SetSelectedDrive(nullptr);
    m_state.driveList.Free();
    m_fileListModel->ClearRows();
    m_store.Clear();
    m_state.resultsAvailable = false;
    m_state.FreeFoundLists();
    m_store.DropPendingRenames();
    m_leftView->RefreshMode();
    event->accept();
}

// ---------------------------------------------------------------------------------------------
// Drives

void CMainFrame::ShowDrives() {
    m_leftView->ShowDriveList(m_state.driveList.nodes);
    WidenLeftPaneToDrives();
    ShowLinkingModeTitle();
}

void CMainFrame::WidenLeftPaneToDrives() {
    // Never narrower than the designed width, never more than two fifths of the window; a pane
    // the person made wider stays so.
    const int window = std::max(width(), kDefaultWidthForPanes);
    const int wanted = std::clamp(m_driveView->NeededWidth(), kLeftViewWidth,
                                  std::max(kLeftViewWidth, window * 2 / 5));
    QList<int> sizes = m_splitter->sizes();
    if (sizes.size() != 2 || sizes[0] >= wanted) {
        return;
    }
    const int total = sizes[0] + sizes[1];
    m_splitter->setSizes({wanted, std::max(total - wanted, kRightViewWidth)});
}

void CMainFrame::AddDriveItem(const DriveNode& found) {
    std::list<DriveNode>& nodes = m_state.driveList.nodes;
    nodes.push_back(found);
    m_leftView->AddDriveItem(nodes.back(), nodes);
}

void CMainFrame::LogDriveListProblems() {
    m_log->LogDriveListProblems(m_state.driveList.problems);
}

void CMainFrame::ShowFolderTree() {
    m_leftView->ShowFolderTree();
    ShowLinkingModeTitle();
}

bool CMainFrame::ShowsFolderTree() const {
    return m_leftView->FolderTreeShown();
}

// ---------------------------------------------------------------------------------------------
// Questions

MessageBoxAnswer CMainFrame::AskUser(const QString& text, const QString& caption,
                                     MessageBoxIcon icon, MessageBoxButtons buttons, bool topmost) {
    QMessageBox box(ToQtIcon(icon), caption.isEmpty() ? QString::fromUtf16(kTitle) : caption, text,
                    ToQtButtons(buttons), this);
    if (topmost) {
        box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    }
    WidenToTitle(box);
    const int button = box.exec();
    return FromQtButton(button, buttons);
}

CMainFrame::FileExistsChoice CMainFrame::AskFileExists(const QString& path, bool isLog) {
    CScanFileExistsDlg dialog(path, SelectedDiskNumber(), 0, isLog, this);
    dialog.exec();
    return {dialog.GetAnswer(), dialog.ChosenName()};
}

QString CMainFrame::AskSaveLogPath(const QString& proposed) {
    return QFileDialog::getSaveFileName(this, ProgramText(kSaveLogTitleId),
                                        FileDialogStart(proposed),
                                        ProgramText(kTextDocumentId) + QStringLiteral("(*.TXT)"));
}

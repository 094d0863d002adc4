#include "app/main_frame.h"
#include "app/dialogs/file_dialog_start.h"

#include "jobs/volume_counts.h"

#include "platform/string_table.h"

#include "app/dialogs/image_progress_dlg.h"
#include "app/dialogs/job_question_dialogs.h"
#include "app/dialogs/updating_list_dlg.h"
#include "app/message_box_qt.h"
#include "app/models/file_list_model.h"
#include "app/models/folder_tree_model.h"
#include "app/program_text.h"
#include "app/status_progress_bar.h"
#include "app/views/disk_tree_ctrl.h"
#include "app/views/file_list_view.h"
#include "app/views/folder_tree_ctrl.h"
#include "app/views/left_view.h"
#include "app/views/log_pane.h"
#include "controls/owner_draw_menu.h"
#include "controls/program_pictures.h"
#include "controls/sector_map_ctrl.h"
#include "controls/sizing_dialog_bar.h"
#include "diskio/drive_node.h"
#include "diskio/size_text.h"
#include "filesystems/fat/fat_file_system.h"
#include "filesystems/ntfs/ntfs_file_system.h"
#include "jobs/scan_state.h"
#include "jobs/totals_text.h"
#include "platform/format_text.h"
#include "platform/job_runner.h"
#include "resources/string_ids.h"

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
constexpr int kIndicatorPaneWidth = 40;
constexpr int kLogPaneWidth = 600;
constexpr int kLogPaneHeight = 150;
// The menus' colour, RGB(222,219,213).
constexpr int kMenuRed = 222;
constexpr int kMenuGreen = 219;
constexpr int kMenuBlue = 213;
constexpr int kRightViewWidth = 100;
// The window width the left pane's share is taken of before the window has its own.
constexpr int kDefaultWidthForPanes = 1000;
constexpr uint8_t kFirstDiskNumber = 0x80;
constexpr uint64_t kCountLimit = std::numeric_limits<uint32_t>::max();
// The totals print counts with %d.

QString FromUtf16(const std::u16string& text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

QString FromOptional(const std::optional<std::u16string>& text) {
    return text ? FromUtf16(*text) : QString();
}

uint32_t ClampCount(uint64_t count) {
    return static_cast<uint32_t>(std::min(count, kCountLimit));
}

int SelectedBar(const JobMessage& message) {
    const auto* selector = message.Get<BarSelectorPayload>();
    return selector != nullptr && selector->SelectsBarOne() ? 1 : 0;
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

    CreateStatusBar();
    CreateToolBar();
    m_mainMenu = std::make_unique<COwnerDrawMenu>();
    m_mainMenu->SetMenuColor(QColor(kMenuRed, kMenuGreen, kMenuBlue));
    m_mainMenu->SetImageStrip(StripImage(PictureStrip::Menu));
    RebuildMenu();
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

// ---------------------------------------------------------------------------------------------
// Status bar

void CMainFrame::CreateStatusBar() {
    auto* host = new QWidget(this);
    host->setObjectName(QStringLiteral("status panes"));
    m_paneLayout = new QHBoxLayout(host);
    m_paneLayout->setContentsMargins(0, 0, 0, 0);
    m_paneLayout->setSpacing(2);
    for (int i = 0; i < kPaneCount; ++i) {
        auto* pane = new QLabel(host);
        pane->setObjectName(QStringLiteral("pane %1").arg(i));
        pane->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        pane->setMinimumWidth(i == 0 ? 0 : 80);
        m_panes[static_cast<size_t>(i)] = pane;
        m_paneLayout->addWidget(pane, i == 0 ? 1 : 0);
    }
    // The last pane is the scroll-lock indicator's place; Qt does not report lock keys, so it
    // stays blank at its own small width and no job writes to it.
    m_panes[kPaneCount - 1]->setFixedWidth(kIndicatorPaneWidth);
    m_panes[0]->setText(CProgressBar::IdleText());
    statusBar()->addWidget(host, 1);
}

QLabel* CMainFrame::Pane(int index) const {
    if (index < 0 || index >= kPaneCount) {
        return nullptr;
    }
    return m_panes[static_cast<size_t>(index)];
}

QString CMainFrame::PaneText(int index) const {
    const QLabel* pane = Pane(index);
    return pane != nullptr ? pane->text() : QString();
}

void CMainFrame::SetPaneText(int index, const QString& text) {
    if (QLabel* pane = Pane(index)) {
        pane->setText(text);
    }
}

void CMainFrame::SetPaneWidths(int pane0, int pane1) {
    const std::array<int, 2> widths = {std::clamp(pane0, 0, kMaxPaneWidth),
                                       std::clamp(pane1, 0, kMaxPaneWidth)};
    for (size_t i = 0; i < widths.size(); ++i) {
        m_panes[i]->setMinimumWidth(0);
        m_panes[i]->setFixedWidth(widths[i]);
        m_paneLayout->setStretch(static_cast<int>(i), 0);
    }
    m_panes[2]->setMinimumWidth(0);
    m_panes[2]->setMaximumWidth(QWIDGETSIZE_MAX);
    m_paneLayout->setStretch(2, 1);
}

CUpdatingListDlg* CMainFrame::LargeFileDialog() const {
    return m_largeFileDialog;
}

CProgressBar* CMainFrame::ProgressBar(int which) const {
    return which == 0 || which == 1 ? m_progressBars[static_cast<size_t>(which)].get() : nullptr;
}

void CMainFrame::CreateProgressBar(int which, const ProgressCreatePayload& payload) {
    auto& slot = m_progressBars[static_cast<size_t>(which)];
    // The old bar goes first, so its pane has its own text back before the new bar keeps it.
    slot.reset();
    slot = std::make_unique<CProgressBar>(Pane(which), which, FromUtf16(payload.label), 100,
                                          payload.maximum, true);
}

void CMainFrame::DestroyProgressBar(int which) {
    m_progressBars[static_cast<size_t>(which)].reset();
}

// ---------------------------------------------------------------------------------------------
// Job messages

intptr_t CMainFrame::HandleJobMessage(JobMessage& message) {
    struct ApplyRulesAfter {
        CMainFrame* frame;
        ~ApplyRulesAfter() { frame->ApplyButtonRules(); }
    } applyRules{this};
    switch (message.id) {
    case WM_CREATE_PROGRESS:
    case WM_CREATE_PROGRESS2:
        if (const auto* create = message.Get<ProgressCreatePayload>()) {
            CreateProgressBar(message.id == WM_CREATE_PROGRESS ? 0 : 1, *create);
        }
        break;
    case WM_STEP_PROGRESS:
        if (CProgressBar* bar = ProgressBar(SelectedBar(message))) {
            bar->StepIt();
        }
        break;
    case WM_DESTROY_PROGRESS:
        DestroyProgressBar(SelectedBar(message));
        break;
    case WM_SET_PANE_WIDTHS:
        if (const auto* widths = message.Get<PaneWidthsPayload>()) {
            SetPaneWidths(widths->pane0, widths->pane1);
        }
        break;
    case WM_SET_PROGRESS_TEXT:
        if (const auto* text = message.Get<TextPayload>(); text != nullptr && text->text) {
            if (CProgressBar* bar = ProgressBar(0)) {
                bar->SetText(FromOptional(text->text));
                bar->StepIt();
            }
        }
        break;
    case WM_SET_STATUS_TEXT1:
    case WM_SET_STATUS_TEXT2:
        if (const auto* text = message.Get<TextPayload>(); text != nullptr && text->text) {
            SetPaneText(message.id == WM_SET_STATUS_TEXT1 ? 1 : 2, FromOptional(text->text));
        }
        break;
    case WM_ADD_LOG_LINE:
        if (const auto* line = message.Get<LogLinePayload>()) {
            AddLogMessage(FromUtf16(line->activity), FromUtf16(line->description),
                          FromUtf16(line->status), line->image);
        }
        break;
    case WM_ADD_TREE_ROOT:
        if (const auto* root = message.Get<RootSelectorPayload>()) {
            ResetFind();
            if (root->SelectsRootOne() && m_store.HasRoot()) {
                // The mask's list starts beside the scan's: the scan's entries wait aside,
                // whole, for the mask to walk and for Show Original List to put back.
                m_store.SetAsideOriginal();
                m_maskPass.Rewind();
                m_maskToday = LocalToday();
            }
            m_store.CreateRoot(m_state.NtfsVolume() != nullptr ? FoundEntryStore::VolumeKind::Ntfs
                                                               : FoundEntryStore::VolumeKind::Fat,
                               root->SelectsRootOne() ? 1 : 0);
            ShowFolderTree();
            m_folderView->SelectEntry(0);
            UpdateStatusSize(false, 0);
        }
        break;
    case WM_ADD_FOUND_ITEM:
        if (const auto* found = message.Get<FoundItemPayload>();
            found != nullptr && found->item != nullptr) {
            AddFoundItem(*found);
            UpdateStatusSize(false, 0);
        }
        break;
    case WM_UPDATE_FOUND_ITEM:
        if (const auto* found = message.Get<FoundItemPayload>();
            found != nullptr && found->item != nullptr) {
            m_store.UpdateFoundItem(*found->item, found->name);
        }
        break;
    case WM_APPLY_ITEM_NAMES:
        m_store.ApplyItemNames();
        break;
    case WM_COLLAPSE_ROOT:
        if (const auto* root = message.Get<RootSelectorPayload>()) {
            // Root 0 is also collapsed, opened again and made current; root 1 only loses the
            // expansion of its children.
            m_folderView->CollapseRoot(!root->SelectsRootOne());
        }
        break;
    case WM_GET_CHILD_ITEMS:
        if (auto* request = message.Get<ChildItemsRequest>()) {
            FillChildItems(*request);
        }
        break;
    case WM_SET_FOLDER_CHECK:
        if (const auto* check = message.Get<FolderCheckPayload>()) {
            m_store.SetFolderCheckFromJob(check->treeItem, check->partly);
        }
        break;
    case WM_SET_FILE_CHECK:
        if (const auto* check = message.Get<FileCheckPayload>()) {
            m_store.SetFileCheckFromJob(check->name, check->entryId, check->partly);
        }
        break;
    case WM_SCAN_TOTALS:
        RecountSelection();
        break;
    case WM_APPLY_MASK_STEP:
        ApplyMaskStep();
        break;
    case WM_SAVE_SELECTION:
        if (const auto* save = message.Get<SaveSelectionPayload>();
            save != nullptr && save->Acts()) {
            // The entries were set aside when root 1 began; the walk starts again next time.
            m_maskPass.Rewind();
            RecountSelection();
        }
        break;
    case kJobRestoreFoundItem:
        if (const auto* found = message.Get<FoundItemPayload>();
            found != nullptr && found->item != nullptr) {
            const std::size_t index = m_store.AddKeptItem(*found->item, found->name);
            if (index != FoundEntryStore::kNone) {
                const FoundEntryStore::Entry& entry = m_store.At(index);
                if (entry.hasTreeNode && entry.treeParent != FoundEntryStore::kNone) {
                    m_folderView->ExpandEntry(entry.treeParent);
                }
            }
            UpdateStatusSize(false, 0);
        }
        break;
    case kJobOriginalListRestored:
        m_store.DropOriginal();
        RecountSelection();
        break;
    case WM_CLEAR_VIEWS:
        SetPaneText(1, QString());
        SetPaneText(2, QString());
        // Items and rows only: the kept entries stay for the job that walks them next.
        m_store.ClearViewItems();
        break;
    case WM_RESET_SCAN:
        ResetScan(true);
        break;
    case WM_SEARCH_ENDED:
        ResetScan(false);
        break;
    case WM_ADD_DRIVE_ITEM:
        if (const auto* found = message.Get<DriveItemPayload>();
            found != nullptr && found->node != nullptr) {
            AddDriveItem(*found->node);
        }
        break;
    case WM_NOTHING_FOUND:
        ShowDriveList();
        break;
    case WM_IMAGE_START:
        OnImageStart();
        break;
    case WM_IMAGE_DONE:
        if (const auto* done = message.Get<ImageDonePayload>()) {
            OnImageDone(*done);
        }
        break;
    case WM_SECTORMAP_READING:
    case WM_SECTORMAP_DONE:
    case WM_SECTORMAP_FAILED:
        if (m_imageDialog != nullptr) {
            m_imageDialog->SectorMap()->HandleMessage(message);
        }
        break;
    case kJobSetImageProgressText:
        if (const auto* text = message.Get<ImageProgressTextPayload>();
            text != nullptr && m_imageDialog != nullptr) {
            m_imageDialog->SetControlText(text->controlId, QString::fromStdU16String(text->text));
        }
        break;
    case WM_WRITE_TREE_TO_FILE:
        if (auto* write = message.Get<WriteTreePayload>()) {
            if (write->restart) {
                m_store.RestartTreeWrite();
            }
            const FoundEntryStore::TreeWriteResult result = m_store.WriteNextItem(write->fd);
            write->more = result.more;
            write->failed = result.failed;
        }
        break;
    case kJobAskMessageBox:
        if (auto* request = message.Get<MessageBoxRequest>()) {
            request->answer = AskUser(FromUtf16(request->text), FromUtf16(request->caption),
                                      request->icon, request->buttons, request->topmost);
        }
        break;
    case kJobSetWindowTitle:
        if (const auto* title = message.Get<WindowTitleRequest>()) {
            setWindowTitle(FromUtf16(title->title));
        }
        break;
    case kJobLargeFileProgress:
        if (const auto* progress = message.Get<LargeFileProgressRequest>()) {
            switch (progress->stage) {
            case LargeFileProgressRequest::Stage::Open:
                delete m_largeFileDialog;
                m_largeFileDialog = new CUpdatingListDlg(progress->maximum, this);
                m_largeFileDialog->show();
                break;
            case LargeFileProgressRequest::Stage::Step:
                if (m_largeFileDialog != nullptr) {
                    m_largeFileDialog->Step();
                }
                break;
            case LargeFileProgressRequest::Stage::Close:
                delete m_largeFileDialog;
                break;
            }
        }
        break;
    case kJobAskSaveErrorAction:
    case kJobAskFileExists:
        HandleJobQuestion(this, message);
        break;
    case kJobAskScanFileExists:
        if (auto* request = message.Get<ScanFileExistsRequest>()) {
            request->answer = AskScanFileExists(FromUtf16(request->path), false, request->newName);
        }
        break;
    case kJobRunOnGuiThread:
        if (auto* handOver = message.Get<GuiThreadTask>(); handOver != nullptr && handOver->task) {
            handOver->task();
            // The drive list may be another now: the drive tree shows it when it comes back.
            m_driveView->Fill(m_state.driveList.nodes);
        }
        break;
    default:
        // The folder tree, the file list and the drive tree take the rest once they exist.
        break;
    }
    return 0;
}

void CMainFrame::ResetScan(bool full) {
    SetPaneText(1, QString());
    SetPaneText(2, QString());
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

std::optional<CMainFrame::VolumeTotals> CMainFrame::CurrentVolumeTotals() const {
    VolumeTotals totals;
    uint64_t found = 0;
    if (const CFatFileSystem* fat = m_state.FatVolume()) {
        totals.bytes = fat->FoundBytes();
        // A damaged count never goes below zero.
        totals.files = static_cast<uint64_t>(std::max<int32_t>(fat->FileCount(), 0));
        found = fat->FoundCount();
    } else if (const CNtfsFileSystem* ntfs = m_state.NtfsVolume()) {
        totals.bytes = ntfs->FoundBytes();
        totals.files = ntfs->FileCount();
        found = ntfs->FoundCount();
    } else {
        return std::nullopt;
    }
    totals.folders = found > totals.files ? found - totals.files : 0;
    return totals;
}

QString CMainFrame::TotalsText(std::u16string_view word, uint64_t bytes, uint64_t files,
                               uint64_t folders) {
    return FromUtf16(::TotalsText(word, bytes, files, folders));
}

void CMainFrame::UpdateStatusSize(bool clear, int which) {
    const int pane = which == 0 ? 1 : 2;
    const std::optional<VolumeTotals> volume = CurrentVolumeTotals();
    if (clear || !volume) {
        SetPaneText(pane, QString());
        return;
    }
    if (which == 0) {
        SetPaneText(pane, TotalsText(StringTable::Program().Get(kTotalWord), volume->bytes,
                                     volume->files, volume->folders));
    } else {
        SetPaneText(pane, TotalsText(StringTable::Program().Get(kMarkedWord),
                                     m_state.selectedBytes.load(), m_state.selectedFiles.load(),
                                     m_state.selectedFolders.load()));
    }
}

void CMainFrame::ShowStateAfterJob() {
    // A bar its job left behind shows progress that is over.
    DestroyProgressBar(0);
    DestroyProgressBar(1);
    SetPaneText(0, CProgressBar::IdleText());
    if (ShowsFolderTree() && m_store.HasRoot()) {
        UpdateStatusSize(false, 0);
        UpdateStatusSize(false, 1);
    } else {
        SetPaneText(1, QString());
        SetPaneText(2, QString());
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
    UpdateStatusSize(false, 1);
    if (count.folders == 0 && count.files == 0) {
        return;
    }
    m_state.someSelected = true;
    const std::optional<VolumeTotals> volume = CurrentVolumeTotals();
    if (volume && count.bytes == volume->bytes) {
        m_state.allSelected = true;
    }
}

// ---------------------------------------------------------------------------------------------
// Log

void CMainFrame::AddLogMessage(const QString& activity, const QString& description,
                               const QString& status, int image) {
    m_logPane->AddLogMessage(activity, description, status, image);
}

QString CMainFrame::ProposedLogName() {
    return QString::fromUtf16(kTitle) + QLatin1Char(' ') + ProgramText(kLogNameId);
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

CMainFrame::SaveLogResult CMainFrame::SaveLogTo(const std::filesystem::path& file) {
    // A renamed target is asked about again while it exists too; only Overwrite replaces.
    const std::optional<ScanFileTarget> target =
        ScanFileTarget::Resolve(file, FileExistsQuestion(true));
    if (!target) {
        return SaveLogResult::Cancelled;
    }
    return m_logPane->SaveReport(target->path, QString::fromUtf16(kTitle), target->replace)
               ? SaveLogResult::Saved
               : SaveLogResult::NotWritten;
}

bool CMainFrame::SaveLogOnClose() {
    if (m_state.saveLogOnClose.load() == 0 || m_state.logPath.empty()) {
        return true;
    }
    const std::filesystem::path folder = FromUtf16(m_state.logPath).toStdString();
    const std::filesystem::path file = folder / (ProposedLogName() + ".TXT").toStdString();
    return SaveLogTo(file) != SaveLogResult::Cancelled;
}

void CMainFrame::OnSaveLog() {
    QString path = AskSaveLogPath(ProposedLogName());
    if (path.isEmpty()) {
        return;
    }
    if (!path.endsWith(QStringLiteral(".TXT"), Qt::CaseInsensitive)) {
        path += QStringLiteral(".TXT");
    }
    if (SaveLogTo(path.toStdString()) == SaveLogResult::NotWritten) {
        AskUser(ProgramText(kCannotOpenFileId) + path, QString::fromUtf16(kTitle),
                MessageBoxIcon::Error, MessageBoxButtons::Ok, true);
    }
}

void CMainFrame::OnClearLog() {
    m_logPane->ClearLog();
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
    if (!SavePrompt() || !SaveLogOnClose()) {
        event->ignore();
        return;
    }
    WaitForScanInformationJob();
    m_progressBars[0].reset();
    m_progressBars[1].reset();
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
    for (const std::string& problem : m_state.driveList.problems) {
        AddLogMessage(ProgramText(kListingDrivesId), QString::fromStdString(problem),
                      ProgramText(kSkippedStatusId), 3);
    }
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

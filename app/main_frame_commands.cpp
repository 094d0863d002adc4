#include "app/main_frame.h"

#include "app/commands/command_ids.h"
#include "app/commands/command_rules.h"
#include "app/commands/key_decision.h"
#include "app/commands/menu_resource.h"
#include "app/commands/menu_templates.h"
#include "app/dialogs/about_dlg.h"
#include "app/dialogs/action_dialog_factory.h"
#include "app/dialogs/action_dialog_hooks.h"
#include "app/dialogs/add_new_header_dlg.h"
#include "app/dialogs/advance_settings_dlg.h"
#include "app/dialogs/choose_destination_dlg.h"
#include "app/dialogs/file_types_dlg.h"
#include "app/dialogs/recovery_options_dlg.h"
#include "app/dialogs/tip_dlg.h"
#include "app/dialogs/wait_cursor_lift.h"
#include "app/disk_preview.h"
#include "app/found_file_preview.h"
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
#include "controls/sizing_dialog_bar.h"
#include "diskio/drive_list.h"
#include "filesystems/fat/fat_file_system.h"
#include "filesystems/ntfs/ntfs_file_system.h"
#include "filesystems/scan_log.h"
#include "jobs/scan_state.h"
#include "jobs/thread_for_file_system.h"
#include "jobs/thread_for_saving_files.h"
#include "jobs/thread_for_search_volume.h"
#include "platform/data_folder.h"
#include "platform/job_runner.h"
#include "platform/settings_store.h"
#include "platform/string_table.h"
#include "resources/string_ids.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QDesktopServices>
#include <QDockWidget>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QRegularExpression>
#include <QStatusBar>
#include <QToolBar>
#include <QTreeWidget>

#include <algorithm>
#include <array>
#include <limits>
#include <system_error>

namespace {

// The project's support addresses behind the four Help links.
struct SupportLink {
    uint32_t command;
    const char* address;
};
constexpr std::array<SupportLink, 4> kSupportLinks = {{
    {CommandId::kEmailSupport, "mailto:support@morwickwrenfal.org"},
    {CommandId::kViewSupportSection, "https://morwickwrenfal.org/support"},
    {CommandId::kKnowledgeBase, "https://morwickwrenfal.org/support/articles"},
    {CommandId::kGenerateTicket, "https://morwickwrenfal.org/support/ticket"},
}};

QUrl GuideUrl(const std::filesystem::path& page) {
    return QUrl::fromLocalFile(QString::fromStdString(page.string()));
}

constexpr std::array<uint32_t, 5> kLanguageCommands = {CommandId::kEnglish, CommandId::kFrench,
                                                       CommandId::kGerman, CommandId::kSpanish,
                                                       CommandId::kItalian};
constexpr std::array<uint32_t, 3> kLinkingCommands = {
    CommandId::kLinkingFat1, CommandId::kLinkingFat2, CommandId::kLinkingContiguous};
// The view-style commands by the style value they store: 0 large icon, 1 details, 2 small
// icon, 3 list.
constexpr std::array<uint32_t, 4> kViewStyleCommands = {CommandId::kLargeIcon, CommandId::kDetails,
                                                        CommandId::kSmallIcon, CommandId::kList};

uint32_t ClampToU32(uint64_t value) {
    return static_cast<uint32_t>(std::min<uint64_t>(value, std::numeric_limits<uint32_t>::max()));
}

template <size_t N> int IndexOf(const std::array<uint32_t, N>& commands, uint32_t id) {
    for (size_t i = 0; i < N; ++i) {
        if (commands[i] == id) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

// A toolbar tip is the menu text without its mnemonic and shortcut.
QString TipText(uint32_t id) {
    QString text = ProgramText(id);
    if (const qsizetype tab = text.indexOf(QLatin1Char('\t')); tab >= 0) {
        text.truncate(tab);
    }
    text.remove(QRegularExpression(QStringLiteral("&(?!&)")));
    return text.replace(QStringLiteral("&&"), QStringLiteral("&")).trimmed();
}

KeyFocus FocusKind(const QWidget* focus, const QWidget* folderTree, const QWidget* fileList,
                   const QWidget* driveTree) {
    if (focus == nullptr) {
        return KeyFocus::Other;
    }
    if (qobject_cast<const QLineEdit*>(focus) != nullptr || focus->inherits("QTextEdit") ||
        focus->inherits("QPlainTextEdit") || focus->inherits("QAbstractSpinBox")) {
        return KeyFocus::TextEditor;
    }
    if (focus == folderTree) {
        return KeyFocus::FolderTree;
    }
    if (fileList != nullptr && (focus == fileList || fileList->isAncestorOf(focus))) {
        return KeyFocus::FileList;
    }
    if (focus == driveTree) {
        return KeyFocus::DriveTree;
    }
    return KeyFocus::Other;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Menus, toolbar and their rules

void CMainFrame::CreateToolBar() {
    m_toolBar = addToolBar(QString());
    m_toolBar->setObjectName(QStringLiteral("toolbar 128"));
    m_toolBar->setMovable(true);
    m_toolBar->setIconSize(QSize(48, 48));
    m_toolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    int picture = 0;
    for (const uint32_t id : ToolbarButtons()) {
        if (id == 0) {
            m_toolBar->addSeparator();
            continue;
        }
        // Normal, hot (under the mouse) and disabled pictures of one drawing.
        QIcon icon;
        icon.addPixmap(StripPicture(PictureStrip::ToolbarNormal, picture), QIcon::Normal);
        icon.addPixmap(StripPicture(PictureStrip::ToolbarHot, picture), QIcon::Active);
        icon.addPixmap(StripPicture(PictureStrip::ToolbarDisabled, picture), QIcon::Disabled);
        ++picture;
        QAction* action = m_toolBar->addAction(icon, TipText(id));
        action->setObjectName(QString::number(id));
        action->setToolTip(TipText(id));
        action->setData(id);
        const CommandRow* row = FindCommand(id);
        action->setCheckable(row != nullptr && (row->checkable || row->radio));
        connect(action, &QAction::triggered, this,
                [this, id] { OnCommand(id, CommandSource::Button); });
        m_buttonActions[id] = action;
    }
}

void CMainFrame::RebuildMenu() {
    m_menuActions.clear();
    m_mainMenu->LoadMenu(*menuBar(), MenuTemplatesOf(kMainMenuId));
    for (const QPointer<QMenu>& popup : m_mainMenu->Popups()) {
        if (popup.isNull()) {
            continue;
        }
        QMenu* menu = popup.data();
        menu->setObjectName(QStringLiteral("menu %1").arg(menu->menuAction()->data().toUInt()));
        connect(menu, &QMenu::aboutToShow, this, [this, menu] { ApplyMenuRules(menu); });
        for (QAction* action : menu->actions()) {
            if (action->menu() != nullptr || action->isSeparator()) {
                continue;
            }
            const uint32_t id = action->data().toUInt();
            const CommandRow* row = FindCommand(id);
            action->setCheckable(row != nullptr && (row->checkable || row->radio));
            // A command may build the menus again (the language switch does) while the popup
            // that delivered the click is still handling it: it runs once the click returned.
            connect(
                action, &QAction::triggered, this, [this, id] { OnCommand(id); },
                Qt::QueuedConnection);
            m_menuActions[id] = action;
        }
        ApplyMenuRules(menu);
    }
    for (auto& [id, action] : m_buttonActions) {
        action->setText(TipText(id));
        action->setToolTip(TipText(id));
    }
}

QMenu* CMainFrame::CreateDriveContextMenu(const QPoint& position) {
    // Only a drive whose node is still listed has a menu: not the computer, not a group.
    if (CDiskTreeCtrl::NodeOf(m_driveView->itemAt(position), m_state.driveList.nodes) == nullptr) {
        return nullptr;
    }
    if (m_driveMenu == nullptr) {
        m_driveMenu = std::make_unique<COwnerDrawMenu>();
        m_driveMenu->SetImageStrip(StripImage(PictureStrip::Menu));
    }
    m_contextDrive =
        CDiskTreeCtrl::NodeOf(m_driveView->itemAt(position), m_state.driveList.nodes)->number;
    auto* menu = new QMenu(m_driveView);
    menu->setObjectName(QStringLiteral("menu %1").arg(kDriveContextMenuId));
    m_driveMenu->LoadMenu(*menu, MenuTemplatesOf(kDriveContextMenuId));
    const CommandState state = GatherCommandState();
    const DriveNode node =
        *CDiskTreeCtrl::NodeOf(m_driveView->itemAt(position), m_state.driveList.nodes);
    for (QAction* action : menu->actions()) {
        const uint32_t id = action->data().toUInt();
        action->setEnabled(MenuItemState(id, state).enabled);
        if (id == CommandId::kDiskPreview) {
            connect(action, &QAction::triggered, this,
                    [this] { OnCommand(CommandId::kDiskPreview); });
        } else if (id == CommandId::kProperties) {
            // A copy: the list may be rebuilt while the menu is open.
            connect(action, &QAction::triggered, this, [this, node] { ShowDriveProperties(node); });
        }
    }
    return menu;
}

void CMainFrame::OnDriveOpened(QTreeWidgetItem* item) {
    const DriveNode* node = CDiskTreeCtrl::NodeOf(item, m_state.driveList.nodes);
    if (node == nullptr || JobRunning()) {
        return;
    }
    m_state.SetSelectedDrive(node);
    OpenActionDialog(*node, item->text(0));
}

void CMainFrame::OpenActionDialog(const DriveNode& node, const QString& itemText) {
    ActionDialogHooks hooks;
    hooks.startScan = [this](const CThreadForFileSystem::Parameters& chosen) {
        return StartFileSystemJob(chosen);
    };
    hooks.startSearch = [this](bool advance, int32_t searchMode) {
        return StartSearchJob(advance, searchMode);
    };
    hooks.startImage = [this](const DriveNode& source, scan_action::Region region,
                              const QString& path) { return StartDiskImage(source, region, path); };
    hooks.askYesNo = [this](uint32_t questionId) {
        return AskUser(ProgramText(questionId), QString::fromUtf16(kTitle),
                       MessageBoxIcon::Question, MessageBoxButtons::YesNo,
                       false) == MessageBoxAnswer::Yes;
    };
    hooks.help.showMessage = [this](uint32_t messageId) {
        AskUser(ProgramText(messageId), QString::fromUtf16(kTitle), MessageBoxIcon::Information,
                MessageBoxButtons::Ok, true);
    };
    hooks.help.open = [this](const std::filesystem::path& page, uint32_t) {
        // The topic is the page itself: desktops drop a fragment from a local file's address.
        if (!OpenUrl(GuideUrl(page))) {
            AskUser(ProgramText(kHelpNotOpenedId), QString::fromUtf16(kTitle),
                    MessageBoxIcon::Information, MessageBoxButtons::Ok, true);
        }
    };
    hooks.chooseFileTypes = [this](QWidget* parent) {
        CFileTypesDlg dialog(m_state, parent);
        dialog.exec();
    };
    hooks.language = m_state.language.load();
    // Volumes inside an image file pass the image's path, images the text the tree shows.
    const bool foundVolume =
        node.kind == DriveKind::FoundVolume || node.kind == DriveKind::RebuiltVolume;
    RunActionDialog(node, foundVolume ? QString::fromStdU16String(node.imagePath) : itemText,
                    hooks);
}

int CMainFrame::RunActionDialog(const DriveNode& node, const QString& itemText,
                                const ActionDialogHooks& hooks) {
    return RunActionDialogFor(node, itemText, hooks, this);
}

bool CMainFrame::StartFileSystemJob(const CThreadForFileSystem::Parameters& chosen) {
    if (JobRunning()) {
        return false;
    }
    CThreadForFileSystem::Parameters parameters = chosen;
    parameters.notifyWindow = &m_jobWindow;
    // A new scan gets an empty list and the folder tree it will fill.
    CloseChildPane();
    m_fileListModel->ClearRows();
    ShowFolderTree();
    CThreadForFileSystem job(m_state);
    job.SetParameters(parameters);
    const bool started = job.Start(m_runner);
    ApplyButtonRules();
    return started;
}

bool CMainFrame::StartSearchJob(bool advance, int32_t searchMode) {
    if (JobRunning()) {
        return false;
    }
    CThreadForSearchVolume job(m_state);
    job.SetParameters({&m_jobWindow, advance, searchMode});
    const bool started = job.Start(m_runner);
    ApplyButtonRules();
    return started;
}

void CMainFrame::ShowDriveContextMenu(const QPoint& position) {
    QMenu* menu = CreateDriveContextMenu(position);
    if (menu == nullptr) {
        return;
    }
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(m_driveView->viewport()->mapToGlobal(position));
}

void CMainFrame::SetActionState(QAction* action, bool enabled, bool checked) {
    action->setEnabled(enabled);
    if (action->isCheckable()) {
        // Marks follow the state; they are never the user's toggle.
        const QSignalBlocker block(action);
        action->setChecked(checked);
    }
}

void CMainFrame::ApplyMenuRules(QMenu* menu) {
    if (menu == nullptr) {
        return;
    }
    const CommandState state = GatherCommandState();
    for (QAction* action : menu->actions()) {
        if (action->menu() != nullptr) {
            ApplyMenuRules(action->menu());
            continue;
        }
        bool valid = false;
        const uint32_t id = action->data().toUInt(&valid);
        if (!valid || id == 0) {
            continue;
        }
        const CommandUi ui = MenuItemState(id, state);
        SetActionState(action, ui.enabled, ui.checked);
    }
}

void CMainFrame::ApplyButtonRules() {
    const bool running = JobRunning();
    if (m_jobSeenRunning && !running) {
        ShowStateAfterJob();
    }
    m_jobSeenRunning = running;
    const CommandState state = GatherCommandState();
    for (auto& [id, action] : m_buttonActions) {
        const CommandUi ui = ButtonState(id, state);
        SetActionState(action, ui.enabled, ui.checked);
    }
}

QAction* CMainFrame::MenuAction(uint32_t id) const {
    const auto found = m_menuActions.find(id);
    return found != m_menuActions.end() ? found->second : nullptr;
}

QAction* CMainFrame::ButtonAction(uint32_t id) const {
    const auto found = m_buttonActions.find(id);
    return found != m_buttonActions.end() ? found->second : nullptr;
}

CommandState CMainFrame::GatherCommandState() const {
    CommandState state;
    state.jobRunning = JobRunning();
    state.stoppable = m_state.jobFlags.stoppable.load();
    state.resultsAvailable = m_state.resultsAvailable.load() && ShowsFolderTree();
    state.someSelected = m_state.someSelected.load();
    state.allSelected = m_state.allSelected.load();
    state.findDone = m_state.findDone.load();
    state.maskInForce = m_store.HasOriginal();
    state.filterListEmpty = m_state.filterExtensions.empty();
    state.scanInfoSaved = m_state.scanInfoSaved.load();
    state.logHasRows = m_logPane->RowCount() > 0;
    if (const CFatFileSystem* fat = m_state.FatVolume()) {
        state.fatVolume = true;
        state.linkingMode = fat->LinkingModeValue();
    }
    state.parentAvailable = m_state.parentAvailable.load();
    state.language = m_state.language.load();
    state.toolbarVisible = m_toolBar != nullptr && m_toolBar->isVisibleTo(this);
    state.statusBarVisible = statusBar()->isVisibleTo(this);
    state.logBarVisible = m_logBar->isVisibleTo(this);
    state.viewStyle = m_state.viewStyle.load();
    state.updaterPresent = !UpdaterPath().empty();
    return state;
}

bool CMainFrame::OnCommand(uint32_t id, CommandSource source) {
    // The rule of the item the command came from was applied when it was shown; the state may
    // have moved on since (a job ended or began), so ask again.
    const CommandState state = GatherCommandState();
    const CommandUi ui =
        source == CommandSource::Button ? ButtonState(id, state) : MenuItemState(id, state);
    if (!ui.enabled) {
        return false;
    }
    using namespace CommandId;
    switch (id) {
    case kShowDriveList:
        ShowDriveList();
        break;
    case kRefreshDriveList:
        RefreshDriveList();
        break;
    case kOpenDriveUsingScanInformation:
        OpenDriveUsingScanInformation();
        break;
    case kOpenImageFile:
        OnOpenImageFile();
        break;
    case kSaveScanInformation:
        OnSaveScanInformation();
        break;
    case kExit:
        close();
        break;
    case kRecoverAll:
        RecoverFiles(true);
        break;
    case kRecoverSelected:
        RecoverFiles(false);
        break;
    case kRemoveFileFilter:
        RemoveFileFilter();
        break;
    case kAddFileFilter:
        OnAddFileFilter();
        break;
    case kFileMask:
        OnFileMask();
        break;
    case kShowOriginalList:
        OnShowOriginalList();
        break;
    case kFind:
        OnFind();
        break;
    case kFindNext:
        OnFindNext();
        break;
    case kStopCurrentProcess:
        OnStopCurrentProcess();
        break;
    case kSelectAll:
        SelectAll(true);
        break;
    case kUnselectAll:
        SelectAll(false);
        break;
    case kSaveLog:
        OnSaveLog();
        break;
    case kClearLog:
        OnClearLog();
        break;
    case kViewToolbar:
        m_toolBar->setVisible(!m_toolBar->isVisibleTo(this));
        break;
    case kViewStatusBar:
        statusBar()->setVisible(!statusBar()->isVisibleTo(this));
        break;
    case kMessageLog:
        ToggleLogBar();
        break;
    case kGoUp:
        GoUp();
        break;
    case kHelpTopics:
        OpenHelpTopics();
        break;
    case kAppendHeaderFile: {
        CAddNewHeaderDlg dialog(m_state.signatureLists, this);
        dialog.exec();
        // The next search reads the file again, with what the user added.
        m_state.signatureLists.user.clear();
        break;
    }
    case kUpdate:
        StartUpdater();
        break;
    case kAdvanceSettings: {
        CAdvanceSettingsDlg dialog(SettingsForDialogs(), m_state, this);
        dialog.exec();
        break;
    }
    case kTipOfTheDay: {
        CTipDlg dialog(SettingsForDialogs(), {}, this);
        dialog.exec();
        break;
    }
    case kAbout: {
        CAboutDlg dialog(SystemInformation::Read(), this);
        dialog.exec();
        break;
    }
    case kDiskPreview:
        DiskPreview();
        break;
    case kFilePreview:
        FilePreview();
        break;
    case kSelectUnselect:
    case kRename:
        // The trees and the list handle their own context menus.
        return false;
    default:
        if (const int mode = IndexOf(kLinkingCommands, id); mode >= 0) {
            SetLinkingMode(static_cast<uint8_t>(mode));
        } else if (const int language = IndexOf(kLanguageCommands, id); language >= 0) {
            SwitchLanguage(static_cast<uint32_t>(language));
        } else if (const int style = IndexOf(kViewStyleCommands, id); style >= 0) {
            SetViewStyle(static_cast<uint32_t>(style));
        } else if (id >= kArrangeName && id <= kArrangeFileId) {
            Arrange(static_cast<uint8_t>(id - kArrangeName));
        } else if (IndexOf(std::array<uint32_t, 4>{kEmailSupport, kViewSupportSection,
                                                   kKnowledgeBase, kGenerateTicket},
                           id) >= 0) {
            OpenSupportLink(id);
        } else {
            return false;
        }
        break;
    }
    ApplyButtonRules();
    return true;
}

// ---------------------------------------------------------------------------------------------
// Previews

void CMainFrame::DiskPreview() {
    QTreeWidgetItem* item = nullptr;
    if (m_contextDrive) {
        for (const DriveNode& node : m_state.driveList.nodes) {
            if (node.number == *m_contextDrive) {
                item = m_driveView->ItemOf(node);
                break;
            }
        }
    }
    if (item == nullptr) {
        item = m_driveView->currentItem();
    }
    const DriveNode* node = CDiskTreeCtrl::NodeOf(item, m_state.driveList.nodes);
    if (node == nullptr) {
        return;
    }
    if (const auto request = DiskPreviewRequest::For(*node, item->text(0).toStdU16String())) {
        request->Show();
    }
}

void CMainFrame::PreviewEntry(std::size_t entry) {
    if (JobRunning()) {
        return;
    }
    using FoundFilePreview::Notice;
    using FoundFilePreview::Outcome;
    FoundFilePreview::Viewers viewers = m_previewViewers;
    if (!viewers.tell) {
        viewers.tell = [this](Notice notice, const std::u16string& name) {
            AddLogMessage(ProgramText(kFilePreviewActivityId),
                          QString::fromStdU16String(name),
                          QString::fromStdU16String(FoundFilePreview::NoticeStatus(notice)),
                          ScanLog::kImageAborted);
            const WaitCursorLift lift;
            AskUser(QString::fromStdU16String(FoundFilePreview::NoticeMessage(notice, name)),
                    QString::fromUtf16(kTitle), MessageBoxIcon::Information,
                    MessageBoxButtons::Ok, false);
        };
    }
    const Outcome outcome = FoundFilePreview::Show(m_state, m_store, entry, viewers);
    uint32_t status = 0;
    switch (outcome) {
    case Outcome::BeyondList:
        status = kBeyondListId;
        break;
    case Outcome::NoData:
        status = kPreviewNoDataId;
        break;
    case Outcome::HexForLargeClusters:
        status = kClustersTooLargeId;
        break;
    default:
        return;
    }
    AddLogMessage(ProgramText(kFilePreviewActivityId),
                  QString::fromStdU16String(m_store.At(entry).name), ProgramText(status),
                  ScanLog::kImageAborted);
}

void CMainFrame::FilePreview() {
    const bool folderFocused = FocusKind(QApplication::focusWidget(), m_folderView, m_fileListView,
                                         m_driveView) == KeyFocus::FolderTree;
    switch (FoundFilePreview::ChooseTarget(m_leftView->DriveTreeShown(), folderFocused)) {
    case FoundFilePreview::Target::Drive:
        m_contextDrive.reset();
        DiskPreview();
        break;
    case FoundFilePreview::Target::Folder:
        if (const std::size_t folder = m_folderView->SelectedEntry();
            folder != FoundEntryStore::kNone) {
            PreviewEntry(folder);
        }
        break;
    case FoundFilePreview::Target::SelectedFiles:
        for (const std::size_t entry : m_fileListView->SelectedEntries()) {
            PreviewEntry(entry);
        }
        break;
    }
}

// ---------------------------------------------------------------------------------------------
// Handlers

void CMainFrame::ShowLinkingModeTitle() {
    QString title = QString::fromUtf16(kTitle);
    if (const CFatFileSystem* fat = ShowsFolderTree() ? m_state.FatVolume() : nullptr) {
        const uint8_t mode = fat->LinkingModeValue();
        const uint32_t text = mode == CFatFileSystem::kLinkFat1   ? kLinkingModeFat1Id
                              : mode == CFatFileSystem::kLinkFat2 ? kLinkingModeFat2Id
                                                                  : kLinkingModeContiguousId;
        title += QLatin1Char(' ') + ProgramText(text);
    } else {
        title += QLatin1Char(' ');
    }
    setWindowTitle(title.trimmed());
}

void CMainFrame::ReturnToDriveTree() {
    m_state.signatureLists.active.clear();
    m_state.activeSearch.SetSignatures({});
    m_state.signaturesLoaded = false;
    DropShownResults();
    ShowDrives();
}

void CMainFrame::DropShownResults() {
    m_state.scanInfoSaved = false;
    m_state.parentAvailable = false;
    m_state.someSelected = false;
    m_state.allSelected = false;
    m_state.findDone = false;
    m_listRowChosen = false;
    SetPaneText(1, QString());
    SetPaneText(2, QString());
    // The folder tree goes with its entries, and with them the results.
    m_fileListModel->ClearRows();
    m_store.Clear();
    m_state.resultsAvailable = false;
}

void CMainFrame::ShowDriveList() {
    if (!SavePrompt()) {
        return;
    }
    WaitForScanInformationJob();
    ReturnToDriveTree();
    ShowChildPane();
    ApplyButtonRules();
}

void CMainFrame::RefreshDriveList() {
    if (JobRunning() || !SavePrompt()) {
        return;
    }
    WaitForScanInformationJob();
    const bool hadResults = m_state.resultsAvailable.load();
    // The nodes are about to go: nothing may point at them.
    m_state.SetSelectedDrive(nullptr);
    ReturnToDriveTree();
    m_state.driveList.Free();
    CDriveList(m_state.driveList).Build();
    ShowDrives();
    if (hadResults) {
        ShowChildPane();
    }
    LogDriveListProblems();
    ApplyButtonRules();
}

void CMainFrame::RecoverFiles(bool all) {
    if (JobRunning() || !m_state.resultsAvailable.load() || !m_store.HasRoot() ||
        (!all && !m_state.someSelected.load())) {
        return;
    }
    RecoveryDestinationAnswers answers;
    if (all) {
        CRecoveryOptionsDlg dialog(answers, m_state.ftpSettings, this);
        dialog.exec();
    } else {
        CChooseDestinationDlg dialog(answers, m_state.ftpSettings, this);
        dialog.exec();
    }
    if (!answers.accepted || JobRunning()) {
        return;
    }
    CThreadForSavingFiles::Parameters parameters;
    parameters.zip = answers.zip;
    parameters.singleArchive = answers.singleArchive == DestinationChoice::kSingleFile;
    parameters.allFiles = all;
    parameters.entryChoice =
        all ? static_cast<CThreadForSavingFiles::EntryChoice>(answers.entryChoice)
            : CThreadForSavingFiles::EntryChoice::ExcludeDeleted;
    parameters.target = static_cast<CThreadForSavingFiles::Target>(answers.destination);
    parameters.destination = answers.path.toStdU16String();
    parameters.ftp = m_state.ftpSettings;
    parameters.notifyWindow = &m_jobWindow;
    parameters.rootTreeItem = m_store.At(0).item.treeItem;
    parameters.rootId = m_store.RootId();
    parameters.rootDeleted = false;
    if (all) {
        const std::optional<VolumeTotals> totals = CurrentVolumeTotals();
        parameters.progressMaximum = totals ? ClampToU32(totals->files) : 0;
    } else {
        parameters.progressMaximum = m_state.selectedFiles.load();
    }
    CThreadForSavingFiles job(m_state);
    job.SetParameters(parameters);
    job.Start(m_runner);
    ApplyButtonRules();
}

void CMainFrame::RemoveFileFilter() {
    m_state.filterExtensions.clear();
}

void CMainFrame::SelectAll(bool select) {
    if (!m_store.HasRoot()) {
        return;
    }
    m_store.SetCheck(0, select);
    const std::optional<VolumeTotals> totals = CurrentVolumeTotals();
    m_state.someSelected = select;
    m_state.allSelected = select;
    m_state.selectedFolders = select && totals ? ClampToU32(totals->folders) : 0;
    m_state.selectedFiles = select && totals ? ClampToU32(totals->files) : 0;
    m_state.selectedBytes = select && totals ? totals->bytes : 0;
    UpdateStatusSize(false, 1);
}

void CMainFrame::SetLinkingMode(uint8_t mode) {
    CFatFileSystem* fat = m_state.FatVolume();
    if (fat == nullptr || mode > CFatFileSystem::kLinkContiguous ||
        fat->LinkingModeValue() == mode) {
        return;
    }
    fat->SetLinkingMode(mode);
    fat->LoadFat();
    ShowLinkingModeTitle();
}

bool CMainFrame::SwitchLanguage(uint32_t language) {
    const bool loaded = StringTable::Program().LoadLanguage(language, DataFolder());
    if (loaded) {
        m_state.language = language;
        if (m_settings != nullptr) {
            m_settings->SetDword(ScanState::kLanguageName, language);
            m_settings->Save();
        }
        RebuildMenu();
        RetitleViews();
    } else {
        // The language in force stays, in memory and in the settings.
        AddLogMessage(ProgramText(kLanguageActivityId),
                      ProgramText(kLanguageNotLoadedId)
                          .arg(QString::fromUtf8(StringTable::PackName(language))),
                      ProgramText(kSkippedStatusId), 3);
    }
    ShowLinkingModeTitle();
    return loaded;
}

void CMainFrame::RetitleViews() {
    m_logPane->List()->setHeaderLabels({ProgramText(kActivityTitleId),
                                        ProgramText(kDescriptionTitleId),
                                        ProgramText(kStatusTitleId)});
    QStringList titles;
    for (int i = 0; i < FileListModel::kColumnCount; ++i) {
        titles << ProgramText(kFirstColumnTitleId + static_cast<uint32_t>(i));
    }
    m_fileListModel->SetColumnTitles(titles);
    QStringList types;
    for (int i = 0; i < FileListModel::kTypeTextCount; ++i) {
        types << ProgramText(kFirstTypeTextId + static_cast<uint32_t>(i));
    }
    m_fileListModel->SetTypeTexts(types);
    m_fileListView->FitColumnsToTexts();
    m_logPane->FitColumnsToTitles();
    m_folderModel->SetRootText(ProgramText(kRootTextId));
    if (!ShowsFolderTree()) {
        ShowDrives();
    }
    m_logBar->setWindowTitle(QString::fromUtf16(kTitle));
    if (ProgressBar(0) == nullptr) {
        SetPaneText(0, CProgressBar::IdleText());
    }
    if (!JobRunning()) {
        ShowStateAfterJob();
    }
}

void CMainFrame::SetViewStyle(uint32_t style) {
    m_state.viewStyle = style;
    if (m_state.resultsAvailable.load()) {
        m_fileListView->SetViewStyle(style);
    }
}

void CMainFrame::Arrange(uint8_t column) {
    m_state.sortColumn = column;
    m_state.sortAscending = !m_state.sortAscending.load();
    if (m_state.resultsAvailable.load()) {
        m_fileListView->Arrange(column, m_state.sortAscending.load());
        m_folderView->Arrange(column, m_state.sortAscending.load());
    }
}

void CMainFrame::GoUp() {
    const std::size_t selected = m_folderView->SelectedEntry();
    if (selected == FoundEntryStore::kNone || selected == 0 || selected >= m_store.Size()) {
        return;
    }
    const std::size_t parent = m_store.FindFolderById(m_store.At(selected).item.parentId);
    if (parent == FoundEntryStore::kNone) {
        return;
    }
    m_folderView->ExpandEntry(parent);
    m_folderView->SelectEntry(parent);
}

void CMainFrame::ToggleLogBar() {
    m_logBar->setVisible(!m_logBar->isVisibleTo(this));
}

void CMainFrame::OpenHelpTopics() {
    const std::filesystem::path guide = DataFolder() / kHelpTopicsFile;
    std::error_code error;
    if (!std::filesystem::is_regular_file(guide, error)) {
        AskUser(ProgramText(kHelpMissingId), QString::fromUtf16(kTitle),
                MessageBoxIcon::Information, MessageBoxButtons::Ok, true);
        return;
    }
    if (!OpenUrl(GuideUrl(guide))) {
        AskUser(ProgramText(kHelpNotOpenedId), QString::fromUtf16(kTitle),
                MessageBoxIcon::Information, MessageBoxButtons::Ok, true);
    }
}

SettingsStore& CMainFrame::SettingsForDialogs() {
    // Without a settings file the dialogs still work; their choices last until the program ends.
    static SettingsStore unsaved{std::filesystem::path()};
    return m_settings != nullptr ? *m_settings : unsaved;
}

void CMainFrame::OpenSupportLink(uint32_t id) {
    for (const SupportLink& link : kSupportLinks) {
        if (link.command != id) {
            continue;
        }
        const QUrl url(QString::fromLatin1(link.address));
        if (!OpenUrl(url)) {
            // The address itself, so that the person can use it by hand.
            const bool mail = url.scheme() == QStringLiteral("mailto");
            AskUser(ProgramText(mail ? kMailNotOpenedId : kWebNotOpenedId)
                        .arg(mail ? url.path() : url.toString()),
                    QString::fromUtf16(kTitle), MessageBoxIcon::Information, MessageBoxButtons::Ok,
                    true);
        }
    }
}

std::filesystem::path CMainFrame::UpdaterPath() {
    const std::filesystem::path updater = DataFolder() / kUpdaterFile;
    std::error_code error;
    const auto status = std::filesystem::status(updater, error);
    if (error || !std::filesystem::is_regular_file(status) ||
        (status.permissions() & std::filesystem::perms::owner_exec) ==
            std::filesystem::perms::none) {
        return {};
    }
    return updater;
}

void CMainFrame::StartUpdater() {
    const std::filesystem::path updater = UpdaterPath();
    if (updater.empty()) {
        return;
    }
    if (!StartProgram(updater)) {
        AskUser(ProgramText(kUpdaterFailedId), QString::fromUtf16(kTitle), MessageBoxIcon::Error,
                MessageBoxButtons::Ok, true);
    }
}

bool CMainFrame::OpenUrl(const QUrl& url) {
    return QDesktopServices::openUrl(url);
}

bool CMainFrame::StartProgram(const std::filesystem::path& program) {
    return QProcess::startDetached(QString::fromStdString(program.string()), {});
}

// ---------------------------------------------------------------------------------------------
// Keys

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Resize && watched == m_fileListView) {
        FollowFileListSize();
    } else if (event->type() == QEvent::KeyPress) {
        auto* widget = qobject_cast<QWidget*>(watched);
        // Only keys aimed inside this window while no dialog is modal: message boxes and
        // dialogs keep their own keys.
        if (widget != nullptr && QApplication::activeModalWidget() == nullptr &&
            (widget == this || isAncestorOf(widget)) && widget->window() == this) {
            return HandleFrameKey(watched, static_cast<QKeyEvent*>(event));
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

bool CMainFrame::HandleFrameKey(QObject* target, QKeyEvent* event) {
    KeyFacts facts;
    facts.key = event->key();
    facts.ctrl = (event->modifiers() & Qt::ControlModifier) != 0;
    facts.alt = (event->modifiers() & Qt::AltModifier) != 0;
    facts.shift = (event->modifiers() & Qt::ShiftModifier) != 0;
    facts.autoRepeat = event->isAutoRepeat();
    // Keys arrive at the focus widget first; that is the widget the rules speak of.
    facts.focus =
        FocusKind(qobject_cast<QWidget*>(target), m_folderView, m_fileListView, m_driveView);
    KeyContext context;
    context.resultsShown = m_state.resultsAvailable.load() && ShowsFolderTree();
    context.findDone = m_state.findDone.load();
    context.jobRunning = JobRunning();
    switch (DecideKey(facts, context)) {
    case KeyAction::PassOn:
        return false;
    case KeyAction::Swallow:
        return true;
    case KeyAction::FindNext:
        OnCommand(CommandId::kFindNext);
        return true;
    case KeyAction::OpenHelp:
        OpenHelpTopics();
        return true;
    case KeyAction::FocusFileList: {
        QAbstractItemView& list = m_fileListView->ShownView();
        list.setFocus(Qt::TabFocusReason);
        // The first time, the first row is chosen, so Space has a row to mark.
        if (!m_listRowChosen && m_fileListModel->rowCount() > 0) {
            list.setCurrentIndex(m_fileListModel->index(0, 0));
            m_listRowChosen = true;
        }
        return true;
    }
    case KeyAction::FocusFolderTree:
        m_folderView->setFocus(Qt::TabFocusReason);
        m_folderView->scrollTo(m_folderView->currentIndex(), QAbstractItemView::PositionAtTop);
        return true;
    case KeyAction::ToggleTreeMark:
    case KeyAction::ToggleListMark:
        // The focused view's own space key toggles its current item's mark, exactly as a
        // click on the check box does, and reports it.
        return false;
    }
    return false;
}

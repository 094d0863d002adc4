#include "app/frame/log_actions.h"
#include "app/frame/main_frame.h"
#include "app/frame/status_panes.h"
#include "app/frame/toolbar_and_menus.h"

#include "app/commands/command_ids.h"
#include "app/commands/command_rules.h"
#include "app/commands/command_values.h"
#include "app/dialogs/about/about_dlg.h"
#include "app/dialogs/scan/action_dialog_factory.h"
#include "app/dialogs/scan/action_dialog_hooks.h"
#include "app/dialogs/signatures/add_new_header_dlg.h"
#include "app/dialogs/settings/advance_settings_dlg.h"
#include "app/dialogs/recovery/choose_destination_dlg.h"
#include "app/dialogs/signatures/file_types_dlg.h"
#include "app/dialogs/recovery/recovery_options_dlg.h"
#include "app/dialogs/about/tip_dlg.h"
#include "app/previews/found_file_preview.h"
#include "app/frame/status_progress_bar.h"
#include "app/models/file_list_model.h"
#include "app/models/folder_tree_model.h"
#include "app/program_text.h"
#include "app/views/disk_tree_ctrl.h"
#include "app/views/file_list_view.h"
#include "app/views/folder_tree_ctrl.h"
#include "app/views/left_view.h"
#include "app/views/log_pane.h"
#include "controls/sizing_dialog_bar.h"
#include "diskio/inventory/drive_list.h"
#include "filesystems/fat/fat_file_system.h"
#include "filesystems/ntfs/ntfs_file_system.h"
#include "filesystems/scan_log.h"
#include "jobs/scan/scan_state.h"
#include "jobs/scan/thread_for_file_system.h"
#include "jobs/recovery/thread_for_saving_files.h"
#include "jobs/search/thread_for_search_volume.h"
#include "platform/settings/data_folder.h"
#include "platform/jobs/job_runner.h"
#include "platform/settings/settings_store.h"
#include "platform/resources/string_table.h"
#include "resources/string_ids.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QMenu>
#include <QProcess>
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

uint32_t ClampToU32(uint64_t value) {
    return static_cast<uint32_t>(std::min<uint64_t>(value, std::numeric_limits<uint32_t>::max()));
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Menus, toolbar and their rules

QMenu* CMainFrame::CreateDriveContextMenu(const QPoint& position) {
    // Only a drive whose node is still listed has a menu: not the computer, not a group.
    if (CDiskTreeCtrl::NodeOf(m_driveView->itemAt(position), m_state.driveList.nodes) == nullptr) {
        return nullptr;
    }
    m_contextDrive =
        CDiskTreeCtrl::NodeOf(m_driveView->itemAt(position), m_state.driveList.nodes)->number;
    QMenu* menu = m_menus->CreateDriveMenu(m_driveView);
    const DriveNode node =
        *CDiskTreeCtrl::NodeOf(m_driveView->itemAt(position), m_state.driveList.nodes);
    for (QAction* action : menu->actions()) {
        const uint32_t id = action->data().toUInt();
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

void CMainFrame::ApplyButtonRules() {
    const bool running = JobRunning();
    if (m_jobSeenRunning && !running) {
        ShowStateAfterJob();
    }
    m_jobSeenRunning = running;
    m_menus->ApplyButtonRules();
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
    state.logHasRows = m_log->HasRows();
    if (const CFatFileSystem* fat = m_state.FatVolume()) {
        state.fatVolume = true;
        state.linkingMode = fat->LinkingModeValue();
    }
    state.parentAvailable = m_state.parentAvailable.load();
    state.language = m_state.language.load();
    // Null while the toolbar and the menus are being made.
    state.toolbarVisible = m_menus != nullptr && m_menus->ToolBar()->isVisibleTo(this);
    state.statusBarVisible = statusBar()->isVisibleTo(this);
    state.logBarVisible = m_log->LogBarVisible();
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
    if (!m_commands.Run(id)) {
        return false;
    }
    ApplyButtonRules();
    return true;
}

void CMainFrame::RegisterCommands() {
    using namespace CommandId;
    using namespace CommandValues;
    using Member = void (CMainFrame::*)();
    struct Plain {
        uint32_t id;
        Member handler;
    };
    static constexpr Plain kPlain[] = {
        {kShowDriveList, &CMainFrame::ShowDriveList},
        {kRefreshDriveList, &CMainFrame::RefreshDriveList},
        {kOpenDriveUsingScanInformation, &CMainFrame::OpenDriveUsingScanInformation},
        {kOpenImageFile, &CMainFrame::OnOpenImageFile},
        {kSaveScanInformation, &CMainFrame::OnSaveScanInformation},
        {kRemoveFileFilter, &CMainFrame::RemoveFileFilter},
        {kAddFileFilter, &CMainFrame::OnAddFileFilter},
        {kFileMask, &CMainFrame::OnFileMask},
        {kShowOriginalList, &CMainFrame::OnShowOriginalList},
        {kFind, &CMainFrame::OnFind},
        {kFindNext, &CMainFrame::OnFindNext},
        {kStopCurrentProcess, &CMainFrame::OnStopCurrentProcess},
        {kViewToolbar, &CMainFrame::ToggleToolBar},
        {kViewStatusBar, &CMainFrame::ToggleStatusBar},
        {kGoUp, &CMainFrame::GoUp},
        {kHelpTopics, &CMainFrame::OpenHelpTopics},
        {kAppendHeaderFile, &CMainFrame::OnAppendHeaderFile},
        {kUpdate, &CMainFrame::StartUpdater},
        {kAdvanceSettings, &CMainFrame::OnAdvanceSettings},
        {kTipOfTheDay, &CMainFrame::OnTipOfTheDay},
        {kAbout, &CMainFrame::OnAbout},
        {kDiskPreview, &CMainFrame::DiskPreview},
        {kFilePreview, &CMainFrame::FilePreview},
    };
    for (const Plain& plain : kPlain) {
        m_commands.Add(plain.id, [this, handler = plain.handler] { (this->*handler)(); });
    }
    m_commands.Add(kExit, [this] { close(); });
    m_commands.Add(kRecoverAll, [this] { RecoverFiles(true); });
    m_commands.Add(kRecoverSelected, [this] { RecoverFiles(false); });
    m_commands.Add(kSelectAll, [this] { SelectAll(true); });
    m_commands.Add(kUnselectAll, [this] { SelectAll(false); });
    m_commands.Add(kSaveLog, [this] { m_log->OnSaveLog(); });
    m_commands.Add(kClearLog, [this] { m_log->OnClearLog(); });
    m_commands.Add(kMessageLog, [this] { m_log->ToggleLogBar(); });
    for (size_t mode = 0; mode < kLinkingCommands.size(); ++mode) {
        m_commands.Add(kLinkingCommands[mode],
                       [this, mode] { SetLinkingMode(static_cast<uint8_t>(mode)); });
    }
    for (size_t language = 0; language < kLanguageCommands.size(); ++language) {
        m_commands.Add(kLanguageCommands[language],
                       [this, language] { SwitchLanguage(static_cast<uint32_t>(language)); });
    }
    for (size_t style = 0; style < kViewStyleCommands.size(); ++style) {
        m_commands.Add(kViewStyleCommands[style],
                       [this, style] { SetViewStyle(static_cast<uint32_t>(style)); });
    }
    for (uint32_t id = kArrangeName; id <= kArrangeFileId; ++id) {
        m_commands.Add(id, [this, id] { Arrange(static_cast<uint8_t>(id - kArrangeName)); });
    }
    for (const SupportLink& link : kSupportLinks) {
        m_commands.Add(link.command, [this, id = link.command] { OpenSupportLink(id); });
    }
    // Select/Unselect and Rename have none: the trees and the list handle their own context
    // menus.
}

void CMainFrame::ToggleToolBar() {
    QToolBar* toolBar = m_menus->ToolBar();
    toolBar->setVisible(!toolBar->isVisibleTo(this));
}

void CMainFrame::ToggleStatusBar() {
    statusBar()->setVisible(!statusBar()->isVisibleTo(this));
}

void CMainFrame::OnAppendHeaderFile() {
    CAddNewHeaderDlg dialog(m_state.signatureLists, this);
    dialog.exec();
    // The next search reads the file again, with what the user added.
    m_state.signatureLists.user.clear();
}

void CMainFrame::OnAdvanceSettings() {
    CAdvanceSettingsDlg dialog(SettingsForDialogs(), m_state, this);
    dialog.exec();
}

void CMainFrame::OnTipOfTheDay() {
    CTipDlg dialog(SettingsForDialogs(), {}, this);
    dialog.exec();
}

void CMainFrame::OnAbout() {
    CAboutDlg dialog(SystemInformation::Read(), this);
    dialog.exec();
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
    m_status->ClearTotals();
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
        const std::optional<StatusPanes::VolumeTotals> totals = m_status->CurrentVolumeTotals();
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
    const std::optional<StatusPanes::VolumeTotals> totals = m_status->CurrentVolumeTotals();
    m_state.someSelected = select;
    m_state.allSelected = select;
    m_state.selectedFolders = select && totals ? ClampToU32(totals->folders) : 0;
    m_state.selectedFiles = select && totals ? ClampToU32(totals->files) : 0;
    m_state.selectedBytes = select && totals ? totals->bytes : 0;
    m_status->UpdateStatusSize(false, 1);
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
        m_menus->RebuildMenu();
        RetitleViews();
    } else {
        // The language in force stays, in memory and in the settings.
        m_log->AddLogMessage(ProgramText(kLanguageActivityId),
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
    if (m_status->ProgressBar(0) == nullptr) {
        m_status->ShowIdleHint();
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

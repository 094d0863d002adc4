#include "platform/jobs/job_messages.h"

#include <type_traits>
#include <utility>

namespace {

template <typename T, typename Variant> struct PayloadIndex;

template <typename T, typename... Kinds> struct PayloadIndex<T, std::variant<Kinds...>> {
    static constexpr size_t value = [] {
        constexpr bool same[] = {std::is_same_v<T, Kinds>...};
        for (size_t i = 0; i < sizeof...(Kinds); ++i) {
            if (same[i]) {
                return i;
            }
        }
        return sizeof...(Kinds);
    }();
    static_assert(value < sizeof...(Kinds), "not a payload kind");
};

template <typename T> constexpr size_t kKind = PayloadIndex<T, JobPayload>::value;

struct MessageInfo {
    uint32_t id;
    const char* name;
    size_t payloadKind;
};

constexpr MessageInfo kMessages[] = {
    {WM_IMAGE_START, "WM_IMAGE_START", kKind<std::monostate>},
    {WM_IMAGE_DONE, "WM_IMAGE_DONE", kKind<ImageDonePayload>},
    {WM_SECTORMAP_READING, "WM_SECTORMAP_READING", kKind<SectorMapCellPayload>},
    {WM_SECTORMAP_DONE, "WM_SECTORMAP_DONE", kKind<SectorMapCellPayload>},
    {WM_SECTORMAP_FAILED, "WM_SECTORMAP_FAILED", kKind<SectorMapCellPayload>},
    {WM_ADD_FOUND_ITEM, "WM_ADD_FOUND_ITEM", kKind<FoundItemPayload>},
    {WM_CREATE_PROGRESS, "WM_CREATE_PROGRESS", kKind<ProgressCreatePayload>},
    {WM_STEP_PROGRESS, "WM_STEP_PROGRESS", kKind<BarSelectorPayload>},
    {WM_DESTROY_PROGRESS, "WM_DESTROY_PROGRESS", kKind<BarSelectorPayload>},
    {WM_SET_PANE_WIDTHS, "WM_SET_PANE_WIDTHS", kKind<PaneWidthsPayload>},
    {WM_SET_PROGRESS_TEXT, "WM_SET_PROGRESS_TEXT", kKind<TextPayload>},
    {WM_SET_STATUS_TEXT1, "WM_SET_STATUS_TEXT1", kKind<TextPayload>},
    {WM_SET_STATUS_TEXT2, "WM_SET_STATUS_TEXT2", kKind<TextPayload>},
    {WM_ADD_LOG_LINE, "WM_ADD_LOG_LINE", kKind<LogLinePayload>},
    {WM_UPDATE_FOUND_ITEM, "WM_UPDATE_FOUND_ITEM", kKind<FoundItemPayload>},
    {WM_APPLY_ITEM_NAMES, "WM_APPLY_ITEM_NAMES", kKind<std::monostate>},
    {WM_COLLAPSE_ROOT, "WM_COLLAPSE_ROOT", kKind<RootSelectorPayload>},
    {WM_GET_CHILD_ITEMS, "WM_GET_CHILD_ITEMS", kKind<ChildItemsRequest>},
    {WM_SET_FOLDER_CHECK, "WM_SET_FOLDER_CHECK", kKind<FolderCheckPayload>},
    {WM_SET_FILE_CHECK, "WM_SET_FILE_CHECK", kKind<FileCheckPayload>},
    {WM_SCAN_TOTALS, "WM_SCAN_TOTALS", kKind<std::monostate>},
    {WM_CREATE_PROGRESS2, "WM_CREATE_PROGRESS2", kKind<ProgressCreatePayload>},
    {WM_WRITE_TREE_TO_FILE, "WM_WRITE_TREE_TO_FILE", kKind<WriteTreePayload>},
    {WM_ADD_TREE_ROOT, "WM_ADD_TREE_ROOT", kKind<RootSelectorPayload>},
    {WM_RESET_SCAN, "WM_RESET_SCAN", kKind<std::monostate>},
    {WM_SEARCH_ENDED, "WM_SEARCH_ENDED", kKind<std::monostate>},
    {WM_ADD_DRIVE_ITEM, "WM_ADD_DRIVE_ITEM", kKind<DriveItemPayload>},
    {WM_APPLY_MASK_STEP, "WM_APPLY_MASK_STEP", kKind<std::monostate>},
    {WM_CLEAR_VIEWS, "WM_CLEAR_VIEWS", kKind<std::monostate>},
    {WM_SAVE_SELECTION, "WM_SAVE_SELECTION", kKind<SaveSelectionPayload>},
    {WM_NOTHING_FOUND, "WM_NOTHING_FOUND", kKind<std::monostate>},
    {kJobAskMessageBox, "AskMessageBox", kKind<MessageBoxRequest>},
    {kJobSetWindowTitle, "SetWindowTitle", kKind<WindowTitleRequest>},
    {kJobLargeFileProgress, "LargeFileProgress", kKind<LargeFileProgressRequest>},
    {kJobAskSaveErrorAction, "AskSaveErrorAction", kKind<SaveErrorActionRequest>},
    {kJobAskFileExists, "AskFileExists", kKind<FileExistsRequest>},
    {kJobAskScanFileExists, "AskScanFileExists", kKind<ScanFileExistsRequest>},
    {kJobRunOnGuiThread, "RunOnGuiThread", kKind<GuiThreadTask>},
    {kJobSetImageProgressText, "SetImageProgressText", kKind<ImageProgressTextPayload>},
    {kJobRestoreFoundItem, "RestoreFoundItem", kKind<FoundItemPayload>},
    {kJobOriginalListRestored, "OriginalListRestored", kKind<std::monostate>},
};

const MessageInfo* FindMessage(uint32_t id) {
    for (const MessageInfo& info : kMessages) {
        if (info.id == id) {
            return &info;
        }
    }
    return nullptr;
}

} // namespace

const char* JobMessageName(uint32_t id) {
    const MessageInfo* info = FindMessage(id);
    return info != nullptr ? info->name : "unknown message";
}

bool HasExpectedPayload(const JobMessage& message) {
    const MessageInfo* info = FindMessage(message.id);
    return info != nullptr && info->payloadKind == message.payload.index();
}

JobMessage MakeImageStart() {
    return {WM_IMAGE_START, std::monostate{}};
}
JobMessage MakeImageDone(bool imageWritten, std::u16string imagePath) {
    return {WM_IMAGE_DONE, ImageDonePayload{imageWritten, std::move(imagePath)}};
}

JobMessage MakeSectorMapReading(int row, int column) {
    return {WM_SECTORMAP_READING, SectorMapCellPayload{row, column}};
}

JobMessage MakeSectorMapDone(int row, int column) {
    return {WM_SECTORMAP_DONE, SectorMapCellPayload{row, column}};
}

JobMessage MakeSectorMapFailed(int row, int column) {
    return {WM_SECTORMAP_FAILED, SectorMapCellPayload{row, column}};
}

JobMessage MakeAddFoundItem(const FoundItem* item, std::u16string name) {
    return {WM_ADD_FOUND_ITEM, FoundItemPayload{item, std::move(name)}};
}

JobMessage MakeUpdateFoundItem(const FoundItem* item, std::u16string name) {
    return {WM_UPDATE_FOUND_ITEM, FoundItemPayload{item, std::move(name)}};
}

JobMessage MakeCreateProgress(std::u16string label, uint32_t maximum) {
    return {WM_CREATE_PROGRESS, ProgressCreatePayload{std::move(label), maximum}};
}

JobMessage MakeCreateProgress2(std::u16string label, uint32_t maximum) {
    return {WM_CREATE_PROGRESS2, ProgressCreatePayload{std::move(label), maximum}};
}

JobMessage MakeStepProgress(uint32_t lParam) {
    return {WM_STEP_PROGRESS, BarSelectorPayload{lParam}};
}

JobMessage MakeDestroyProgress(uint32_t lParam) {
    return {WM_DESTROY_PROGRESS, BarSelectorPayload{lParam}};
}

JobMessage MakeSetPaneWidths(int pane0, int pane1) {
    return {WM_SET_PANE_WIDTHS, PaneWidthsPayload{pane0, pane1}};
}

JobMessage MakeSetProgressText(std::optional<std::u16string> text) {
    return {WM_SET_PROGRESS_TEXT, TextPayload{std::move(text)}};
}

JobMessage MakeSetStatusText1(std::optional<std::u16string> text) {
    return {WM_SET_STATUS_TEXT1, TextPayload{std::move(text)}};
}

JobMessage MakeSetStatusText2(std::optional<std::u16string> text) {
    return {WM_SET_STATUS_TEXT2, TextPayload{std::move(text)}};
}

JobMessage MakeLogLine(std::u16string activity, std::u16string description, std::u16string status,
                       int image) {
    return {WM_ADD_LOG_LINE,
            LogLinePayload{std::move(activity), std::move(description), std::move(status), image}};
}

JobMessage MakeApplyItemNames() {
    return {WM_APPLY_ITEM_NAMES, std::monostate{}};
}

JobMessage MakeCollapseRoot(uint32_t lParam) {
    return {WM_COLLAPSE_ROOT, RootSelectorPayload{lParam}};
}

JobMessage MakeGetChildItems(uint64_t parentEntryId, bool allEntries) {
    return {WM_GET_CHILD_ITEMS, ChildItemsRequest{parentEntryId, allEntries, {}}};
}

JobMessage MakeSetFolderCheck(uint64_t treeItem, bool partly) {
    return {WM_SET_FOLDER_CHECK, FolderCheckPayload{treeItem, partly}};
}

JobMessage MakeSetFileCheck(std::u16string name, uint64_t entryId, uint64_t treeItem, bool partly) {
    return {WM_SET_FILE_CHECK, FileCheckPayload{std::move(name), entryId, treeItem, partly}};
}

JobMessage MakeScanTotals() {
    return {WM_SCAN_TOTALS, std::monostate{}};
}

JobMessage MakeWriteTreeToFile(bool restart) {
    WriteTreePayload payload;
    payload.restart = restart;
    return {WM_WRITE_TREE_TO_FILE, payload};
}

JobMessage MakeAddTreeRoot(uint32_t lParam) {
    return {WM_ADD_TREE_ROOT, RootSelectorPayload{lParam}};
}

JobMessage MakeResetScan() {
    return {WM_RESET_SCAN, std::monostate{}};
}
JobMessage MakeSearchEnded() {
    return {WM_SEARCH_ENDED, std::monostate{}};
}

JobMessage MakeAddDriveItem(const DriveNode* node) {
    return {WM_ADD_DRIVE_ITEM, DriveItemPayload{node}};
}

JobMessage MakeApplyMaskStep() {
    return {WM_APPLY_MASK_STEP, std::monostate{}};
}
JobMessage MakeClearViews() {
    return {WM_CLEAR_VIEWS, std::monostate{}};
}

JobMessage MakeSaveSelection(uint32_t lParam) {
    return {WM_SAVE_SELECTION, SaveSelectionPayload{lParam}};
}

JobMessage MakeRestoreFoundItem(const FoundItem* item, std::u16string name) {
    return {kJobRestoreFoundItem, FoundItemPayload{item, std::move(name)}};
}

JobMessage MakeOriginalListRestored() {
    return {kJobOriginalListRestored, std::monostate{}};
}

JobMessage MakeNothingFound() {
    return {WM_NOTHING_FOUND, std::monostate{}};
}

JobMessage MakeMessageBox(std::u16string text, std::u16string caption, MessageBoxIcon icon,
                          MessageBoxButtons buttons, bool topmost) {
    return {kJobAskMessageBox,
            MessageBoxRequest{std::move(text), std::move(caption), icon, buttons, topmost,
                              MessageBoxRequest::DismissAnswer(buttons)}};
}

JobMessage MakeSetWindowTitle(std::u16string title) {
    return {kJobSetWindowTitle, WindowTitleRequest{std::move(title)}};
}

JobMessage MakeLargeFileProgress(LargeFileProgressRequest::Stage stage, uint32_t maximum) {
    return {kJobLargeFileProgress, LargeFileProgressRequest{stage, maximum}};
}

JobMessage MakeSaveErrorAction(std::u16string fileName) {
    SaveErrorActionRequest request;
    request.fileName = std::move(fileName);
    return {kJobAskSaveErrorAction, std::move(request)};
}

JobMessage MakeFileExists(std::u16string name, std::u16string proposal) {
    FileExistsRequest request;
    request.name = std::move(name);
    request.proposal = std::move(proposal);
    return {kJobAskFileExists, std::move(request)};
}

JobMessage MakeScanFileExists(std::u16string path) {
    ScanFileExistsRequest request;
    request.path = std::move(path);
    return {kJobAskScanFileExists, std::move(request)};
}

JobMessage MakeRunOnGuiThread(std::function<void()> task) {
    return {kJobRunOnGuiThread, GuiThreadTask{std::move(task)}};
}

JobMessage MakeImageProgressText(int controlId, std::u16string text) {
    return {kJobSetImageProgressText, ImageProgressTextPayload{controlId, std::move(text)}};
}

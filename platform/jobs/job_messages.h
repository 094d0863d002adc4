#pragma once

#include "platform/jobs/file_exists_request.h"
#include "platform/jobs/gui_thread_task.h"
#include "platform/jobs/large_file_progress_request.h"
#include "platform/jobs/message_box_request.h"
#include "platform/jobs/save_error_action_request.h"
#include "platform/jobs/scan_file_exists_request.h"
#include "platform/jobs/window_title_request.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

// The messages jobs and scanners send to the window, with the numbers and names the program
// has always used, and the typed payload each one carries where a window message carried
// wParam and lParam. Build messages with the Make... functions below: they pair every id with
// its payload kind. A handler may write results back into the payload (child items, the
// write-tree cursor, a message box's answer); the sender reads them after Send returns.

// Records of higher layers, passed by pointer and only read during the call.
struct FoundItem;
struct DriveNode;

inline constexpr uint32_t kWmUser = 0x400;
// Requests of our own that the Windows program made through system calls rather than messages
// are numbered above the user range.
inline constexpr uint32_t kWmApp = 0x8000;

// To the file-list view: the imaging progress dialog and its sector map.
inline constexpr uint32_t WM_IMAGE_START = kWmUser + 0x19;
inline constexpr uint32_t WM_IMAGE_DONE = kWmUser + 0x1A;
inline constexpr uint32_t WM_SECTORMAP_READING = kWmUser + 0x1C;
inline constexpr uint32_t WM_SECTORMAP_DONE = kWmUser + 0x1D;
inline constexpr uint32_t WM_SECTORMAP_FAILED = kWmUser + 0x1E;

// To the main frame.
inline constexpr uint32_t WM_ADD_FOUND_ITEM = kWmUser + 0x1F;
inline constexpr uint32_t WM_CREATE_PROGRESS = kWmUser + 0x20;
inline constexpr uint32_t WM_STEP_PROGRESS = kWmUser + 0x21;
inline constexpr uint32_t WM_DESTROY_PROGRESS = kWmUser + 0x22;
inline constexpr uint32_t WM_SET_PANE_WIDTHS = kWmUser + 0x23;
inline constexpr uint32_t WM_SET_PROGRESS_TEXT = kWmUser + 0x24;
inline constexpr uint32_t WM_SET_STATUS_TEXT1 = kWmUser + 0x25;
inline constexpr uint32_t WM_SET_STATUS_TEXT2 = kWmUser + 0x26;
inline constexpr uint32_t WM_ADD_LOG_LINE = kWmUser + 0x27;
inline constexpr uint32_t WM_UPDATE_FOUND_ITEM = kWmUser + 0x28;
inline constexpr uint32_t WM_APPLY_ITEM_NAMES = kWmUser + 0x29;
inline constexpr uint32_t WM_COLLAPSE_ROOT = kWmUser + 0x2A;
inline constexpr uint32_t WM_GET_CHILD_ITEMS = kWmUser + 0x2B;
inline constexpr uint32_t WM_SET_FOLDER_CHECK = kWmUser + 0x2C;
inline constexpr uint32_t WM_SET_FILE_CHECK = kWmUser + 0x2D;
inline constexpr uint32_t WM_SCAN_TOTALS = kWmUser + 0x2E;
inline constexpr uint32_t WM_CREATE_PROGRESS2 = kWmUser + 0x2F;
inline constexpr uint32_t WM_WRITE_TREE_TO_FILE = kWmUser + 0x30;
inline constexpr uint32_t WM_ADD_TREE_ROOT = kWmUser + 0x31;
inline constexpr uint32_t WM_RESET_SCAN = kWmUser + 0x32;
inline constexpr uint32_t WM_SEARCH_ENDED = kWmUser + 0x33;
inline constexpr uint32_t WM_ADD_DRIVE_ITEM = kWmUser + 0x34;
inline constexpr uint32_t WM_APPLY_MASK_STEP = kWmUser + 0x35;
inline constexpr uint32_t WM_CLEAR_VIEWS = kWmUser + 0x36;
inline constexpr uint32_t WM_SAVE_SELECTION = kWmUser + 0x37;
inline constexpr uint32_t WM_NOTHING_FOUND = kWmUser + 0x38;

// Questions and requests of a job to the user or the window.
inline constexpr uint32_t kJobAskMessageBox = kWmApp + 0x01;
inline constexpr uint32_t kJobSetWindowTitle = kWmApp + 0x02;
inline constexpr uint32_t kJobLargeFileProgress = kWmApp + 0x03;
inline constexpr uint32_t kJobAskSaveErrorAction = kWmApp + 0x04;
inline constexpr uint32_t kJobAskFileExists = kWmApp + 0x05;
inline constexpr uint32_t kJobAskScanFileExists = kWmApp + 0x06;
// The scan-information loader hands over what it built (a GuiThreadTask).
inline constexpr uint32_t kJobRunOnGuiThread = kWmApp + 0x07;
// The imaging job sets a text of its progress dialog (the Windows job set the controls itself).
inline constexpr uint32_t kJobSetImageProgressText = kWmApp + 0x08;
// The mask job puts a kept entry back with its check state (FoundItemPayload), and says when
// every kept entry is back, so that the window may free them.
inline constexpr uint32_t kJobRestoreFoundItem = kWmApp + 0x10;
inline constexpr uint32_t kJobOriginalListRestored = kWmApp + 0x11;

// WM_ADD_FOUND_ITEM, WM_UPDATE_FOUND_ITEM.
struct FoundItemPayload {
    const FoundItem* item = nullptr;
    std::u16string name;
};

// WM_CREATE_PROGRESS (bar 0), WM_CREATE_PROGRESS2 (bar 1): range 0 to maximum.
struct ProgressCreatePayload {
    std::u16string label;
    uint32_t maximum = 0;
};

// WM_STEP_PROGRESS, WM_DESTROY_PROGRESS: the bar is chosen by the low byte of lParam only.
struct BarSelectorPayload {
    uint32_t lParam = 0;
    bool SelectsBarOne() const { return (lParam & 0xFFu) != 0; }
};

// WM_SET_PANE_WIDTHS: widths of status panes 0 and 1 in pixels.
struct PaneWidthsPayload {
    int pane0 = 0;
    int pane1 = 0;
};

// WM_SET_PROGRESS_TEXT, WM_SET_STATUS_TEXT1, WM_SET_STATUS_TEXT2: no text leaves the pane.
struct TextPayload {
    std::optional<std::u16string> text;
};

// WM_ADD_LOG_LINE. Images: 1 start, 3 aborted or skipped, 4 partial, 5 completed or
// recovered, 6 read error.
struct LogLinePayload {
    std::u16string activity;
    std::u16string description;
    std::u16string status;
    int image = 0;
};

// WM_COLLAPSE_ROOT, WM_ADD_TREE_ROOT: nonzero lParam means root 1.
struct RootSelectorPayload {
    uint32_t lParam = 0;
    bool SelectsRootOne() const { return lParam != 0; }
};

// One entry handed to a job: a copy of the kept item and its name, which the job owns, so the
// window stays free to rename or drop its own entries while the job works.
struct ChildItem {
    std::shared_ptr<const FoundItem> item;
    std::u16string name;
};

// WM_GET_CHILD_ITEMS: the handler fills `result` with copies of the parent's entries (only the
// marked ones unless allEntries).
struct ChildItemsRequest {
    uint64_t parentEntryId = 0;
    bool allEntries = false;
    std::vector<ChildItem> result;
};

// WM_SET_FOLDER_CHECK: partly set turns a checked folder partly checked; clear unchecks it.
struct FolderCheckPayload {
    uint64_t treeItem = 0;
    bool partly = false;
};

// WM_SET_FILE_CHECK: the list row with this name and entry id.
struct FileCheckPayload {
    std::u16string name;
    uint64_t entryId = 0;
    uint64_t treeItem = 0;
    bool partly = false;
};

// WM_WRITE_TREE_TO_FILE: the handler hands over the next entry's record and sets `more` while
// entries remain; the sender writes each record and repeats the message until `more` stays
// false. An empty record: there are no entries.
struct WriteTreePayload {
    // Set on the first message of a pass: the handler starts again at the root.
    bool restart = false;
    std::vector<uint8_t> record;
    bool more = false;
};

// WM_ADD_DRIVE_ITEM.
struct DriveItemPayload {
    const DriveNode* node = nullptr;
};

// WM_SAVE_SELECTION: only a zero lParam acts.
struct SaveSelectionPayload {
    uint32_t lParam = 0;
    bool Acts() const { return lParam == 0; }
};

// WM_SECTORMAP_READING, WM_SECTORMAP_DONE, WM_SECTORMAP_FAILED.
struct SectorMapCellPayload {
    int row = 0;
    int column = 0;
};

// WM_IMAGE_DONE. `imageWritten`: the image file holds its sectors and trailer (a stopped copy
// too); when it could not be created or a write failed it is false and the window opens nothing.
// The handler closes the progress dialog and sets stop requested; "job running" stays set until
// the job's thread has ended, as the JobRunner keeps it.
struct ImageDonePayload {
    bool imageWritten = false;
    std::u16string imagePath;
};

// kJobSetImageProgressText: the new text of one control of the imaging progress dialog, by its
// id (1003 the drive, 1010 the block size, 1006 the sector read, 1005 the megabytes processed).
struct ImageProgressTextPayload {
    int controlId = 0;
    std::u16string text;
};

using JobPayload =
    std::variant<std::monostate, FoundItemPayload, ProgressCreatePayload, BarSelectorPayload,
                 PaneWidthsPayload, TextPayload, LogLinePayload, RootSelectorPayload,
                 ChildItemsRequest, FolderCheckPayload, FileCheckPayload, WriteTreePayload,
                 DriveItemPayload, SaveSelectionPayload, SectorMapCellPayload, ImageDonePayload,
                 ImageProgressTextPayload, MessageBoxRequest, WindowTitleRequest,
                 LargeFileProgressRequest, SaveErrorActionRequest, FileExistsRequest,
                 ScanFileExistsRequest, GuiThreadTask>;

struct JobMessage {
    uint32_t id = 0;
    JobPayload payload;

    // The payload as T, or null when it holds another kind.
    template <typename T> T* Get() { return std::get_if<T>(&payload); }
    template <typename T> const T* Get() const { return std::get_if<T>(&payload); }
};

// The message's name ("WM_ADD_LOG_LINE"), or "unknown message".
const char* JobMessageName(uint32_t id);
// Whether the id is known and its payload is the kind that id carries.
bool HasExpectedPayload(const JobMessage& message);

JobMessage MakeImageStart();
JobMessage MakeImageDone(bool imageWritten, std::u16string imagePath);
JobMessage MakeSectorMapReading(int row, int column);
JobMessage MakeSectorMapDone(int row, int column);
JobMessage MakeSectorMapFailed(int row, int column);

JobMessage MakeAddFoundItem(const FoundItem* item, std::u16string name);
JobMessage MakeUpdateFoundItem(const FoundItem* item, std::u16string name);
JobMessage MakeCreateProgress(std::u16string label, uint32_t maximum);
JobMessage MakeCreateProgress2(std::u16string label, uint32_t maximum);
JobMessage MakeStepProgress(uint32_t lParam);
JobMessage MakeDestroyProgress(uint32_t lParam);
JobMessage MakeSetPaneWidths(int pane0, int pane1);
JobMessage MakeSetProgressText(std::optional<std::u16string> text);
JobMessage MakeSetStatusText1(std::optional<std::u16string> text);
JobMessage MakeSetStatusText2(std::optional<std::u16string> text);
JobMessage MakeLogLine(std::u16string activity, std::u16string description, std::u16string status,
                       int image);
JobMessage MakeApplyItemNames();
JobMessage MakeCollapseRoot(uint32_t lParam);
JobMessage MakeGetChildItems(uint64_t parentEntryId, bool allEntries);
JobMessage MakeSetFolderCheck(uint64_t treeItem, bool partly);
JobMessage MakeSetFileCheck(std::u16string name, uint64_t entryId, uint64_t treeItem, bool partly);
JobMessage MakeScanTotals();
JobMessage MakeWriteTreeToFile(bool restart = false);
JobMessage MakeAddTreeRoot(uint32_t lParam);
JobMessage MakeResetScan();
JobMessage MakeSearchEnded();
JobMessage MakeAddDriveItem(const DriveNode* node);
JobMessage MakeApplyMaskStep();
JobMessage MakeClearViews();
JobMessage MakeSaveSelection(uint32_t lParam);
JobMessage MakeNothingFound();

// The request's answer starts as the dismiss answer of its buttons.
JobMessage MakeMessageBox(std::u16string text, std::u16string caption, MessageBoxIcon icon,
                          MessageBoxButtons buttons, bool topmost);
JobMessage MakeSetWindowTitle(std::u16string title);
JobMessage MakeLargeFileProgress(LargeFileProgressRequest::Stage stage, uint32_t maximum);
JobMessage MakeSaveErrorAction(std::u16string fileName);
JobMessage MakeFileExists(std::u16string name, std::u16string proposal);
JobMessage MakeScanFileExists(std::u16string path);
JobMessage MakeRunOnGuiThread(std::function<void()> task);
JobMessage MakeImageProgressText(int controlId, std::u16string text);
JobMessage MakeRestoreFoundItem(const FoundItem* item, std::u16string name);
JobMessage MakeOriginalListRestored();

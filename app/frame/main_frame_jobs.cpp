// The frame's side of the job protocol: one small handler per job message (or per pair that
// differs only by a pane or bar number), registered in the job-message router.
#include "app/frame/main_frame.h"

#include "app/dialogs/scan/image_progress_dlg.h"
#include "app/dialogs/common/job_question_dialogs.h"
#include "app/dialogs/common/updating_list_dlg.h"
#include "app/frame/log_actions.h"
#include "app/frame/status_panes.h"
#include "app/frame/status_progress_bar.h"
#include "app/views/disk_tree_ctrl.h"
#include "app/views/folder_tree_ctrl.h"
#include "controls/sector_map_ctrl.h"
#include "jobs/scan/scan_state.h"

#include <optional>
#include <utility>

namespace {

QString FromUtf16(const std::u16string& text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

QString FromOptional(const std::optional<std::u16string>& text) {
    return text ? FromUtf16(*text) : QString();
}

int SelectedBar(const JobMessage& message) {
    const auto* selector = message.Get<BarSelectorPayload>();
    return selector != nullptr && selector->SelectsBarOne() ? 1 : 0;
}

// A found item with its record, or null.
const FoundItemPayload* FoundItemOf(const JobMessage& message) {
    const auto* found = message.Get<FoundItemPayload>();
    return found != nullptr && found->item != nullptr ? found : nullptr;
}

} // namespace

class FrameJobHandlers {
public:
    using Handler = void (*)(CMainFrame& frame, JobMessage& message);
    struct Route {
        uint32_t id;
        Handler handler;
    };

    // --- status panes and progress bars ----------------------------------------------------
    static void CreateProgress(CMainFrame& frame, JobMessage& message) {
        if (const auto* create = message.Get<ProgressCreatePayload>()) {
            frame.m_status->CreateProgressBar(message.id == WM_CREATE_PROGRESS ? 0 : 1,
                                              FromUtf16(create->label), create->maximum);
        }
    }
    static void StepProgress(CMainFrame& frame, JobMessage& message) {
        if (CProgressBar* bar = frame.m_status->ProgressBar(SelectedBar(message))) {
            bar->StepIt();
        }
    }
    static void DestroyProgress(CMainFrame& frame, JobMessage& message) {
        frame.m_status->DestroyProgressBar(SelectedBar(message));
    }
    static void SetPaneWidths(CMainFrame& frame, JobMessage& message) {
        if (const auto* widths = message.Get<PaneWidthsPayload>()) {
            frame.m_status->SetPaneWidths(widths->pane0, widths->pane1);
        }
    }
    static void SetProgressText(CMainFrame& frame, JobMessage& message) {
        if (const auto* text = message.Get<TextPayload>(); text != nullptr && text->text) {
            if (CProgressBar* bar = frame.m_status->ProgressBar(0)) {
                bar->SetText(FromOptional(text->text));
                bar->StepIt();
            }
        }
    }
    static void SetStatusText(CMainFrame& frame, JobMessage& message) {
        if (const auto* text = message.Get<TextPayload>(); text != nullptr && text->text) {
            frame.m_status->SetPaneText(message.id == WM_SET_STATUS_TEXT1 ? 1 : 2,
                                        FromOptional(text->text));
        }
    }
    static void AddLogLine(CMainFrame& frame, JobMessage& message) {
        if (const auto* line = message.Get<LogLinePayload>()) {
            frame.m_log->AddLogMessage(FromUtf16(line->activity), FromUtf16(line->description),
                                       FromUtf16(line->status), line->image);
        }
    }

    // --- the results ------------------------------------------------------------------------
    static void AddTreeRoot(CMainFrame& frame, JobMessage& message) {
        const auto* root = message.Get<RootSelectorPayload>();
        if (root == nullptr) {
            return;
        }
        frame.ResetFind();
        if (root->SelectsRootOne() && frame.m_store.HasRoot()) {
            // The mask's list starts beside the scan's: the scan's entries wait aside, whole,
            // for the mask to walk and for Show Original List to put back.
            frame.m_store.SetAsideOriginal();
            frame.m_maskPass.Rewind();
            frame.m_maskToday = LocalToday();
        }
        frame.m_store.CreateRoot(frame.m_state.NtfsVolume() != nullptr
                                     ? FoundEntryStore::VolumeKind::Ntfs
                                     : FoundEntryStore::VolumeKind::Fat,
                                 root->SelectsRootOne() ? 1 : 0);
        frame.ShowFolderTree();
        frame.m_folderView->SelectEntry(0);
        frame.m_status->UpdateStatusSize(false, 0);
    }
    static void AddFoundItem(CMainFrame& frame, JobMessage& message) {
        if (const FoundItemPayload* found = FoundItemOf(message)) {
            frame.AddFoundItem(*found);
            frame.m_status->UpdateStatusSize(false, 0);
        }
    }
    static void UpdateFoundItem(CMainFrame& frame, JobMessage& message) {
        if (const FoundItemPayload* found = FoundItemOf(message)) {
            frame.m_store.UpdateFoundItem(*found->item, found->name);
        }
    }
    static void ApplyItemNames(CMainFrame& frame, JobMessage&) { frame.m_store.ApplyItemNames(); }
    static void CollapseRoot(CMainFrame& frame, JobMessage& message) {
        if (const auto* root = message.Get<RootSelectorPayload>()) {
            // Root 0 is also collapsed, opened again and made current; root 1 only loses the
            // expansion of its children.
            frame.m_folderView->CollapseRoot(!root->SelectsRootOne());
        }
    }
    static void GetChildItems(CMainFrame& frame, JobMessage& message) {
        if (auto* request = message.Get<ChildItemsRequest>()) {
            frame.FillChildItems(*request);
        }
    }
    static void SetFolderCheck(CMainFrame& frame, JobMessage& message) {
        if (const auto* check = message.Get<FolderCheckPayload>()) {
            frame.m_store.SetFolderCheckFromJob(check->treeItem, check->partly);
        }
    }
    static void SetFileCheck(CMainFrame& frame, JobMessage& message) {
        if (const auto* check = message.Get<FileCheckPayload>()) {
            frame.m_store.SetFileCheckFromJob(check->name, check->entryId, check->partly);
        }
    }
    static void ScanTotals(CMainFrame& frame, JobMessage&) { frame.RecountSelection(); }
    static void ApplyMaskStep(CMainFrame& frame, JobMessage&) { frame.ApplyMaskStep(); }
    static void SaveSelection(CMainFrame& frame, JobMessage& message) {
        if (const auto* save = message.Get<SaveSelectionPayload>();
            save != nullptr && save->Acts()) {
            // The entries were set aside when root 1 began; the walk starts again next time.
            frame.m_maskPass.Rewind();
            frame.RecountSelection();
        }
    }
    static void RestoreFoundItem(CMainFrame& frame, JobMessage& message) {
        const FoundItemPayload* found = FoundItemOf(message);
        if (found == nullptr) {
            return;
        }
        const std::size_t index = frame.m_store.AddKeptItem(*found->item, found->name);
        if (index != FoundEntryStore::kNone) {
            const FoundEntryStore::Entry& entry = frame.m_store.At(index);
            if (entry.hasTreeNode && entry.treeParent != FoundEntryStore::kNone) {
                frame.m_folderView->ExpandEntry(entry.treeParent);
            }
        }
        frame.m_status->UpdateStatusSize(false, 0);
    }
    static void OriginalListRestored(CMainFrame& frame, JobMessage&) {
        frame.m_store.DropOriginal();
        frame.RecountSelection();
    }
    static void ClearViews(CMainFrame& frame, JobMessage&) {
        frame.m_status->ClearTotals();
        // Items and rows only: the kept entries stay for the job that walks them next.
        frame.m_store.ClearViewItems();
    }
    static void ResetScan(CMainFrame& frame, JobMessage&) { frame.ResetScan(true); }
    static void SearchEnded(CMainFrame& frame, JobMessage&) { frame.ResetScan(false); }
    static void WriteTreeToFile(CMainFrame& frame, JobMessage& message) {
        auto* write = message.Get<WriteTreePayload>();
        if (write == nullptr) {
            return;
        }
        if (write->restart) {
            frame.m_store.RestartTreeWrite();
        }
        FoundEntryStore::TreeRecordStep step = frame.m_store.NextTreeRecord();
        write->record = std::move(step.record);
        write->more = step.more;
    }

    // --- drives and imaging -----------------------------------------------------------------
    static void AddDriveItem(CMainFrame& frame, JobMessage& message) {
        if (const auto* found = message.Get<DriveItemPayload>();
            found != nullptr && found->node != nullptr) {
            frame.AddDriveItem(*found->node);
        }
    }
    static void NothingFound(CMainFrame& frame, JobMessage&) { frame.ShowDriveList(); }
    static void ImageStart(CMainFrame& frame, JobMessage&) { frame.OnImageStart(); }
    static void ImageDone(CMainFrame& frame, JobMessage& message) {
        if (const auto* done = message.Get<ImageDonePayload>()) {
            frame.OnImageDone(*done);
        }
    }
    static void SectorMap(CMainFrame& frame, JobMessage& message) {
        if (frame.m_imageDialog != nullptr) {
            frame.m_imageDialog->SectorMap()->HandleMessage(message);
        }
    }
    static void SetImageProgressText(CMainFrame& frame, JobMessage& message) {
        if (const auto* text = message.Get<ImageProgressTextPayload>();
            text != nullptr && frame.m_imageDialog != nullptr) {
            frame.m_imageDialog->SetControlText(text->controlId,
                                                QString::fromStdU16String(text->text));
        }
    }

    // --- questions and requests -------------------------------------------------------------
    static void AskMessageBox(CMainFrame& frame, JobMessage& message) {
        if (auto* request = message.Get<MessageBoxRequest>()) {
            request->answer = frame.AskUser(FromUtf16(request->text), FromUtf16(request->caption),
                                            request->icon, request->buttons, request->topmost);
        }
    }
    static void SetWindowTitle(CMainFrame& frame, JobMessage& message) {
        if (const auto* title = message.Get<WindowTitleRequest>()) {
            frame.setWindowTitle(FromUtf16(title->title));
        }
    }
    static void LargeFileProgress(CMainFrame& frame, JobMessage& message) {
        const auto* progress = message.Get<LargeFileProgressRequest>();
        if (progress == nullptr) {
            return;
        }
        switch (progress->stage) {
        case LargeFileProgressRequest::Stage::Open:
            delete frame.m_largeFileDialog;
            frame.m_largeFileDialog = new CUpdatingListDlg(progress->maximum, &frame);
            frame.m_largeFileDialog->show();
            break;
        case LargeFileProgressRequest::Stage::Step:
            if (frame.m_largeFileDialog != nullptr) {
                frame.m_largeFileDialog->Step();
            }
            break;
        case LargeFileProgressRequest::Stage::Close:
            delete frame.m_largeFileDialog;
            break;
        }
    }
    static void AskJobQuestion(CMainFrame& frame, JobMessage& message) {
        HandleJobQuestion(&frame, message);
    }
    static void AskScanFileExists(CMainFrame& frame, JobMessage& message) {
        if (auto* request = message.Get<ScanFileExistsRequest>()) {
            request->answer =
                frame.AskScanFileExists(FromUtf16(request->path), false, request->newName);
        }
    }
    static void RunOnGuiThread(CMainFrame& frame, JobMessage& message) {
        if (auto* handOver = message.Get<GuiThreadTask>(); handOver != nullptr && handOver->task) {
            handOver->task();
            // The drive list may be another now: the drive tree shows it when it comes back.
            frame.m_driveView->Fill(frame.m_state.driveList.nodes);
        }
    }

    static constexpr Route kRoutes[] = {
        {WM_CREATE_PROGRESS, CreateProgress},
        {WM_CREATE_PROGRESS2, CreateProgress},
        {WM_STEP_PROGRESS, StepProgress},
        {WM_DESTROY_PROGRESS, DestroyProgress},
        {WM_SET_PANE_WIDTHS, SetPaneWidths},
        {WM_SET_PROGRESS_TEXT, SetProgressText},
        {WM_SET_STATUS_TEXT1, SetStatusText},
        {WM_SET_STATUS_TEXT2, SetStatusText},
        {WM_ADD_LOG_LINE, AddLogLine},
        {WM_ADD_TREE_ROOT, AddTreeRoot},
        {WM_ADD_FOUND_ITEM, AddFoundItem},
        {WM_UPDATE_FOUND_ITEM, UpdateFoundItem},
        {WM_APPLY_ITEM_NAMES, ApplyItemNames},
        {WM_COLLAPSE_ROOT, CollapseRoot},
        {WM_GET_CHILD_ITEMS, GetChildItems},
        {WM_SET_FOLDER_CHECK, SetFolderCheck},
        {WM_SET_FILE_CHECK, SetFileCheck},
        {WM_SCAN_TOTALS, ScanTotals},
        {WM_APPLY_MASK_STEP, ApplyMaskStep},
        {WM_SAVE_SELECTION, SaveSelection},
        {kJobRestoreFoundItem, RestoreFoundItem},
        {kJobOriginalListRestored, OriginalListRestored},
        {WM_CLEAR_VIEWS, ClearViews},
        {WM_RESET_SCAN, ResetScan},
        {WM_SEARCH_ENDED, SearchEnded},
        {WM_WRITE_TREE_TO_FILE, WriteTreeToFile},
        {WM_ADD_DRIVE_ITEM, AddDriveItem},
        {WM_NOTHING_FOUND, NothingFound},
        {WM_IMAGE_START, ImageStart},
        {WM_IMAGE_DONE, ImageDone},
        {WM_SECTORMAP_READING, SectorMap},
        {WM_SECTORMAP_DONE, SectorMap},
        {WM_SECTORMAP_FAILED, SectorMap},
        {kJobSetImageProgressText, SetImageProgressText},
        {kJobAskMessageBox, AskMessageBox},
        {kJobSetWindowTitle, SetWindowTitle},
        {kJobLargeFileProgress, LargeFileProgress},
        {kJobAskSaveErrorAction, AskJobQuestion},
        {kJobAskFileExists, AskJobQuestion},
        {kJobAskScanFileExists, AskScanFileExists},
        {kJobRunOnGuiThread, RunOnGuiThread},
    };
};

void CMainFrame::RegisterJobHandlers() {
    for (const FrameJobHandlers::Route& route : FrameJobHandlers::kRoutes) {
        m_jobRouter.Add(route.id, [this, handler = route.handler](JobMessage& message) {
            handler(*this, message);
        });
    }
}

CUpdatingListDlg* CMainFrame::LargeFileDialog() const {
    return m_largeFileDialog;
}

intptr_t CMainFrame::HandleJobMessage(JobMessage& message) {
    m_jobRouter.Run(message.id, message);
    ApplyButtonRules();
    return 0;
}

// The frame's previews: a drive's sectors, a found entry's viewer, and File Preview, which picks
// between them by what is shown and focused.
#include "app/frame/main_frame.h"

#include "app/commands/key_decision.h"
#include "app/dialogs/common/wait_cursor_lift.h"
#include "app/previews/disk_preview.h"
#include "app/frame/log_actions.h"
#include "app/program_text.h"
#include "app/views/disk_tree_ctrl.h"
#include "app/views/file_list_view.h"
#include "app/views/folder_tree_ctrl.h"
#include "app/views/left_view.h"
#include "filesystems/scan_log.h"
#include "jobs/scan/scan_state.h"
#include "resources/string_ids.h"

#include <QApplication>
#include <QTreeWidget>

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
            m_log->AddLogMessage(ProgramText(kFilePreviewActivityId),
                                 QString::fromStdU16String(name),
                                 QString::fromStdU16String(FoundFilePreview::NoticeStatus(notice)),
                                 ScanLog::kImageAborted);
            const WaitCursorLift lift;
            AskUser(QString::fromStdU16String(FoundFilePreview::NoticeMessage(notice, name)),
                    QString::fromUtf16(kTitle), MessageBoxIcon::Information, MessageBoxButtons::Ok,
                    false);
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
    m_log->AddLogMessage(ProgramText(kFilePreviewActivityId),
                         QString::fromStdU16String(m_store.At(entry).name), ProgramText(status),
                         ScanLog::kImageAborted);
}

void CMainFrame::FilePreview() {
    const bool folderFocused = FocusOf(QApplication::focusWidget()) == KeyFocus::FolderTree;
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

// The frame's commands that narrow the results: the file mask and its undo, find and find next.
#include "app/frame/main_frame.h"

#include "app/frame/status_panes.h"

#include "app/dialogs/narrowing/file_filter_dlg.h"
#include "app/dialogs/narrowing/file_mask_dlg.h"
#include "app/dialogs/narrowing/find_dlg.h"
#include "app/dialogs/narrowing/properties_dlg.h"
#include "app/models/file_list_model.h"
#include "app/program_text.h"
#include "app/views/file_list_view.h"
#include "app/views/folder_tree_ctrl.h"
#include "diskio/sources/disk_image_file.h"
#include "diskio/inventory/disk_name.h"
#include "filesystems/fat/fat_file_system.h"
#include "filesystems/ntfs/ntfs_file_system.h"
#include "jobs/scan/scan_state.h"
#include "jobs/mask/thread_for_mask.h"
#include "resources/string_ids.h"

#include <sys/stat.h>

#include <ctime>
#include <filesystem>
#include <vector>

namespace {} // namespace

void CMainFrame::Tell(uint32_t textId, MessageBoxIcon icon) {
    AskUser(ProgramText(textId), QString::fromUtf16(kTitle), icon, MessageBoxButtons::Ok, true);
}

void CMainFrame::OnFileMask() {
    m_state.maskEntryCount = static_cast<uint32_t>(m_store.Size());
    CFileMaskDlg dialog(
        m_state.fileMask, [this](uint32_t id) { Tell(id, MessageBoxIcon::Error); }, this);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    CThraedForMask job(m_state, &m_jobWindow);
    job.Start(m_runner);
}

void CMainFrame::OnShowOriginalList() {
    if (!m_store.HasOriginal()) {
        return;
    }
    std::vector<CThraedForMask::KeptEntry> original;
    for (FoundEntryStore::ItemCopy& copy : m_store.OriginalWithMarks()) {
        original.push_back({copy.item, std::move(copy.name)});
    }
    m_state.maskEntryCount = static_cast<uint32_t>(original.size());
    m_status->ClearTotals();
    m_fileListModel->ClearRows();
    m_store.ClearViewItems();
    CThraedForMask job(m_state, &m_jobWindow);
    job.SetOriginalList(std::move(original));
    job.Start(m_runner);
}

void CMainFrame::ResetFind() {
    m_search.Reset();
    m_state.findDone = false;
}

bool CMainFrame::SearchFromPosition() {
    const std::size_t match = m_search.Next(m_store, m_findConditions, LocalToday());
    if (match == FoundEntryStore::kNone) {
        return false;
    }
    const FoundEntryStore::Entry& entry = m_store.At(match);
    if (m_folderView->SelectFolderById(entry.item.parentId)) {
        m_fileListView->SelectRowById(entry.item.entryId);
    } else {
        // The root has no parent folder: it is shown as the tree's current item.
        m_folderView->SelectEntry(match);
    }
    return true;
}

bool CMainFrame::StartFind(const FindConditions& conditions) {
    m_findConditions = conditions;
    m_search.Reset();
    if (SearchFromPosition()) {
        m_state.findDone = true;
        return true;
    }
    Tell(kNoMatchId, MessageBoxIcon::Information);
    m_state.findDone = false;
    return false;
}

void CMainFrame::OnFind() {
    ResetFind();
    CFindDlg dialog(
        m_findAdvancedShown, [this](const FindConditions& c) { return StartFind(c); },
        [this](uint32_t id) { Tell(id, MessageBoxIcon::Error); }, this);
    dialog.exec();
}

void CMainFrame::OnFindNext() {
    if (m_state.findDone && SearchFromPosition()) {
        return;
    }
    Tell(kNoMoreId, MessageBoxIcon::Information);
    m_search.Reset();
    m_state.findDone = false;
}

void CMainFrame::OnAddFileFilter() {
    CFileFilterDlg dialog(m_state.filterExtensions, m_state.filterExclude, this);
    dialog.exec();
}

void CMainFrame::ShowEntryProperties(std::size_t entry) {
    if (entry >= m_store.Size()) {
        return;
    }
    const FoundEntryStore::Entry& kept = m_store.At(entry);
    // A folder shows its own path, a file the path of the folder the list shows it in.
    std::size_t folder = entry;
    if (!kept.item.IsFolder()) {
        folder = m_store.FindFolderById(kept.item.parentId);
    }
    const std::u16string location =
        folder != FoundEntryStore::kNone
            ? m_store.GetItemPath(folder, ProgramText(kRootTextId).toStdU16String())
            : std::u16string();
    std::optional<EntryVolume> volume;
    if (const CFatFileSystem* fat = m_state.FatVolume()) {
        volume = EntryVolume{EntryTimeKind::Fat, fat->SectorsPerCluster()};
    } else if (const CNtfsFileSystem* ntfs = m_state.NtfsVolume()) {
        volume = EntryVolume{EntryTimeKind::Ntfs, ntfs->SectorsPerCluster()};
    }
    CPropertiesDlg dialog(EntryProperties(kept.item, kept.name, location, volume), this);
    dialog.exec();
}

void CMainFrame::ShowDriveProperties(const DriveNode& node) {
    DriveFacts facts;
    if (node.kind == DriveKind::HardDisk && node.Physical() != nullptr) {
        facts.diskName = UnidentifiedDiskName(*node.Physical(), DeviceTable::Process());
    }
    if (!node.imagePath.empty()) {
        facts.sourceDisk =
            disk_image_file::RecordedSourceDisk(std::filesystem::path(node.imagePath));
    }
    struct stat info {};
    if (!node.imagePath.empty() &&
        ::stat(QString::fromStdU16String(node.imagePath).toLocal8Bit().constData(), &info) == 0) {
        auto local = [](time_t seconds) {
            std::tm fields{};
            localtime_r(&seconds, &fields);
            return fields;
        };
        // Linux keeps no creation time in stat: the last status change stands in for it.
        facts.created = local(info.st_ctime);
        facts.accessed = local(info.st_atime);
        facts.modified = local(info.st_mtime);
    }
    CPropertiesDlg dialog(DriveProperties(node, facts), this);
    dialog.exec();
}

// The advance scan's tree, rebuilt from the records' parent references; what hangs on no folder
// goes under "Lost Folder(s)".

#include "diskio/sources/block_buffer.h"
#include "filesystems/carving/raw_folder_placer.h"
#include "filesystems/carving/signature_search.h"
#include "filesystems/ntfs/ntfs_advance_support.h"
#include "filesystems/ntfs/ntfs_file_system.h"
#include "filesystems/ntfs/ntfs_scan_run.h"
#include "filesystems/scan_environment.h"
#include "filesystems/scan_log.h"
#include "platform/text/byte_reader.h"
#include "platform/text/format_text.h"
#include "platform/jobs/job_messages.h"
#include "platform/resources/program_string.h"
#include "platform/resources/string_table.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

using namespace ntfs_advance;

namespace {


} // namespace

void NtfsScanRun::BuildTreeFromRecords() {
    const std::vector<NtfsRecordEntry>& table = m_volume.m_recordTable;
    ScanLog::Started(m_reporter.Window(), ProgramString(kTreeActivityId));
    m_progressMaximum =
        m_volume.MftRecordCount() != 0 ? m_volume.MftRecordCount() : Clamp32(table.size());
    m_fileAdded.assign(table.size(), 0);
    m_fileChildren.clear();
    m_folderChildren.clear();
    for (size_t index = 0; index < table.size(); ++index)
        if (table[index].isFile && !table[index].orphan)
            m_fileChildren[table[index].parentRecord].push_back(index);
    for (size_t index = 0; index < m_directory.size(); ++index) {
        const NtfsRecordEntry& entry = table[m_directory[index].tableIndex];
        // The root stands for itself: it is the tree's root, never an item.
        if (entry.recordNumber == CNtfsFileSystem::kRootRecord)
            m_directory[index].added = true;
        else
            m_folderChildren[entry.parentRecord].push_back(index);
    }

    for (size_t index = 0; index < m_directory.size() && !m_reporter.Stopped(); ++index)
        if (!m_directory[index].added &&
            table[m_directory[index].tableIndex].parentRecord == CNtfsFileSystem::kRootRecord)
            AddTreeFolder(index, uint64_t{CNtfsFileSystem::kRootRecord}, 0);
    if (!m_reporter.Stopped())
        AddLostTreeFolders();
    if (!m_reporter.Stopped())
        AddLeftoverFiles();
    if (!m_reporter.Stopped() && !m_rawFinds.empty())
        AddRawData();
    m_rawFinds.clear();

    ScanLog::Ended(m_reporter.Window(), ProgramString(kTreeActivityId), m_reporter.Stopped());
    m_itemProgress.reset();
    m_reporter.Send(MakeCollapseRoot(0));
}

bool NtfsScanRun::FillItemFromEntry(size_t tableIndex, FoundItem& item, std::u16string& name) {
    const NtfsRecordEntry& entry = m_volume.m_recordTable[tableIndex];
    CNtfsFileSystem::Record record{};
    if (!m_volume.ReadRecordAt(entry.sector, 0, record))
        return false;
    CNtfsFileSystem::Record names = record;
    if (const auto holder = m_nameHolders.find(tableIndex); holder != m_nameHolders.end())
        if (!m_volume.ReadRecordAt(m_volume.m_recordTable[holder->second].sector, 0, names))
            return false;
    if (!FillItemFromRecord(record, names, entry.itemId, item, name))
        return false;
    item.firstCluster = entry.recordNumber;
    return true;
}

void NtfsScanRun::AddTreeFolder(size_t directoryIndex, std::optional<uint64_t> parentId,
                                int depth) {
    m_directory[directoryIndex].added = true;
    const size_t tableIndex = m_directory[directoryIndex].tableIndex;
    FoundItem item;
    std::u16string name;
    if (!FillItemFromEntry(tableIndex, item, name))
        return;
    const NtfsRecordEntry& entry = m_volume.m_recordTable[tableIndex];
    item.parentId = parentId ? *parentId : EnsureLostParent(entry.parentRecord);
    SendItem(item, name);
    m_folderIdOfRecord.emplace(entry.recordNumber, item.entryId);
    m_knownFolders.insert(item.entryId);
    AddTreeChildren(entry.recordNumber, item.entryId, depth);
}

void NtfsScanRun::AddTreeChildren(uint32_t recordNumber, uint64_t parentId, int depth) {
    if (const auto files = m_fileChildren.find(recordNumber); files != m_fileChildren.end()) {
        for (size_t tableIndex : files->second) {
            if (m_reporter.Stopped())
                return;
            if (m_fileAdded[tableIndex] == 0)
                AddTreeFile(tableIndex, parentId);
        }
    }
    // Deeper folders wait for the lost-folder passes, which start them at depth 0 below their
    // parent.
    if (depth >= kMaxFolderDepth)
        return;
    if (const auto folders = m_folderChildren.find(recordNumber);
        folders != m_folderChildren.end()) {
        for (size_t directoryIndex : folders->second) {
            if (m_reporter.Stopped())
                return;
            if (!m_directory[directoryIndex].added)
                AddTreeFolder(directoryIndex, parentId, depth + 1);
        }
    }
}

void NtfsScanRun::AddTreeFile(size_t tableIndex, std::optional<uint64_t> parentId) {
    m_fileAdded[tableIndex] = 1;
    FoundItem item;
    std::u16string name;
    if (!FillItemFromEntry(tableIndex, item, name))
        return;
    item.parentId =
        parentId ? *parentId : EnsureLostParent(m_volume.m_recordTable[tableIndex].parentRecord);
    SendItem(item, name);
}

void NtfsScanRun::AddLostTreeFolders() {
    const std::vector<NtfsRecordEntry>& table = m_volume.m_recordTable;
    auto pendingFolder = [&](uint32_t record) {
        const auto it = m_directoryByRecord.find(record);
        return it != m_directoryByRecord.end() && !m_directory[it->second].added;
    };
    // Every pass places at least one folder (a cycle of parents is broken by hand), so there
    // are never more passes than folders.
    for (size_t pass = 0; pass <= m_directory.size() && !m_reporter.Stopped(); ++pass) {
        bool placed = false;
        bool waiting = false;
        for (size_t index = 0; index < m_directory.size(); ++index) {
            if (m_reporter.Stopped())
                return;
            if (m_directory[index].added)
                continue;
            const uint32_t parent = table[m_directory[index].tableIndex].parentRecord;
            if (parent == CNtfsFileSystem::kRootRecord) {
                AddTreeFolder(index, uint64_t{CNtfsFileSystem::kRootRecord}, 0);
            } else if (const auto known = m_folderIdOfRecord.find(parent);
                       known != m_folderIdOfRecord.end()) {
                AddTreeFolder(index, known->second, 0);
            } else if (!pendingFolder(parent)) {
                AddTreeFolder(index, std::nullopt, 0);
            } else {
                waiting = true;
                continue;
            }
            placed = true;
        }
        if (!waiting)
            return;
        if (placed)
            continue;
        // Folders whose parents lead round in a circle: one of them goes under
        // "Lost Folder(s)" itself, and the others follow it as its subfolders.
        for (size_t index = 0; index < m_directory.size(); ++index) {
            if (!m_directory[index].added) {
                EnsureLostFolders();
                AddTreeFolder(index, CNtfsFileSystem::kLostFoldersId, 0);
                break;
            }
        }
    }
}

void NtfsScanRun::AddLeftoverFiles() {
    const std::vector<NtfsRecordEntry>& table = m_volume.m_recordTable;
    for (size_t index = 0; index < table.size(); ++index) {
        if (m_reporter.Stopped())
            return;
        const NtfsRecordEntry& entry = table[index];
        if (!entry.isFile || entry.orphan || m_fileAdded[index] != 0)
            continue;
        std::optional<uint64_t> parentId;
        if (entry.parentRecord == CNtfsFileSystem::kRootRecord)
            parentId = CNtfsFileSystem::kRootRecord;
        else if (const auto known = m_folderIdOfRecord.find(entry.parentRecord);
                 known != m_folderIdOfRecord.end())
            parentId = known->second;
        AddTreeFile(index, parentId);
    }
}

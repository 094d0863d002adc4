// The advance scan's signature finds, under "Raw Data Folder(s)".

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

constexpr uint32_t kRawProgressMaximum = 100000;

} // namespace

bool NtfsScanRun::IdTaken(uint64_t id) const {
    if (id == CNtfsFileSystem::kRootRecord || id == CNtfsFileSystem::kLostFoldersId ||
        m_sentIds.count(id) != 0 || m_listedRecords.count(id) != 0)
        return true;
    // Item ids of the record table are the ids of items yet to be sent.
    const uint64_t base = m_volume.m_recordTableBase;
    return m_volume.m_advance && id >= base && id - base < m_volume.m_recordTable.size();
}

uint64_t NtfsScanRun::NextFreeId(uint64_t& next) const {
    const uint64_t base = m_volume.m_recordTableBase;
    const uint64_t tableEnd = base + m_volume.m_recordTable.size();
    while (IdTaken(next)) {
        if (m_volume.m_advance && next >= base && next < tableEnd)
            next = tableEnd;
        else
            ++next;
    }
    return next++;
}

void NtfsScanRun::AddRawData() {
    m_progressMaximum = m_volume.m_foundCount == 0 ? kRawProgressMaximum : m_progressMaximum;
    uint64_t next = m_volume.m_clusterCount;
    FoundItem folder;
    folder.entryId = NextFreeId(next);
    folder.parentId = CNtfsFileSystem::kRootRecord;
    folder.attributes = FoundItem::kFolderAttribute;
    folder.deleted = 1;
    folder.contiguousData = 1;
    SendItem(folder, ProgramString(kRawFolderNameId));

    // "JPG", then "JPG1", "JPG2" ... once each is full.
    RawFolderPlacer folders(u"%s%d", kRawFilesPerFolder);
    for (const RawFind& find : m_rawFinds) {
        if (m_reporter.Stopped())
            return;
        const uint64_t folderId = folders.Place(find.extension, [&](const std::u16string& name) {
            FoundItem extensionFolder;
            extensionFolder.entryId = NextFreeId(next);
            extensionFolder.parentId = folder.entryId;
            extensionFolder.attributes = FoundItem::kFolderAttribute;
            extensionFolder.deleted = 1;
            extensionFolder.contiguousData = 1;
            SendItem(extensionFolder, name);
            return extensionFolder.entryId;
        });
        FoundItem file;
        file.entryId = NextFreeId(next);
        file.parentId = folderId;
        file.size = find.size;
        file.firstCluster = find.firstCluster;
        file.attributes = 0x20;
        file.deleted = 1;
        file.contiguousData = 1;
        SendItem(file, FormatText(u"%llu.%s", find.firstCluster, find.extension));
    }
}

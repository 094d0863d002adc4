// The advance scan of an NTFS volume: it trusts none of the volume's metadata. The cluster size
// is voted by the file records met at the start of the partition, the free clusters come from
// $Bitmap (and go to the signature search), every file record of the partition is collected
// and numbered, and the tree is rebuilt from the records' parent references; what hangs on no
// folder goes under "Lost Folder(s)", the signature finds under "Raw Data Folder(s)".

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

void CNtfsFileSystem::AdvanceScan() {
    NtfsScanRun run(*this);
    run.AdvanceScan();
}

void NtfsScanRun::AdvanceScan() {
    ResetCounters();
    m_volume.m_advance = false;
    const uint16_t sectorsPerCluster = EstimateSectorsPerCluster();
    if (sectorsPerCluster == 0)
        return;
    m_volume.m_sectorsPerCluster = sectorsPerCluster;
    m_mirror = MirrorExtent();
    FreeClusterSearch();
    m_volume.m_advance = true;
    CollectRecords();
    if (!m_volume.m_recordTable.empty()) {
        // A stop ends only the collection: the tree is built from what it found. "Job
        // running" belongs to the job runner, which keeps it until the thread has ended.
        if (JobFlags* flags = m_volume.m_environment.flags)
            flags->stopRequested = false;
        BuildTreeFromRecords();
    }
    m_directory.clear();
    m_directoryByRecord.clear();
    m_directoryOfEntry.clear();
    m_fileChildren.clear();
    m_folderChildren.clear();
}

#include "jobs/scan/thread_for_file_system.h"

#include "filesystems/fat/fat_file_system.h"
#include "filesystems/ntfs/ntfs_file_system.h"
#include "filesystems/scan_log.h"
#include "filesystems/signatures/signature_file.h"
#include "jobs/scan/scan_state.h"
#include "platform/settings/data_folder.h"
#include "platform/jobs/job_messages.h"
#include "platform/jobs/job_runner.h"
#include "platform/jobs/job_window.h"
#include "platform/resources/program_string.h"
#include "resources/string_ids.h"

#include <algorithm>
#include <optional>
#include <utility>
#include <vector>

CThreadForFileSystem::CThreadForFileSystem(ScanState& state) : m_state(state) {}

bool CThreadForFileSystem::Start(JobRunner& runner) const {
    return runner.Start([job = *this]() mutable { job.Run(); });
}

bool CThreadForFileSystem::NeedsSignatures(const Parameters& parameters, DriveKind kind) {
    if (parameters.advanceScan || parameters.rawSearch)
        return true;
    switch (kind) {
    case DriveKind::RebuiltVolume:
    case DriveKind::CdRomDrive:
    case DriveKind::DiskImage:
    case DriveKind::CdRomImage:
        return true;
    default:
        return false;
    }
}

bool CThreadForFileSystem::UsesNtfsReader(uint8_t partitionType, bool otherFileSystem) {
    return (partitionType == kNtfsPartitionType) != otherFileSystem;
}

uint32_t CThreadForFileSystem::Run() {
    JobFlags& flags = m_state.jobFlags;
    flags.stoppable = true;
    flags.stopRequested = false;
    m_state.scanPhase = false;
    m_state.parentAvailable = false;
    m_state.scanInfoSaved = false;
    m_state.findDone = false;

    m_state.FreeVolume();
    m_state.FreeFoundLists();

    const DriveNode* node = m_state.SelectedDrive();
    const DriveKind kind = node != nullptr ? node->kind : DriveKind::LogicalDrive;
    if (NeedsSignatures(m_parameters, kind) && !m_state.signaturesLoaded &&
        m_state.signatureLists.active.empty())
        LoadHeaderList();
    // Also forgets the clusters the previous scan matched: the new reader may well sit where
    // the old one did.
    m_state.activeSearch.SetSignatures(m_state.signatureLists.active);

    ScanEnvironment& environment = m_state.Environment();
    environment.window = m_parameters.notifyWindow;
    environment.signatureSearchEnabled = m_state.signatureSearch != 0;

    uint32_t found = 0;
    if (node == nullptr)
        LogNotStarted(kNoDriveTextId);
    else if (m_parameters.rawSearch && m_state.signatureLists.active.empty())
        // Searching with no type would read the whole region to find nothing.
        LogNotStarted(kNoTypeChosenTextId);
    else if (m_parameters.rawSearch)
        found = RunRawSearch(*node);
    else
        found = RunFileSystemScan(*node);

    m_state.ResetScanFlags();
    if (found == 0 && m_parameters.notifyWindow != nullptr) {
        JobMessage message = MakeNothingFound();
        m_parameters.notifyWindow->Send(message);
    }
    return found;
}

std::optional<uint64_t> CThreadForFileSystem::SourceLastSector(const DriveNode& node) {
    uint64_t sectors = 0;
    if (const PhysicalDiskInfo* disk = node.Physical())
        sectors = disk->totalSectors;
    else if (const LogicalDriveInfo* volume = node.Logical())
        sectors = volume->totalSectors;
    if (sectors == 0)
        return std::nullopt;
    return sectors - 1;
}

uint32_t CThreadForFileSystem::RunRawSearch(const DriveNode& node) {
    // The raw search reads sectors, not a file system: the FAT reader serves every source.
    CFatFileSystem& volume = m_state.NewFatVolume();
    // The search counts its last sector in, while the whole-source region ends at the sector
    // count: without the clamp it would read one sector past the end, and any chosen region
    // past the end as well.
    uint64_t last = m_parameters.regionLastSector;
    if (const std::optional<uint64_t> sourceLast = SourceLastSector(node))
        last = std::min(last, *sourceLast);
    volume.SetScanRange(m_parameters.setupOption, m_parameters.regionFirstSector, last);
    volume.RawScan(m_state.activeSearch);
    return volume.FoundCount();
}

uint32_t CThreadForFileSystem::RunFileSystemScan(const DriveNode& node) {
    const LogicalDriveInfo* info = node.Logical();
    if (info == nullptr) {
        LogNotStarted(kNoVolumeTextId);
        return 0;
    }
    if (UsesNtfsReader(info->partitionType, m_parameters.otherFileSystem)) {
        CNtfsFileSystem& volume = m_state.NewNtfsVolume();
        if (!volume.SetVolumeFromDrive(m_parameters.setupOption)) {
            LogNotStarted(kNoVolumeTextId);
            return 0;
        }
        if (m_parameters.advanceScan)
            volume.AdvanceScan();
        else
            volume.Scan();
        return volume.FoundCount();
    }
    CFatFileSystem& volume = m_state.NewFatVolume();
    volume.SetVolumeFromDrive(m_parameters.setupOption);
    if (m_parameters.advanceScan)
        volume.AdvanceScan();
    else
        volume.Scan();
    return volume.FoundCount();
}

void CThreadForFileSystem::LogNotStarted(uint32_t reasonId) const {
    if (JobWindow* window = m_parameters.notifyWindow)
        window->AddLogLine(ProgramString(kScanningDriveActivityId), ProgramString(reasonId),
                           ScanLog::AbortedNow(), ScanLog::kImageAborted);
}

void CThreadForFileSystem::LoadHeaderList() {
    LoadHeaderList(DataFolder(), UserFolder());
}

void CThreadForFileSystem::LoadHeaderList(const std::filesystem::path& dataFolder,
                                          const std::filesystem::path& userFolder) {
    std::vector<FileSignature> records;
    if (!LoadHeaderFile(records, dataFolder, userFolder))
        return;
    SignatureLists& lists = m_state.signatureLists;
    lists.user = std::move(records);
    ::SelectSignatures(lists);
}

void CThreadForFileSystem::SelectSignatures(ScanState& state) {
    ::SelectSignatures(state.signatureLists);
    state.signaturesLoaded = true;
}

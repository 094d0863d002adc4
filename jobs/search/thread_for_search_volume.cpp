#include "jobs/search/thread_for_search_volume.h"

#include "diskio/sources/block_buffer.h"
#include "diskio/inventory/drive_node_number.h"
#include "diskio/inventory/size_text.h"
#include "filesystems/fat/fat_boot_info.h"
#include "filesystems/fat/fat_folder_head.h"
#include "filesystems/fat/fat_type.h"
#include "filesystems/ntfs/ntfs_boot_sector.h"
#include "filesystems/ntfs/ntfs_mft_probe.h"
#include "filesystems/scan_log.h"
#include "jobs/scan/scan_state.h"
#include "platform/text/byte_reader.h"
#include "platform/jobs/job_runner.h"
#include "platform/jobs/job_window.h"
#include "platform/resources/program_string.h"
#include "platform/text/utf_conversion.h"
#include "resources/string_ids.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace {

constexpr uint32_t kSectorBytes = SectorSource::kSectorBytes;
// Partitions of old disks begin on tracks of 63 sectors and cylinders of 255 or 16 heads;
// newer ones on 1 MiB boundaries, of which only the first is probed here.
constexpr uint64_t kTrackSectors = 63;
constexpr uint64_t kFirstTrackEnd = 16065;
constexpr uint64_t kAlignedStart = 2048;
constexpr uint64_t kCylinder255 = 16065;
constexpr uint64_t kCylinder16 = 1008;
constexpr uint64_t kFirstCylinder16 = 16128;
constexpr uint64_t kSmallestFatVolume = 4096;
constexpr uint8_t kNtfsType = 7;
constexpr uint8_t kFat16Type = 4;
constexpr uint8_t kFat32Type = 11;
constexpr int kImageFound = ScanLog::kImageCompleted;
// The advance search reads this many sectors at a time, with a few more so that a record or an
// entry that begins near a block's end is seen whole.
constexpr uint32_t kChunkSectors = 2048;
constexpr uint32_t kOverlapSectors = 10;
// Unreadable regions logged; a dying disk must not bury the log.
constexpr uint32_t kMaxUnreadableRows = 100;
// The FAT rebuild's working tables: distinct (start, cluster size) pairs and the folder
// clusters kept for each. Noise (a folder copy inside a file) makes pairs met once; when the
// table is full those are dropped, so volumes later on the disk still find room.
constexpr size_t kMaxTallies = 1u << 16;
constexpr size_t kMaxClustersPerVolume = 1u << 20;
constexpr size_t kMemoryNoticeClusters = (1u << 20) / sizeof(uint32_t);
constexpr size_t kMaxFatSignatures = 1u << 20;
constexpr size_t kMaxVerifiedTallies = 64;
// The FAT layouts the rebuild tries: FAT32 (no fixed root folder, 32 reserved sectors) and
// FAT16 (a root folder of 512 entries, one reserved sector), as formatters lay them out.
struct RebuiltLayout {
    uint8_t partitionType;
    uint32_t rootFolderSectors;
    uint32_t reservedSectors;
};
constexpr std::array<RebuiltLayout, 2> kRebuiltLayouts = {{
    {kFat32Type, 0, 32},
    {kFat16Type, 32, 1},
}};

bool HasBootSignature(const uint8_t* sector) {
    return sector[510] == 0x55 && sector[511] == 0xAA;
}

bool NamesNtfs(const uint8_t* sector) {
    return std::memcmp(sector + 3, "NTFS", 4) == 0;
}

bool IsPowerOfTwoUpTo(uint64_t value, uint64_t largest) {
    return value != 0 && value <= largest && (value & (value - 1)) == 0;
}

uint32_t Clamp32(uint64_t value) {
    return static_cast<uint32_t>(std::min<uint64_t>(value, UINT32_MAX));
}

std::u16string SizeTextOf(uint64_t sectors) {
    return FormatSizeFromSectors(static_cast<uint32_t>(sectors),
                                 static_cast<uint32_t>(sectors >> 32));
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Set-up

std::optional<CThreadForSearchVolume::Disk>
CThreadForSearchVolume::DiskOfNode(const DriveNode& node) {
    const PhysicalDiskInfo* physical = node.Physical();
    if (physical == nullptr)
        return std::nullopt;
    Disk disk;
    switch (node.kind) {
    case DriveKind::HardDisk:
    case DriveKind::RemovableDisk:
        disk.drive = physical->drive;
        disk.sectors = physical->totalSectors;
        disk.source = SectorSource::ForDrive(physical->drive);
        return disk;
    case DriveKind::DiskImage: {
        disk.drive = Disk::kImageDisk;
        disk.imagePath = node.imagePath;
        const std::string path = Utf16ToUtf8(node.imagePath);
        disk.sectors = physical->totalSectors;
        if (disk.sectors == 0) {
            std::error_code error;
            const uintmax_t bytes = std::filesystem::file_size(path, error);
            disk.sectors = error ? 0 : bytes / kSectorBytes;
        }
        disk.source = SectorSource::ForImage(path);
        return disk;
    }
    default:
        return std::nullopt;
    }
}

CThreadForSearchVolume::CThreadForSearchVolume(ScanState& state)
    : m_state(&state), m_listed(&state.driveList.nodes), m_flags(&state.jobFlags) {}

CThreadForSearchVolume::CThreadForSearchVolume(Disk disk, const std::list<DriveNode>& listed,
                                               JobFlags& flags)
    : m_disk(std::move(disk)), m_listed(&listed), m_flags(&flags) {}

bool CThreadForSearchVolume::Start(JobRunner& runner) const {
    return runner.Start([job = *this]() mutable { job.Run(); });
}

uint32_t CThreadForSearchVolume::Run() {
    Reporter().Send(MakeSetPaneWidths(345, 340));
    if (m_state != nullptr) {
        const DriveNode* node = m_state->SelectedDrive();
        std::optional<Disk> disk = node != nullptr ? DiskOfNode(*node) : std::nullopt;
        if (!disk) {
            Reporter().LogRow(ProgramString(kSearchingActivityId), ProgramString(kNotDiskId),
                              std::u16string(), ScanLog::kImageAborted);
            if (m_flags != nullptr) {
                m_flags->stopRequested = false;
                m_flags->stoppable = false;
            }
            return 0;
        }
        m_disk = std::move(*disk);
    }
    if (m_parameters.advance)
        SearchNtfsVolumes();
    else
        SearchDisk();
    Reporter().Send(MakeSetStatusText2(std::u16string()));
    m_disk.source.Close();
    return static_cast<uint32_t>(m_accepted.size());
}

// ---------------------------------------------------------------------------------------------
// Messages, rows and reads

JobReporter CThreadForSearchVolume::Reporter() const {
    return JobReporter(m_parameters.notifyWindow, m_flags);
}

int CThreadForSearchVolume::ReadSectors(uint64_t sector, uint32_t sectorCount, void* buffer) const {
    const size_t bytes = size_t{sectorCount} * kSectorBytes;
    if (sectorCount == 0 || sector >= m_disk.sectors || sectorCount > m_disk.sectors - sector) {
        std::memset(buffer, 0, bytes);
        return 0;
    }
    if (m_disk.source.ReadSectors(sector, sectorCount, buffer) != 0)
        return 1;
    NoteUnreadable(sector, sectorCount);
    return 0;
}

void CThreadForSearchVolume::NoteUnreadable(uint64_t sector, uint32_t sectorCount) const {
    if (m_unreadable.count != 0 && m_unreadable.first + m_unreadable.count == sector) {
        m_unreadable.count += sectorCount;
        return;
    }
    FlushUnreadable();
    m_unreadable.first = sector;
    m_unreadable.count = sectorCount;
}

void CThreadForSearchVolume::FlushUnreadable() const {
    if (m_unreadable.count == 0)
        return;
    if (m_unreadableRows < kMaxUnreadableRows) {
        ++m_unreadableRows;
        Reporter().LogRow(ProgramString(kSearchingActivityId),
                          FormatText(StringTable::Program().Get(kUnreadableId), m_unreadable.first,
                                     m_unreadable.first + m_unreadable.count - 1),
                          std::u16string(), ScanLog::kImageReadError);
    }
    m_unreadable = {};
}

void CThreadForSearchVolume::Begin(uint64_t progressMaximum) {
    if (m_flags != nullptr) {
        m_flags->stoppable = true;
        m_flags->stopRequested = false;
    }
    Reporter().Send(MakeSearchEnded());
    ScanLog::Started(m_parameters.notifyWindow, ProgramString(kSearchingActivityId));
    Reporter().Send(MakeCreateProgress(ProgramString(kReadingLabelId), Clamp32(progressMaximum)));
}

void CThreadForSearchVolume::End() {
    FlushUnreadable();
    const bool stopped = Reporter().Stopped();
    Reporter().Send(MakeDestroyProgress(0));
    if (m_state != nullptr && m_parameters.advance)
        m_state->ResetScanFlags();
    ScanLog::Ended(m_parameters.notifyWindow, ProgramString(kSearchingActivityId), stopped);
    if (m_flags != nullptr) {
        m_flags->stopRequested = false;
        m_flags->stoppable = false;
    }
}

bool CThreadForSearchVolume::Step(uint64_t sector) {
    Reporter().Send(MakeSetStatusText2(
        FormatText(StringTable::Program().Get(kReadingSectorOfTotalId), sector, m_disk.sectors)));
    Reporter().Send(MakeStepProgress(0));
    return !Reporter().Stopped();
}

// ---------------------------------------------------------------------------------------------
// The volumes found

int CThreadForSearchVolume::IsVolumeListed(uint8_t partitionType, uint64_t firstSector) const {
    auto sameVolume = [&](const DriveNode& node) {
        switch (node.kind) {
        case DriveKind::HardDisk:
        case DriveKind::LogicalDrive:
        case DriveKind::RemovableDisk:
            return false;
        default:
            break;
        }
        const LogicalDriveInfo* info = node.Logical();
        if (info == nullptr || info->partitionType != partitionType ||
            info->firstSector != firstSector || info->disk != m_disk.drive)
            return false;
        // Every image is disk 255: only the same file is the same disk.
        return !m_disk.IsImage() || node.imagePath == m_disk.imagePath;
    };
    if (std::any_of(m_accepted.begin(), m_accepted.end(), sameVolume))
        return 1;
    return m_listed != nullptr && std::any_of(m_listed->begin(), m_listed->end(), sameVolume) ? 1
                                                                                              : 0;
}

uint32_t CThreadForSearchVolume::VolumesOnDisk() const {
    auto onDisk = [&](const DriveNode& node) {
        const LogicalDriveInfo* info = node.Logical();
        return (node.kind == DriveKind::FoundVolume || node.kind == DriveKind::RebuiltVolume) &&
               info != nullptr && info->disk == m_disk.drive &&
               (!m_disk.IsImage() || node.imagePath == m_disk.imagePath);
    };
    // The window adds each reported volume to the drive list: the copy there, with this run's
    // number, is the same volume and counts once.
    auto acceptedHere = [&](const DriveNode& node) {
        return std::any_of(m_accepted.begin(), m_accepted.end(),
                           [&](const DriveNode& own) { return own.number == node.number; });
    };
    size_t count = static_cast<size_t>(std::count_if(m_accepted.begin(), m_accepted.end(), onDisk));
    if (m_listed != nullptr)
        count += static_cast<size_t>(
            std::count_if(m_listed->begin(), m_listed->end(), [&](const DriveNode& node) {
                return onDisk(node) && !acceptedHere(node);
            }));
    return Clamp32(count);
}

DriveNode* CThreadForSearchVolume::AcceptVolume(DriveKind kind, LogicalDriveInfo info,
                                                uint32_t wordId, const std::u16string& detail) {
    std::vector<uint8_t> numbers;
    if (m_listed != nullptr)
        for (const DriveNode& node : *m_listed)
            numbers.push_back(node.number);
    for (const DriveNode& node : m_accepted)
        numbers.push_back(node.number);
    const std::optional<uint8_t> number = NextDriveNodeNumber(numbers);
    if (!number) {
        Reporter().LogRow(ProgramString(kSearchingActivityId),
                          FormatText(StringTable::Program().Get(kNoNumberForVolumeId), info.firstSector),
                          std::u16string(), ScanLog::kImageAborted);
        return nullptr;
    }
    const uint32_t count = VolumesOnDisk() + 1;
    m_volumeNumbers[*number] = count;
    info.disk = m_disk.drive;
    info.sizeText = SizeTextOf(info.totalSectors);
    info.rootPath = detail.empty() ? FormatText(u"%s %d (%s : %s)", ProgramString(wordId), count,
                                                info.fileSystem, info.sizeText)
                                   : FormatText(u"%s %d (%s : %s : %s)", ProgramString(wordId),
                                                count, info.fileSystem, info.sizeText, detail);
    DriveNode node;
    node.number = *number;
    node.kind = kind;
    if (m_disk.IsImage())
        node.imagePath = m_disk.imagePath;
    node.detail = std::move(info);
    m_accepted.push_back(std::move(node));
    return &m_accepted.back();
}

void CThreadForSearchVolume::ReportVolume(const DriveNode& node) {
    const LogicalDriveInfo* info = node.Logical();
    // The row numbers the volume as its name does.
    const auto named = m_volumeNumbers.find(node.number);
    const uint32_t count = named != m_volumeNumbers.end() ? named->second : 0;
    Reporter().LogRow(FormatText(StringTable::Program().Get(kLogicalDriveNumberId), count),
                      FormatText(StringTable::Program().Get(kFoundAtSectorId), info->firstSector),
                      std::u16string(), kImageFound);
    Reporter().Send(MakeAddDriveItem(&node));
}

// ---------------------------------------------------------------------------------------------
// Boot-sector tests

int CThreadForSearchVolume::TestFatVolume(std::span<const uint8_t> bootSector, uint64_t sector,
                                          DriveKind kind) {
    if (bootSector.size() < kSectorBytes || sector >= m_disk.sectors)
        return 0;
    FatBootInfo boot;
    if (ParseFatBootSector(bootSector.first(kSectorBytes), boot) == 0 ||
        boot.reservedSectors == 0 || boot.sectorsPerFat == 0)
        return 0;
    // The first FAT must carry the media signature; the second is read as the reader does.
    std::array<uint8_t, kSectorBytes> fat{};
    if (ReadSectors(sector + boot.reservedSectors, 1, fat.data()) == 0 ||
        !fat_folder_head::HasFatSignature(fat.data()))
        return 0;
    const uint8_t type = FatTypeCode(boot.type);
    if (IsVolumeListed(type, sector))
        return 0;
    // Tiny volumes are passed over: what their table describes is too small to matter.
    const uint64_t entries = PropertiesOf(boot.type).entriesPerSector;
    if (entries * boot.sectorsPerCluster * boot.sectorsPerFat <= kSmallestFatVolume)
        return 0;
    // The volume is as large as its boot sector says; a count its own layout does not fit in
    // is damage, and then the volume reaches as far as its table describes.
    uint64_t sectors = boot.totalSectors;
    if (!FatLayoutFits(boot, sectors))
        sectors = FatSectorsTableDescribes(boot.type, boot.reservedSectors, boot.sectorsPerFat,
                                           boot.rootFolderSectors, boot.sectorsPerCluster);
    LogicalDriveInfo info;
    info.partitionType = type;
    info.firstSector = sector;
    info.totalSectors = std::min(sectors, m_disk.sectors - sector);
    info.lastSector = sector + info.totalSectors - 1;
    info.fileSystem = boot.rootCluster != 0 ? u"FAT32" : u"FAT";
    FoundVolumeFields& found = info.foundVolume;
    found.sectorsPerCluster = boot.sectorsPerCluster;
    found.sectorsPerFat = boot.sectorsPerFat;
    found.reservedSectors = boot.reservedSectors;
    found.rootFolderSectors =
        static_cast<uint16_t>(std::min<uint32_t>(boot.rootFolderSectors, UINT16_MAX));
    found.rootCluster = boot.rootCluster;
    return AcceptVolume(kind, std::move(info), kStandardDriveId, std::u16string()) != nullptr ? 1
                                                                                              : 0;
}

bool CThreadForSearchVolume::HoldsMftRecord(uint64_t sector) const {
    std::array<uint8_t, NtfsMftProbe::kRecordBytes> record{};
    return ReadSectors(sector, NtfsMftProbe::kRecordBytes / kSectorBytes, record.data()) != 0 &&
           NtfsMftProbe::IsMftRecord(record);
}

int CThreadForSearchVolume::TestNtfsVolume(std::span<const uint8_t> bootSector, uint64_t sector,
                                           DriveKind kind) {
    if (bootSector.size() < kSectorBytes || sector >= m_disk.sectors)
        return 0;
    const std::span<const uint8_t> boot = bootSector.first(kSectorBytes);
    uint64_t total = 0;
    if (!ByteReader(boot).ReadU64(40, total))
        return 0;
    // The boot sector's fields, checked against a volume of `total` sectors from `start`
    // (the backup sits at its last sector, one past the count).
    auto parse = [&](uint64_t start, NtfsBootSector& out) {
        if (start >= m_disk.sectors)
            return false;
        const uint64_t sectors =
            std::min(total == UINT64_MAX ? total : total + 1, m_disk.sectors - start);
        return NtfsBootSector::Parse(boot, sectors, 128, out) == NtfsBootSector::Check::Usable;
    };
    auto recordsAt = [&](uint64_t start, const NtfsBootSector& parsed) {
        return HoldsMftRecord(start + parsed.mftStartSector) ||
               HoldsMftRecord(start + parsed.mftMirrorSector);
    };

    std::optional<uint64_t> start;
    NtfsBootSector parsed;
    if (parse(sector, parsed)) {
        if (total != 0 && total < m_disk.sectors - sector) {
            std::array<uint8_t, kSectorBytes> backup{};
            if (ReadSectors(sector + total, 1, backup.data()) != 0 &&
                std::equal(backup.begin(), backup.begin() + 256, boot.begin()))
                start = sector;
        }
        if (!start && recordsAt(sector, parsed))
            start = sector;
    }
    // A backup boot sector at a volume's end: the volume begins `total` sectors before it.
    if (!start && total != 0 && sector >= total && parse(sector - total, parsed) &&
        recordsAt(sector - total, parsed))
        start = sector - total;
    if (!start || IsVolumeListed(kNtfsType, *start))
        return 0;

    LogicalDriveInfo info;
    info.partitionType = kNtfsType;
    info.firstSector = *start;
    info.totalSectors = std::min(total, m_disk.sectors - *start);
    info.lastSector = std::min(*start + info.totalSectors, m_disk.sectors - 1);
    info.fileSystem = u"NTFS";
    FoundVolumeFields& found = info.foundVolume;
    found.ntfsSectorsPerCluster = parsed.sectorsPerCluster;
    // Stored as 32 bits; a volume placed beyond that keeps its own boot sector's values.
    if (parsed.mftStartSector <= UINT32_MAX && parsed.mftMirrorSector <= UINT32_MAX) {
        found.mftSector = static_cast<uint32_t>(parsed.mftStartSector);
        found.mftMirrorSector = static_cast<uint32_t>(parsed.mftMirrorSector);
    } else {
        found.ntfsSectorsPerCluster = 0;
    }
    return AcceptVolume(kind, std::move(info), kStandardDriveId, std::u16string()) != nullptr ? 1
                                                                                              : 0;
}

// ---------------------------------------------------------------------------------------------
// Standard search

void CThreadForSearchVolume::StandardProbe(uint64_t sector, bool trustSignature) {
    std::array<uint8_t, kSectorBytes> boot{};
    if (ReadSectors(sector, 1, boot.data()) == 0)
        return;
    if (!trustSignature && !HasBootSignature(boot.data()))
        return;
    if (NamesNtfs(boot.data()))
        TestNtfsVolume(boot, sector, DriveKind::FoundVolume);
    else
        TestFatVolume(boot, sector, DriveKind::FoundVolume);
}

void CThreadForSearchVolume::ProbeCylinder(uint64_t sector) {
    StandardProbe(sector + kTrackSectors, false);
    StandardProbe(sector, false);
    // The sector before a cylinder may end a volume: its backup boot sector.
    std::array<uint8_t, kSectorBytes> backup{};
    if (ReadSectors(sector - 1, 1, backup.data()) != 0 && HasBootSignature(backup.data()) &&
        NamesNtfs(backup.data()))
        TestNtfsVolume(backup, sector - 1, DriveKind::FoundVolume);
}

void CThreadForSearchVolume::SearchDisk() {
    const uint64_t total = m_disk.sectors;
    Begin(total / kCylinder255 + total / kCylinder16 + 255);
    bool stopped = false;
    for (uint64_t s = 0; s < kFirstTrackEnd && !stopped; s += kTrackSectors) {
        if (!Step(s)) {
            stopped = true;
            break;
        }
        // The first track's first partition now starts at 1 MiB.
        StandardProbe(s == 0 ? kAlignedStart : s, s == kTrackSectors);
    }
    const size_t beforeCylinders = m_accepted.size();
    for (uint64_t s = kCylinder255; s < total && !stopped; s += kCylinder255) {
        if (!Step(s)) {
            stopped = true;
            break;
        }
        ProbeCylinder(s);
    }
    if (m_accepted.size() == beforeCylinders)
        for (uint64_t s = kFirstCylinder16; s < total && !stopped; s += kCylinder16) {
            if (!Step(s)) {
                stopped = true;
                break;
            }
            ProbeCylinder(s);
        }
    for (const DriveNode& node : m_accepted)
        ReportVolume(node);
    End();
}

// ---------------------------------------------------------------------------------------------
// Advance search

void CThreadForSearchVolume::TestMftRecord(std::span<const uint8_t> record, uint64_t sector) {
    if (m_mirrorCopies.count(sector) != 0)
        return;
    const auto read = [this](uint64_t at, uint32_t count, uint8_t* buffer) {
        return ReadSectors(at, count, buffer) != 0;
    };
    const std::optional<NtfsMftProbe::Placement> placement =
        NtfsMftProbe::Probe(record, sector, read);
    if (!placement || placement->volumeStart >= m_disk.sectors ||
        IsVolumeListed(kNtfsType, placement->volumeStart))
        return;
    const uint64_t spc = placement->sectorsPerCluster;
    const uint64_t start = placement->volumeStart;
    // $MFTMirr's copy of record 0 names the $MFT too; it lies where record 1 says.
    if (placement->mirrorCluster != 0 && placement->mirrorCluster <= (UINT64_MAX - start) / spc)
        m_mirrorCopies.insert(start + spc * placement->mirrorCluster);
    const uint64_t mftSector = sector - start;
    LogicalDriveInfo info;
    info.partitionType = kNtfsType;
    info.firstSector = start;
    info.totalSectors = m_disk.sectors - start;
    info.lastSector = m_disk.sectors - 1;
    info.fileSystem = u"NTFS";
    FoundVolumeFields& found = info.foundVolume;
    if (mftSector <= UINT32_MAX) {
        found.ntfsSectorsPerCluster = placement->sectorsPerCluster;
        found.mftSector = static_cast<uint32_t>(mftSector);
        const uint64_t mirror = spc * placement->mirrorCluster;
        found.mftMirrorSector = placement->mirrorCluster != 0 && mirror <= UINT32_MAX
                                    ? static_cast<uint32_t>(mirror)
                                    : found.mftSector;
    }
    if (DriveNode* node = AcceptVolume(DriveKind::RebuiltVolume, std::move(info), kAdvanceDriveId,
                                       std::u16string()))
        ReportVolume(*node);
}

void CThreadForSearchVolume::TestAdvanceBootSector(std::span<const uint8_t> boot, uint64_t sector) {
    const size_t before = m_accepted.size();
    if (NamesNtfs(boot.data()))
        TestNtfsVolume(boot, sector, DriveKind::FoundVolume);
    else
        TestFatVolume(boot, sector, DriveKind::FoundVolume);
    if (m_accepted.size() != before)
        ReportVolume(m_accepted.back());
}

void CThreadForSearchVolume::NoteFolderCandidate(uint64_t sector, uint32_t cluster) {
    const FolderCandidate candidate{sector, cluster};
    // Pairs of neighbouring candidates give the cluster size: on one volume, folder clusters
    // further on lie further on. The first of a pair is tallied with its partner's size when
    // it had none of its own.
    if (m_previousCandidate) {
        const FolderCandidate& previous = *m_previousCandidate;
        if (candidate.cluster > previous.cluster && candidate.sector > previous.sector) {
            const uint64_t sectors = candidate.sector - previous.sector;
            const uint64_t clusters = candidate.cluster - previous.cluster;
            if (sectors % clusters == 0 && IsPowerOfTwoUpTo(sectors / clusters, 128)) {
                const auto spc = static_cast<uint32_t>(sectors / clusters);
                if (!m_previousTallied)
                    TallyFolderCandidate(previous, spc);
                TallyFolderCandidate(candidate, spc);
                m_previousCandidate = candidate;
                m_previousTallied = true;
                return;
            }
        }
    }
    m_previousCandidate = candidate;
    m_previousTallied = false;
}

void CThreadForSearchVolume::TallyFolderCandidate(const FolderCandidate& candidate, uint32_t spc) {
    if (candidate.cluster < 2)
        return;
    const uint64_t offset = uint64_t{spc} * (candidate.cluster - 2);
    if (offset > candidate.sector)
        return;
    const uint64_t start = candidate.sector - offset;
    const std::pair<uint64_t, uint32_t> key{start, spc};
    auto it = m_folderClusters.find(key);
    if (it == m_folderClusters.end()) {
        if (m_folderClusters.size() >= kMaxTallies)
            DropSingleTallies();
        if (m_folderClusters.size() >= kMaxTallies)
            return;
        it = m_folderClusters.emplace(key, std::vector<uint32_t>()).first;
    }
    m_tallies.TallyCandidate(start, spc);
    if (it->second.size() < kMaxClustersPerVolume) {
        it->second.push_back(candidate.cluster);
        if (++m_keptClusters == kMemoryNoticeClusters && !m_memoryRowLogged) {
            m_memoryRowLogged = true;
            Reporter().LogRow(ProgramString(kSearchingActivityId), ProgramString(kMoreMemoryId),
                              std::u16string(), ScanLog::kImageStarted);
        }
    }
}

void CThreadForSearchVolume::DropSingleTallies() {
    FatStartTallies kept;
    for (const FatStartTally& tally : m_tallies.SortCandidatesByCount()) {
        if (tally.count < 2) {
            const auto it = m_folderClusters.find({tally.start, tally.sectorsPerCluster});
            if (it != m_folderClusters.end()) {
                m_keptClusters -= it->second.size();
                m_folderClusters.erase(it);
            }
            continue;
        }
        for (uint32_t i = 0; i < tally.count; ++i)
            kept.TallyCandidate(tally.start, tally.sectorsPerCluster);
    }
    m_tallies = std::move(kept);
}

void CThreadForSearchVolume::NoteFatSignature(uint64_t sector) {
    if (m_fatSignatures.size() < kMaxFatSignatures)
        m_fatSignatures.push_back(sector);
}

void CThreadForSearchVolume::SearchNtfsVolumes() {
    const uint64_t total = m_disk.sectors;
    Begin(total / kChunkSectors);
    BlockBuffer block(size_t{kChunkSectors + kOverlapSectors} * kSectorBytes);
    std::vector<uint8_t> readable(kChunkSectors + kOverlapSectors);
    for (uint64_t first = 0; first < total; first += kChunkSectors) {
        if (!Step(first))
            break;
        const auto count = static_cast<uint32_t>(
            std::min<uint64_t>(kChunkSectors + kOverlapSectors, total - first));
        const auto tested = static_cast<uint32_t>(std::min<uint64_t>(kChunkSectors, total - first));
        if (ReadSectors(first, count, block.data()) != 0) {
            std::fill(readable.begin(), readable.begin() + count, 1);
        } else {
            // Find the sectors that fail; they stay zero and are never matched.
            for (uint32_t i = 0; i < count; ++i)
                readable[i] =
                    ReadSectors(first + i, 1, block.data() + size_t{i} * kSectorBytes) != 0;
        }
        for (uint32_t i = 0; i < tested; ++i) {
            if (!readable[i])
                continue;
            const uint64_t sector = first + i;
            const uint8_t* bytes = block.data() + size_t{i} * kSectorBytes;
            if (fat_folder_head::IsDotName(bytes) && fat_folder_head::IsDotDotName(bytes + 32))
                NoteFolderCandidate(sector, fat_folder_head::EntryCluster(bytes, true));
            if (fat_folder_head::HasFatSignature(bytes))
                NoteFatSignature(sector);
            if (i + 1 < count && readable[i + 1] && std::memcmp(bytes, "FILE", 4) == 0)
                TestMftRecord(std::span<const uint8_t>(bytes, NtfsMftProbe::kRecordBytes), sector);
            if (HasBootSignature(bytes))
                TestAdvanceBootSector(std::span<const uint8_t>(bytes, kSectorBytes), sector);
        }
    }
    if (!Reporter().Stopped())
        RebuildFatVolumes();
    End();
}

// ---------------------------------------------------------------------------------------------
// FAT rebuild

std::optional<uint64_t> CThreadForSearchVolume::DataStartOf(const DriveNode& node) const {
    const LogicalDriveInfo* info = node.Logical();
    if (info == nullptr || info->partitionType == kNtfsType || info->disk != m_disk.drive ||
        (m_disk.IsImage() && node.imagePath != m_disk.imagePath))
        return std::nullopt;
    const FoundVolumeFields& found = info->foundVolume;
    if (found.sectorsPerFat == 0)
        return std::nullopt;
    return info->firstSector + found.reservedSectors + 2ull * found.sectorsPerFat +
           found.rootFolderSectors;
}

bool CThreadForSearchVolume::DataStartKnown(uint64_t dataStart) const {
    auto same = [&](const DriveNode& node) {
        if (node.kind != DriveKind::FoundVolume && node.kind != DriveKind::RebuiltVolume)
            return false;
        const std::optional<uint64_t> start = DataStartOf(node);
        return start && *start == dataStart;
    };
    return std::any_of(m_accepted.begin(), m_accepted.end(), same) ||
           (m_listed != nullptr && std::any_of(m_listed->begin(), m_listed->end(), same));
}

void CThreadForSearchVolume::RebuildFatVolumes() {
    std::sort(m_fatSignatures.begin(), m_fatSignatures.end());
    const auto signed_ = [&](uint64_t sector) {
        return std::binary_search(m_fatSignatures.begin(), m_fatSignatures.end(), sector);
    };
    const std::vector<FatStartTally> tallies = m_tallies.SortCandidatesByCount();
    uint32_t verified = 0;
    for (const FatStartTally& tally : tallies) {
        if (tally.count < 2 || verified >= kMaxVerifiedTallies || Reporter().Stopped())
            break;
        ++verified;
        Reporter().Send(
            MakeSetStatusText2(FormatText(u"%s %d", ProgramString(kVerifyingId), verified)));
        const uint64_t dataStart = tally.start;
        if (DataStartKnown(dataStart))
            continue;
        // Two equal FATs end where the root folder (FAT16) or the data area (FAT32) begins:
        // the nearest signed sector X below for which X + (end - X) / 2 is signed too.
        for (const RebuiltLayout& layout : kRebuiltLayouts) {
            if (dataStart <= layout.rootFolderSectors)
                continue;
            const uint64_t fatsEnd = dataStart - layout.rootFolderSectors;
            auto it = std::lower_bound(m_fatSignatures.begin(), m_fatSignatures.end(), fatsEnd);
            std::optional<uint64_t> firstFat;
            for (int tried = 0; it != m_fatSignatures.begin() && tried < 4096 && !firstFat;
                 ++tried) {
                --it;
                const uint64_t x = *it;
                if (((fatsEnd - x) & 1) != 0)
                    continue;
                const uint64_t perFat = (fatsEnd - x) / 2;
                if (perFat != 0 && signed_(x + perFat))
                    firstFat = x;
            }
            if (!firstFat || *firstFat < layout.reservedSectors)
                continue;
            const uint64_t perFat = (fatsEnd - *firstFat) / 2;
            // FAT32 tables are large; a FAT16 table describes at most 65536 clusters.
            if (layout.partitionType == kFat32Type ? perFat <= 266 : perFat > 256)
                continue;
            const uint64_t volumeStart = *firstFat - layout.reservedSectors;
            if (IsVolumeListed(layout.partitionType, volumeStart) || perFat > UINT32_MAX)
                break;
            const FatType type =
                layout.partitionType == kFat32Type ? FatType::Fat32 : FatType::Fat16;
            // No boot sector tells the size: the volume reaches as far as its FAT describes.
            const uint64_t computed = FatSectorsTableDescribes(
                type, layout.reservedSectors, static_cast<uint32_t>(perFat),
                layout.rootFolderSectors, tally.sectorsPerCluster);
            LogicalDriveInfo info;
            info.partitionType = layout.partitionType;
            info.firstSector = volumeStart;
            info.totalSectors = std::min(computed, m_disk.sectors - volumeStart);
            info.lastSector = volumeStart + info.totalSectors - 1;
            info.fileSystem = layout.partitionType == kFat32Type ? u"FAT32" : u"FAT";
            FoundVolumeFields& found = info.foundVolume;
            found.sectorsPerCluster = static_cast<uint8_t>(tally.sectorsPerCluster);
            found.sectorsPerFat = static_cast<uint32_t>(perFat);
            found.reservedSectors = layout.reservedSectors;
            found.rootFolderSectors = static_cast<uint16_t>(layout.rootFolderSectors);
            found.rootCluster = layout.partitionType == kFat32Type ? 2 : 0;
            if (const auto clusters = m_folderClusters.find({tally.start, tally.sectorsPerCluster});
                clusters != m_folderClusters.end())
                found.folderClusters = clusters->second;
            const std::u16string detail =
                FormatText(StringTable::Program().Get(kClusterDetailId),
                           FormatSize(uint64_t{tally.sectorsPerCluster} * kSectorBytes));
            if (DriveNode* node = AcceptVolume(DriveKind::RebuiltVolume, std::move(info),
                                               kAdvanceDriveId, detail))
                ReportVolume(*node);
            break;
        }
    }
}

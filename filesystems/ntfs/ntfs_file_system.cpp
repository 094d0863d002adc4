#include "filesystems/ntfs/ntfs_file_system.h"

#include "diskio/records/drive_node.h"
#include "diskio/sources/volume_source.h"
#include "filesystems/ntfs/ntfs_file_data.h"
#include "filesystems/scan_environment.h"
#include "filesystems/selected_volume.h"
#include "platform/jobs/job_messages.h"
#include "platform/text/utf_conversion.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr size_t kSectorSize = 512;

} // namespace

CNtfsFileSystem::CNtfsFileSystem(ScanEnvironment& environment)
    : m_environment(environment), m_reporter(environment) {}

// ----------------------------------------------------------------------------------------
// Set-up

bool CNtfsFileSystem::SetVolumeFromDrive(uint8_t imageFlag) {
    std::optional<SelectedVolume> volume = OpenSelectedVolume(SelectedDrive(), imageFlag != 0);
    if (!volume)
        return false;
    const uint64_t first = volume->source.FirstSector();
    SetUpVolume(std::move(volume->source), first, volume->info->lastSector,
                volume->info->totalSectors);
    return true;
}

void CNtfsFileSystem::SetVolumeFromSource(SectorSource source, uint64_t firstSector,
                                          uint64_t totalSectors) {
    const uint64_t last = totalSectors != 0 ? firstSector + (totalSectors - 1) : firstSector;
    SetUpVolume(std::move(source), firstSector, last, totalSectors);
}

void CNtfsFileSystem::SetUpVolume(SectorSource source, uint64_t firstSector, uint64_t lastSector,
                                  uint64_t totalSectors) {
    m_firstSector = firstSector;
    m_lastSector = lastSector;
    m_totalSectors = totalSectors;
    m_source = std::move(source);
    m_source.SetVolume(firstSector, totalSectors);
    m_reporter.Send(MakeSetPaneWidths(500, 100));
}

void CNtfsFileSystem::SetVolumeFromScanInfo(const NtfsVolumeRecord& record) {
    m_sectorsPerCluster = record.sectorsPerCluster;
    m_firstSector = record.firstSector;
    m_lastSector = record.lastSector;
    m_totalSectors = record.totalSectors;
    m_source = SourceOfDriveOrImage(record.imageFlag != 0, record.drive, record.imagePath);
    m_source.SetVolume(record.firstSector, record.totalSectors);
    m_mftStartSector = record.mftStartSector;
    m_mftMirrorSector = record.mftMirrorSector;
    m_recordTableBase = record.recordTableBase;
    m_clusterCount = record.clusterCount;
    m_foundBytes = 0;
    m_foundCount = 0;
    m_sentCount = 0;
    m_fileCount = 0;
}

NtfsVolumeRecord CNtfsFileSystem::ScanInfoRecord() const {
    NtfsVolumeRecord record;
    record.drive = m_source.Drive();
    record.sectorsPerCluster = m_sectorsPerCluster;
    record.imageFlag = m_source.IsImage() ? 1 : 0;
    record.firstSector = m_firstSector;
    record.lastSector = m_lastSector;
    record.totalSectors = m_totalSectors;
    record.mftStartSector = static_cast<uint32_t>(m_mftStartSector);
    record.mftMirrorSector = static_cast<uint32_t>(m_mftMirrorSector);
    record.recordTableBase = m_recordTableBase;
    record.recordTableCount = static_cast<uint32_t>(m_recordTable.size());
    record.clusterCount = m_clusterCount;
    if (m_source.IsImage())
        record.imagePath = Utf8ToUtf16(m_source.ImagePath());
    return record;
}

void CNtfsFileSystem::RestoreTables(std::vector<NtfsRunEntry> mftRuns,
                                    std::vector<NtfsRecordEntry> recordTable,
                                    std::span<const uint8_t> clusterMap) {
    m_mftRuns = std::move(mftRuns);
    m_mftStarts = RunStartClusters(m_mftRuns);
    uint64_t sectors = 0;
    for (const NtfsRunEntry& run : m_mftRuns)
        sectors += run.lengthSectors;
    m_mftSectors = std::min({sectors, m_totalSectors, kMaxMftRecords * 2}) & ~uint64_t{1};
    m_recordTable = std::move(recordTable);
    const size_t clusters = std::min<size_t>(clusterMap.size(), m_clusterCount);
    m_clusterMap.assign(clusters, false);
    for (size_t cluster = 0; cluster < clusters; ++cluster)
        m_clusterMap[cluster] = clusterMap[cluster] != 0;
}

std::vector<uint8_t> CNtfsFileSystem::ClusterMapBytes() const {
    std::vector<uint8_t> bytes(m_clusterMap.size(), 0);
    for (size_t cluster = 0; cluster < m_clusterMap.size(); ++cluster)
        bytes[cluster] = m_clusterMap[cluster] ? 1 : 0;
    return bytes;
}

void CNtfsFileSystem::RestoreCounts(uint32_t foundCount, uint32_t fileCount, uint64_t foundBytes) {
    m_foundCount = foundCount;
    m_sentCount = foundCount;
    m_fileCount = fileCount;
    m_foundBytes = foundBytes;
}

// ----------------------------------------------------------------------------------------
// Reading

int CNtfsFileSystem::ReadSectors(uint64_t sector, uint32_t sectorCount, void* buffer) const {
    return m_source.ReadSectors(sector, sectorCount, buffer);
}

int CNtfsFileSystem::ReadBytes(uint64_t sector, void* buffer, uint32_t byteCount) const {
    return m_source.ReadBytes(sector, buffer, byteCount);
}

int CNtfsFileSystem::ReadClusters(uint32_t cluster, uint16_t sectorInCluster, void* buffer,
                                  uint16_t sectorCount) const {
    const uint64_t sector = static_cast<uint64_t>(cluster) * m_sectorsPerCluster + sectorInCluster;
    return ReadSectors(sector, sectorCount, buffer);
}

uint64_t CNtfsFileSystem::ClusterToSector(uint64_t cluster) const {
    if (m_sectorsPerCluster == 0 || cluster > UINT64_MAX / m_sectorsPerCluster)
        return UINT64_MAX;
    return cluster * m_sectorsPerCluster;
}

uint64_t CNtfsFileSystem::EndCluster() const {
    if (m_sectorsPerCluster == 0)
        return 0;
    return m_totalSectors / m_sectorsPerCluster +
           (m_totalSectors % m_sectorsPerCluster != 0 ? 1 : 0);
}

std::unique_ptr<RecoveredFileData> CNtfsFileSystem::FileData(const FoundItem& item, bool) {
    return std::make_unique<NtfsFileData>(*this, item);
}

// ----------------------------------------------------------------------------------------
// Boot sector and $MFT

std::optional<NtfsBootSector>
CNtfsFileSystem::FindBootSector(NtfsBootSector::Check* rejected) const {
    // The boot sector, then its backup in the last sector, then the sector before it (where
    // older formatters put the backup).
    NtfsBootSector::Check last = NtfsBootSector::Check::NotNtfs;
    auto tryAt = [&](uint64_t sector, uint32_t largestCluster) -> std::optional<NtfsBootSector> {
        std::array<uint8_t, kSectorSize> boot{};
        if (!ReadSectors(sector, 1, boot.data()))
            return std::nullopt;
        NtfsBootSector parsed;
        const NtfsBootSector::Check check =
            NtfsBootSector::Parse(boot, m_totalSectors, largestCluster, parsed);
        if (check == NtfsBootSector::Check::Usable)
            return parsed;
        if (check != NtfsBootSector::Check::NotNtfs)
            last = check;
        return std::nullopt;
    };
    std::optional<NtfsBootSector> found = tryAt(0, 128);
    if (!found && m_totalSectors >= 1)
        found = tryAt(m_totalSectors - 1, 512);
    if (!found && m_totalSectors >= 2)
        found = tryAt(m_totalSectors - 2, 512);
    if (rejected != nullptr)
        *rejected = found ? NtfsBootSector::Check::Usable : last;
    return found;
}

int CNtfsFileSystem::ReadBootSector() {
    const std::optional<NtfsBootSector> boot = FindBootSector();
    if (!boot)
        return 0;
    m_sectorsPerCluster = boot->sectorsPerCluster;
    m_mftStartSector = boot->mftStartSector;
    m_mftMirrorSector = boot->mftMirrorSector;
    return 1;
}

int CNtfsFileSystem::LoadMftRuns() {
    m_mftRuns.clear();
    m_mftStarts.clear();
    m_mftSectors = 0;
    m_visited.clear();
    if (m_sectorsPerCluster == 0)
        return 0;

    // Decodes the $MFT's runs from record 0 at `sector` and from the extension records its
    // attribute list names, each located through the runs decoded before it. An extension
    // record that fails its checks ends the walk; with `strict` it fails the whole load.
    auto loadFrom = [&](uint64_t sector, bool strict) {
        m_mftRuns.clear();
        uint64_t total = 0;
        Record record{};
        NtfsAttributeLocator locator;
        if (!ReadRecordAt(sector, 0, record) || !LocateFileData(record, locator))
            return uint64_t{0};
        if (!locator.attributeList) {
            if (!locator.resident)
                total = DecodeRuns(record, locator, m_mftRuns, false);
            return total;
        }
        auto decodeExtents = [&](const Record& holder) {
            for (uint16_t at : ExtentRunLists(holder, 0x80)) {
                NtfsAttributeLocator extent;
                extent.dataOffset = at;
                total += DecodeRuns(holder, extent, m_mftRuns, false);
            }
            m_mftStarts = RunStartClusters(m_mftRuns);
        };
        decodeExtents(record);
        for (uint32_t number : ReadAttributeList(record)) {
            if (number == 0)
                continue; // decoded above
            uint64_t second = 0;
            const uint64_t at = MftRecordToSector(number, second);
            Record extension{};
            if (at == 0 || !ReadRecordAt(at, second, extension)) {
                if (strict) {
                    m_mftRuns.clear();
                    return uint64_t{0};
                }
                break;
            }
            decodeExtents(extension);
        }
        return total;
    };

    // The $MFT holds no more than record 0 says it allocated, whatever its runs add up to.
    auto allocatedSectors = [&](uint64_t sector) {
        Record record{};
        uint64_t size = 0, initialized = 0, allocated = 0;
        if (!ReadRecordAt(sector, 0, record) ||
            !GetDataSizes(record, size, initialized, allocated) || allocated == 0)
            return UINT64_MAX;
        return allocated / kSectorSize;
    };
    uint64_t total = loadFrom(m_mftStartSector, false);
    uint64_t allocated = allocatedSectors(m_mftStartSector);
    if (m_mftRuns.empty()) {
        total = loadFrom(m_mftMirrorSector, true);
        allocated = allocatedSectors(m_mftMirrorSector);
    }
    // The runs must lead back to the record they were read from.
    if (!m_mftRuns.empty() &&
        (m_mftRuns.front().IsSparse() ||
         m_mftRuns.front().rawOffset * m_sectorsPerCluster != m_mftStartSector))
        m_mftRuns.clear();
    if (m_mftRuns.empty())
        return 0;

    // Nor can it be larger than its volume, or than any $MFT the reader takes.
    m_mftSectors = std::min({total, allocated, m_totalSectors, kMaxMftRecords * 2}) & ~uint64_t{1};
    m_mftRuns.shrink_to_fit();
    m_mftStarts = RunStartClusters(m_mftRuns);
    m_visited.assign(static_cast<size_t>(m_mftSectors / 2), false);
    for (size_t record = 0; record < 2 && record < m_visited.size(); ++record)
        m_visited[record] = true;
    return 1;
}

uint64_t CNtfsFileSystem::MftRecordToSector(uint32_t record, uint64_t& secondSector) const {
    secondSector = 0;
    if (m_sectorsPerCluster == 0)
        return 0;
    const uint64_t offset = uint64_t{record} * 2;
    const std::vector<std::optional<uint64_t>> computed =
        m_mftStarts.size() == m_mftRuns.size() ? std::vector<std::optional<uint64_t>>{}
                                               : RunStartClusters(m_mftRuns);
    const std::vector<std::optional<uint64_t>>& starts =
        m_mftStarts.size() == m_mftRuns.size() ? m_mftStarts : computed;
    uint64_t before = 0; // sectors of the $MFT before run i
    for (size_t i = 0; i < m_mftRuns.size(); ++i) {
        const uint64_t length = m_mftRuns[i].lengthSectors;
        if (offset >= before + length) {
            before += length;
            continue;
        }
        if (!starts[i])
            return 0; // a hole in the $MFT holds no record
        const uint64_t sector = *starts[i] * m_sectorsPerCluster + (offset - before);
        if (offset + 1 < before + length)
            return sector;
        // The record's second half opens the next run that has sectors.
        for (size_t next = i + 1; next < m_mftRuns.size(); ++next) {
            if (m_mftRuns[next].lengthSectors == 0)
                continue;
            if (!starts[next])
                return 0;
            secondSector = *starts[next] * m_sectorsPerCluster;
            return sector;
        }
        return 0;
    }
    return 0;
}

bool CNtfsFileSystem::ReadRecord(uint32_t record, Record& out) const {
    uint64_t second = 0;
    const uint64_t sector = MftRecordToSector(record, second);
    if (sector == 0) {
        out.fill(0);
        return false;
    }
    return ReadRecordAt(sector, second, out);
}

bool CNtfsFileSystem::ReadRecordAt(uint64_t sector, uint64_t secondSector, Record& out) const {
    bool read;
    if (secondSector == 0) {
        read = ReadSectors(sector, 2, out.data()) != 0;
    } else {
        read = ReadSectors(sector, 1, out.data()) != 0;
        read = ReadSectors(secondSector, 1, out.data() + kSectorSize) != 0 && read;
    }
    return read && ApplyFixup(out);
}

// ----------------------------------------------------------------------------------------
// Shared with the scans

uint8_t CNtfsFileSystem::ClusterUsage(uint64_t cluster) const {
    return cluster < m_clusterMap.size() && m_clusterMap[static_cast<size_t>(cluster)] ? 1 : 0;
}

const DriveNode* CNtfsFileSystem::SelectedDrive() const {
    return m_environment.selectedDrive;
}

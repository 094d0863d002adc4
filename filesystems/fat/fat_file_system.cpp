#include "filesystems/fat/fat_file_system.h"

#include "diskio/records/drive_node.h"
#include "diskio/sources/disk_image_file.h"
#include "diskio/sources/volume_source.h"
#include "filesystems/fat/fat_file_data.h"
#include "filesystems/fat/fat_scan_support.h"
#include "filesystems/fat/fat_short_name.h"
#include "filesystems/progress_bracket.h"
#include "filesystems/scan_environment.h"
#include "filesystems/scan_log.h"
#include "filesystems/selected_volume.h"
#include "platform/resources/product_title.h"
#include "platform/resources/program_string.h"
#include "platform/resources/string_table.h"
#include "platform/text/format_text.h"
#include "platform/text/utf_conversion.h"
#include "resources/string_ids.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>

namespace {

constexpr uint32_t kFatCompareBlock = 64;

using fat_folder_head::HasFatSignature;

} // namespace

CFatFileSystem::CFatFileSystem(ScanEnvironment& environment)
    : m_environment(environment), m_reporter(environment) {}

// ----------------------------------------------------------------------------------------
// Set-up

void CFatFileSystem::StartSetUp() {
    m_nextEntryId = 2;
    Send(MakeSetPaneWidths(500, 100));
}

bool CFatFileSystem::SetVolumeFromDrive(uint8_t imageFlag) {
    std::optional<SelectedVolume> volume = OpenSelectedVolume(SelectedDrive(), imageFlag != 0);
    if (!volume)
        return false;
    const LogicalDriveInfo* info = volume->info;
    m_rebuiltGeometry = disk_image_file::ReadsAsRebuiltVolume(*SelectedDrive());
    m_drive = info->disk;
    m_source = std::move(volume->source);
    m_totalSectors = info->totalSectors;
    m_lastSector = info->lastSector;
    m_table.SetType(FatTypeOfPartition(info->partitionType));
    StartSetUp();
    return true;
}

void CFatFileSystem::SetVolumeFromSource(const SectorSource& source, uint8_t partitionType) {
    m_source = source;
    m_rebuiltGeometry = false;
    m_drive = source.IsDrive() ? source.Drive() : 0;
    m_totalSectors = source.SectorCount();
    m_lastSector =
        m_totalSectors == 0 ? source.FirstSector() : source.FirstSector() + (m_totalSectors - 1);
    m_table.SetType(FatTypeOfPartition(partitionType));
    StartSetUp();
}

void CFatFileSystem::SetVolumeFromScanInfo(const FatVolumeRecord& record) {
    m_drive = record.drive;
    SectorSource source = SourceOfDriveOrImage(record.imageFlag != 0, m_drive, record.imagePath);
    if (record.absoluteSectors != 0)
        source.SetAbsoluteRange(record.firstSector, record.lastSector);
    else
        source.SetVolume(record.firstSector, record.totalSectors);
    m_source = std::move(source);
    m_lastSector = record.lastSector;
    m_totalSectors = record.totalSectors;
    m_table.SetType(FatTypeFromCode(record.fatType));
    m_sectorsPerCluster = record.sectorsPerCluster;
    m_rootCluster = record.rootCluster;
    m_sectorsPerFat = record.sectorsPerFat;
    m_linkingMode = record.linkingMode;
    m_reservedSectors = record.reservedSectors;
    m_rootFolderSectors = record.rootFolderSectors;
    m_foundCount = 0;
    m_progressCount = 0;
    m_fileCount = 0;
    m_foundBytes = 0;
    uint64_t clusters = m_sectorsPerCluster == 0 ? 0 : DataAreaSectors() / m_sectorsPerCluster;
    m_clusterLimit = static_cast<uint32_t>(std::min<uint64_t>(clusters, kFatMaxClusterNumber) + 2);
    // The stored map size is one byte per cluster: never more than the volume has.
    m_usage.Fill(std::min<uint64_t>(record.mapSize, uint64_t{m_clusterLimit} + 1),
                 FatClusterUsageMap::kAllocated);
    StartSetUp();
}

FatVolumeRecord CFatFileSystem::ScanInfoRecord() const {
    FatVolumeRecord record;
    record.firstSector = m_source.FirstSector();
    record.lastSector = m_lastSector;
    record.totalSectors = m_totalSectors;
    record.fatType = TypeCode();
    record.drive = m_drive;
    record.sectorsPerCluster = m_sectorsPerCluster;
    record.imageFlag = m_source.IsImage() ? 1 : 0;
    record.rootCluster = m_rootCluster;
    record.mapSize = MapSize();
    record.sectorsPerFat = m_sectorsPerFat;
    record.linkingMode = m_linkingMode;
    record.reservedSectors = m_reservedSectors;
    record.rootFolderSectors = m_rootFolderSectors;
    record.absoluteSectors = m_source.IsAbsolute() ? 1 : 0;
    if (m_source.IsImage())
        record.imagePath = Utf8ToUtf16(m_source.ImagePath());
    return record;
}

void CFatFileSystem::RestoreTables(std::vector<uint8_t> fatCopy, std::vector<uint8_t> clusterMap) {
    const uint64_t tableBytes = uint64_t{FatTableSectors()} * 512;
    m_table.Clear();
    if (m_linkingMode != kLinkContiguous && !fatCopy.empty() && tableBytes != 0) {
        fatCopy.resize(static_cast<size_t>(std::min<uint64_t>(fatCopy.size(), tableBytes)));
        m_table.Assign(std::move(fatCopy));
    }
    // The limit the saving reader had. A map is built one byte longer than the limit
    // (BuildClusterMap) and the limit stays when the linking mode changes afterwards, so a
    // map's size gives it back; without a map it follows the FAT copy as BuildClusterMap
    // derives it, or the data area. A raw search's range has none. It never exceeds what the
    // table or the data area can number.
    const uint64_t perSector = PropertiesOf(m_table.Type()).entriesPerSector;
    const uint64_t byTable = m_table.Bytes().size() / 512 * perSector;
    const uint64_t byArea =
        (m_sectorsPerCluster == 0 ? 0 : DataAreaSectors() / m_sectorsPerCluster) + 2;
    const uint64_t most =
        std::min<uint64_t>(std::max(byTable, byArea), uint64_t{kFatMaxClusterNumber} + 2);
    uint64_t limit = 0;
    if (!clusterMap.empty())
        limit = std::min<uint64_t>(clusterMap.size() - 1, most);
    else if (!m_table.Empty())
        limit = std::min<uint64_t>(byTable, most);
    else if (!m_source.IsAbsolute())
        limit = most;
    m_clusterLimit = static_cast<uint32_t>(limit);
    if (clusterMap.size() > limit + 1)
        clusterMap.resize(static_cast<size_t>(limit) + 1);
    m_usage.Assign(std::move(clusterMap));
}

void CFatFileSystem::RestoreCounts(uint32_t foundCount, int32_t fileCount, uint64_t foundBytes) {
    m_foundCount = foundCount;
    m_progressCount = foundCount;
    m_fileCount = fileCount;
    m_foundBytes = foundBytes;
}

void CFatFileSystem::RestoreCounts(const FoundCounts& counts) {
    const uint32_t files = std::min<uint32_t>(counts.files, std::numeric_limits<int32_t>::max());
    RestoreCounts(counts.found, static_cast<int32_t>(files), counts.bytes);
}

ClusterVolume::FoundCounts CFatFileSystem::Counts() const {
    return {m_foundCount, static_cast<uint32_t>(std::max<int32_t>(m_fileCount, 0)), m_foundBytes};
}

std::unique_ptr<RecoveredFileData> CFatFileSystem::FileData(const FoundItem& item,
                                                            bool folderDeleted) {
    return std::make_unique<FatFileData>(*this, item, folderDeleted);
}

void CFatFileSystem::SetScanRange(uint8_t imageFlag, uint64_t firstSector, uint64_t lastSector) {
    m_lastSector = lastSector;
    m_totalSectors = lastSector >= firstSector ? lastSector - firstSector + 1 : 0;
    m_drive = 0;
    std::string imagePath;
    if (const DriveNode* node = SelectedDrive()) {
        if (const PhysicalDiskInfo* disk = node->Physical())
            m_drive = disk->drive;
        else if (const LogicalDriveInfo* volume = node->Logical())
            m_drive = volume->drive;
        if (imageFlag != 0)
            imagePath = Utf16ToUtf8(node->imagePath);
    }
    SectorSource source =
        imageFlag != 0 ? SectorSource::ForImage(imagePath) : SectorSource::ForDrive(m_drive);
    source.SetAbsoluteRange(firstSector, lastSector);
    m_source = std::move(source);
    m_nextEntryId = 2;
}

// ----------------------------------------------------------------------------------------
// Reading

uint64_t CFatFileSystem::DataAreaSectors() const {
    uint64_t system =
        static_cast<uint64_t>(m_reservedSectors) + 2ull * m_sectorsPerFat + m_rootFolderSectors;
    return m_totalSectors > system ? m_totalSectors - system : 0;
}

uint64_t CFatFileSystem::ClusterToSector(uint64_t cluster) const {
    if (cluster < 2 || cluster > UINT32_MAX)
        return UINT64_MAX; // no data cluster: every read of it fails
    return static_cast<uint64_t>(m_sectorsPerCluster) * (cluster - 2) + 2ull * m_sectorsPerFat +
           m_reservedSectors + m_rootFolderSectors;
}

int CFatFileSystem::ReadCluster(uint32_t cluster, uint16_t sectorOffset, void* buffer,
                                uint16_t sectorCount) const {
    uint64_t sector = ClusterToSector(cluster);
    if (sector == UINT64_MAX) {
        std::memset(buffer, 0, static_cast<size_t>(sectorCount) * 512);
        return 0;
    }
    return ReadSectors(sector + sectorOffset, sectorCount, buffer);
}

uint32_t CFatFileSystem::FatTableSectors() const {
    const uint64_t most = MaxFatSectors(m_table.Type(), m_totalSectors, m_reservedSectors,
                                        m_rootFolderSectors, m_sectorsPerCluster);
    return static_cast<uint32_t>(std::min<uint64_t>(m_sectorsPerFat, most));
}

int CFatFileSystem::ReadSectors(uint64_t sector, uint32_t sectorCount, void* buffer) const {
    // The source keeps reads inside the volume (or the raw range) and zero-fills failures.
    return m_source.ReadSectors(sector, sectorCount, buffer);
}

// ----------------------------------------------------------------------------------------
// Boot sector

void CFatFileSystem::ApplyBootInfo(const FatBootInfo& info) {
    m_sectorsPerCluster = info.sectorsPerCluster;
    if (info.type != FatType::Unknown)
        m_table.SetType(info.type);
    m_rootFolderSectors = info.rootFolderSectors;
    m_sectorsPerFat = info.sectorsPerFat;
    m_rootCluster = info.rootCluster;
    m_reservedSectors = info.reservedSectors;
}

int CFatFileSystem::CheckFatSignatures() {
    uint8_t sector[512];
    if (ReadSectors(m_reservedSectors, 1, sector) && HasFatSignature(sector))
        return 0;
    if (ReadSectors(static_cast<uint64_t>(m_reservedSectors) + m_sectorsPerFat, 1, sector) &&
        HasFatSignature(sector))
        return 1;
    return 2;
}

// ----------------------------------------------------------------------------------------
// Allocation table

uint32_t CFatFileSystem::EndMark() const {
    return m_table.EndMark();
}

uint32_t CFatFileSystem::BadClusterMark() const {
    return m_table.BadClusterMark();
}

std::optional<uint32_t> CFatFileSystem::FatEntry(uint32_t cluster) const {
    return m_table.Entry(cluster);
}

void CFatFileSystem::ChooseLinkingMode() {
    uint8_t sector[512];
    bool fat1Signed = ReadSectors(m_reservedSectors, 1, sector) && HasFatSignature(sector);
    bool fat2Signed =
        ReadSectors(static_cast<uint64_t>(m_reservedSectors) + m_sectorsPerFat, 1, sector) &&
        HasFatSignature(sector);
    bool fat1Usable = fat1Signed;

    if (fat1Signed && fat2Signed) {
        const std::u16string activity = ProgramString(kCompareActivityId);
        ScanLog::Started(Window(), activity);
        uint32_t mismatch = 0;
        std::vector<uint8_t> fat1, fat2;
        if (CompareFatCopies(mismatch, fat1, fat2)) {
            LogRow(activity, ScanLog::ProcessCompleted(), ProgramString(kIdenticalCopiesId),
                   ScanLog::kImageCompleted);
            m_linkingMode = kLinkFat1;
            m_table.Assign(std::move(fat1));
            return;
        }
        LogRow(activity, ScanLog::ProcessCompleted(), ProgramString(kMismatchId),
               ScanLog::kImageCompleted);
        const std::u16string_view errorsFound = StringTable::Program().Get(kErrorsFoundId);
        uint32_t errors1 = CountFatErrors(0);
        LogRow(ProgramString(kFat1VerifiedId), u"", FormatText(errorsFound, errors1),
               ScanLog::kImageCompleted);
        uint32_t errors2 = CountFatErrors(1);
        LogRow(ProgramString(kFat2VerifiedId), u"", FormatText(errorsFound, errors2),
               ScanLog::kImageCompleted);
        if (errors2 < errors1)
            fat1Usable = false;
    }
    uint8_t mode = fat1Usable ? kLinkFat1 : fat2Signed ? kLinkFat2 : kLinkContiguous;
    SetLinkingMode(mode);
}

void CFatFileSystem::SetLinkingMode(uint8_t mode) {
    m_linkingMode = mode <= kLinkContiguous ? mode : static_cast<uint8_t>(kLinkContiguous);
    LoadFat();
}

int CFatFileSystem::CompareFatCopies(uint32_t& mismatchIndex, std::vector<uint8_t>& fat1,
                                     std::vector<uint8_t>& fat2) {
    const uint32_t sectors = FatTableSectors();
    const uint64_t bytes = static_cast<uint64_t>(sectors) * 512;
    fat1.assign(bytes, 0);
    fat2.assign(bytes, 0);
    {
        ProgressBracket progress(m_reporter, ProgramString(kCompareActivityId),
                                 sectors / kFatCompareBlock + 1);
        fat_scan::ProgressBusy busy(m_environment);
        for (uint32_t done = 0; done < sectors && !Stopped();) {
            uint32_t count = std::min(kFatCompareBlock, sectors - done);
            uint64_t first = static_cast<uint64_t>(m_reservedSectors) + done;
            uint8_t* one = fat1.data() + static_cast<size_t>(done) * 512;
            uint8_t* two = fat2.data() + static_cast<size_t>(done) * 512;
            m_source.ReadSalvaging(first, count, one);
            m_source.ReadSalvaging(first + m_sectorsPerFat, count, two);
            progress.Step();
            done += count;
        }
    }
    for (uint32_t sector = 0; sector < sectors; ++sector) {
        if (std::memcmp(fat1.data() + static_cast<size_t>(sector) * 512,
                        fat2.data() + static_cast<size_t>(sector) * 512, 512) != 0) {
            mismatchIndex = sector;
            return 0;
        }
    }
    return 1;
}

uint32_t CFatFileSystem::CountFatErrors(int copy) {
    const uint32_t sectors = FatTableSectors();
    ProgressBracket progress(
        m_reporter, FormatText(StringTable::Program().Get(kVerifyingFatId), copy + 1), sectors);
    fat_scan::ProgressBusy busy(m_environment);
    const uint64_t limit = m_clusterLimit != 0
                               ? m_clusterLimit
                               : uint64_t{sectors} * PropertiesOf(m_table.Type()).entriesPerSector;
    const uint32_t endMark = EndMark();
    std::vector<uint8_t> table(static_cast<size_t>(sectors) * 512, 0);
    std::vector<bool> readable(sectors, false);
    uint32_t errors = 0;
    uint64_t start = static_cast<uint64_t>(m_reservedSectors) + (copy == 1 ? m_sectorsPerFat : 0);
    for (uint32_t sector = 0; sector < sectors; ++sector) {
        if (ReadSectors(start + sector, 1, table.data() + static_cast<size_t>(sector) * 512))
            readable[sector] = true;
        else
            ++errors;
        progress.Step();
    }
    uint32_t entries = FatAllocationTable::EntriesIn(table.size(), m_table.Type());
    for (uint32_t cluster = 0; cluster < entries; ++cluster) {
        if (!readable[FatEntryOffset(m_table.Type(), cluster) / 512])
            continue;
        std::optional<uint32_t> value = FatAllocationTable::Decode(table, m_table.Type(), cluster);
        if (value && *value<endMark&& * value> limit)
            ++errors;
    }
    return errors;
}

void CFatFileSystem::LoadFat() {
    m_table.Clear();
    const uint32_t sectors = FatTableSectors();
    if (m_linkingMode == kLinkContiguous || sectors == 0)
        return;
    std::vector<uint8_t> table(static_cast<size_t>(sectors) * 512, 0);
    const int64_t otherOffset =
        m_linkingMode == kLinkFat2 ? -static_cast<int64_t>(m_sectorsPerFat) : m_sectorsPerFat;
    const uint64_t start =
        m_reservedSectors + (m_linkingMode == kLinkFat2 ? uint64_t{m_sectorsPerFat} : 0);

    const std::u16string activity = ProgramString(kLoadingFatId);
    ProgressBracket progress(m_reporter, activity, sectors);
    LogRow(activity, FormatText(StringTable::Program().Get(kLoadingFatCopyId), m_linkingMode + 1),
           ScanLog::ProcessStarted(), ScanLog::kImageStarted);
    fat_scan::ProgressBusy busy(m_environment);
    // FAT12 entries straddle bytes, so a sector of them is never tested for being uniform.
    const size_t width = PropertiesOf(m_table.Type()).entryBits / 8;
    const bool testUniform = m_table.Type() == FatType::Fat16 || m_table.Type() == FatType::Fat32;
    // Both copies are read in large blocks; each sector is then judged as it always was: one
    // that cannot be read, or a uniform one, takes the other copy's sector (where that one can
    // be read), so the table is the same as sector-by-sector reading gives.
    const size_t blockBytes = size_t{std::min(fat_scan::kBlockSectors, sectors)} * 512;
    BlockBuffer block = BlockBuffer::ForOverwrite(blockBytes);
    BlockBuffer other = BlockBuffer::ForOverwrite(blockBytes);
    std::vector<uint64_t> failed;
    std::vector<uint64_t> otherFailed;
    for (uint32_t done = 0; done < sectors;) {
        const uint32_t count = std::min(fat_scan::kBlockSectors, sectors - done);
        failed.clear();
        m_source.ReadSalvaging(start + done, count, block.data(), &failed);
        const uint64_t otherStart =
            static_cast<uint64_t>(static_cast<int64_t>(start + done) + otherOffset);
        bool otherRead = false;
        auto otherSector = [&](uint32_t index) -> const uint8_t* {
            if (!otherRead) {
                otherFailed.clear();
                m_source.ReadSalvaging(otherStart, count, other.data(), &otherFailed);
                otherRead = true;
            }
            if (std::binary_search(otherFailed.begin(), otherFailed.end(), otherStart + index))
                return nullptr;
            return other.data() + size_t{index} * 512;
        };
        for (uint32_t i = 0; i < count; ++i) {
            uint8_t* target = block.data() + size_t{i} * 512;
            if (std::binary_search(failed.begin(), failed.end(), start + done + i)) {
                // Unreadable in both copies: it stays zero, which ends chains instead of
                // inventing them.
                if (const uint8_t* copy = otherSector(i))
                    std::memcpy(target, copy, 512);
            } else if (testUniform) {
                bool uniform = true;
                for (size_t at = width; at + width < 512 && uniform; at += width)
                    uniform = std::memcmp(target, target + at, width) == 0;
                if (uniform)
                    if (const uint8_t* copy = otherSector(i))
                        std::memcpy(target, copy, 512);
            }
            progress.Step();
        }
        std::memcpy(table.data() + static_cast<size_t>(done) * 512, block.data(),
                    size_t{count} * 512);
        done += count;
    }
    m_table.Assign(std::move(table));
}

// ----------------------------------------------------------------------------------------
// Chains and the cluster-usage map

std::vector<uint32_t> CFatFileSystem::GetClusterChain(uint32_t firstCluster) const {
    if (m_linkingMode == kLinkContiguous)
        return {firstCluster};
    return m_table.Chain(firstCluster, m_clusterLimit != 0 ? m_clusterLimit : m_table.EntryCount());
}

ClusterList CFatFileSystem::GetFileClusters(uint32_t firstCluster, uint64_t size,
                                            bool deleted) const {
    ClusterList list;
    list.byteLength = size;
    if (!deleted && m_linkingMode != kLinkContiguous) {
        list.clusters = GetClusterChain(firstCluster);
        return list;
    }
    if (size == 0 || m_sectorsPerCluster == 0)
        return list;
    uint64_t sectors = (size + 511) / 512;
    uint64_t clusters = (sectors + m_sectorsPerCluster - 1) / m_sectorsPerCluster;
    // Never past the volume's last cluster, whatever the size or a stored limit claims.
    uint64_t limit = fat_scan::ClusterLimitOf(m_totalSectors, fat_scan::DataStartSector(*this),
                                              m_sectorsPerCluster);
    if (m_clusterLimit != 0)
        limit = std::min<uint64_t>(limit, m_clusterLimit);
    if (firstCluster < 2 || firstCluster >= limit)
        return list;
    clusters = std::min<uint64_t>(clusters, limit - firstCluster);
    list.clusters.reserve(static_cast<size_t>(clusters));
    for (uint64_t i = 0; i < clusters; ++i)
        list.clusters.push_back(static_cast<uint32_t>(firstCluster + i));
    return list;
}

void CFatFileSystem::GetLargeFileClusters(uint32_t firstCluster, const FoundItem& item) {
    const uint64_t bytesPerCluster = BytesPerCluster();
    const uint64_t needed =
        bytesPerCluster == 0 ? 0 : (item.size + bytesPerCluster - 1) / bytesPerCluster;
    Send(MakeLargeFileProgress(LargeFileProgressRequest::Stage::Open,
                               static_cast<uint32_t>(std::min<uint64_t>(needed, UINT32_MAX))));
    ClaimChain(firstCluster, needed, true);
    Send(MakeLargeFileProgress(LargeFileProgressRequest::Stage::Close, 0));
}

void CFatFileSystem::ClaimChain(uint32_t firstCluster, uint64_t limit, bool reportSteps) {
    m_table.WalkChain(firstCluster, m_clusterLimit, limit, [&](uint32_t cluster) {
        MarkClusterClaimed(cluster);
        if (reportSteps)
            Send(MakeLargeFileProgress(LargeFileProgressRequest::Stage::Step, 0));
    });
}

void CFatFileSystem::BuildClusterMap() {
    m_usage.Clear();
    if (m_linkingMode != kLinkContiguous && !m_table.Empty()) {
        // The table loaded holds FatTableSectors() sectors; the limit and the map follow it,
        // in 64 bits so that no product wraps.
        const uint64_t perSector = PropertiesOf(m_table.Type()).entriesPerSector;
        const uint64_t sectors = m_table.Bytes().size() / 512;
        m_clusterLimit = static_cast<uint32_t>(
            std::min<uint64_t>(sectors * perSector, kFatMaxClusterNumber + 2));
        m_usage.Fill(uint64_t{m_clusterLimit} + 1, FatClusterUsageMap::kUnused);
        ProgressBracket progress(m_reporter, ProgramString(kSearchingTextId),
                                 static_cast<uint32_t>(sectors));
        fat_scan::ProgressBusy busy(m_environment);
        for (uint64_t sector = 0; sector < sectors; ++sector) {
            const uint64_t first = sector * perSector;
            m_usage.MarkAllocated(m_table, first,
                                  std::min<uint64_t>(first + perSector, m_clusterLimit),
                                  m_clusterLimit);
            progress.Step();
        }
        return;
    }
    uint64_t clusters = m_sectorsPerCluster == 0 ? 0 : DataAreaSectors() / m_sectorsPerCluster;
    clusters = std::min<uint64_t>(clusters, UINT32_MAX - 3);
    m_clusterLimit = static_cast<uint32_t>(clusters + 2);
    m_usage.Fill(clusters + 3, FatClusterUsageMap::kAllocated);
}

void CFatFileSystem::MarkClusterClaimed(uint32_t cluster) {
    m_usage.Claim(cluster, m_clusterLimit);
}

uint8_t CFatFileSystem::ClusterUsage(uint32_t cluster) const {
    return m_usage.Usage(cluster);
}

void CFatFileSystem::ClaimFileClusters(uint32_t firstCluster, const FoundItem* item, bool single) {
    if (single || firstCluster == 2 || m_linkingMode == kLinkContiguous) {
        MarkClusterClaimed(firstCluster);
        return;
    }
    uint64_t needed = UINT64_MAX;
    if (item != nullptr) {
        if (item->size == 0 || item->size > m_totalSectors * 512)
            return;
        if (item->deleted) {
            MarkClusterClaimed(firstCluster);
            return;
        }
        if (item->size > kLargeFileBytes) {
            GetLargeFileClusters(firstCluster, *item);
            return;
        }
        uint64_t bytesPerCluster = BytesPerCluster();
        needed = bytesPerCluster == 0 ? 0 : (item->size + bytesPerCluster - 1) / bytesPerCluster;
    }
    ClaimChain(firstCluster, needed, false);
}

// ----------------------------------------------------------------------------------------
// Shared by the scans

uint64_t CFatFileSystem::NextEntryId() {
    return m_nextEntryId++;
}

const DriveNode* CFatFileSystem::SelectedDrive() const {
    return m_environment.selectedDrive;
}

bool CFatFileSystem::IsRebuiltVolume() const {
    return m_rebuiltGeometry;
}

void CFatFileSystem::SendFoundItem(FoundItem& item, const std::u16string& name) {
    if (m_foundCount == 0) {
        Send(MakeSetPaneWidths(345, 340));
        Send(MakeCreateProgress(ProgramString(kEntriesFoundTitleId), 100000));
        Send(MakeAddTreeRoot(0));
    }
    ++m_foundCount;
    ++m_progressCount;
    if (!item.IsFolder()) {
        ++m_fileCount;
        m_foundBytes += item.size;
    }
    Send(MakeAddFoundItem(&item, name));
    Send(MakeSetProgressText(
        FormatText(StringTable::Program().Get(kEntriesFoundCountId), m_foundCount)));
}

void CFatFileSystem::SendUpdatedItem(const FoundItem& item, const std::u16string& name) {
    Send(MakeUpdateFoundItem(&item, name));
}

void CFatFileSystem::SetTitleWithMode() {
    const uint32_t mode = m_linkingMode == kLinkFat1   ? kLinkingModeFat1Id
                          : m_linkingMode == kLinkFat2 ? kLinkingModeFat2Id
                                                       : kLinkingModeContiguousId;
    m_reporter.SetTitle(std::u16string(kProductTitle) + u" " +
                        std::u16string(StringTable::Program().Get(mode)));
}

void CFatFileSystem::FreeScanLists() {
    m_foundFolders.Clear();
    m_deletedFolders.clear();
    m_orphanFolders.Clear();
    m_folderCandidates.Clear();
    m_rawHits.clear();
}

bool CFatFileSystem::IsDeletedFolder(uint64_t firstCluster) const {
    return std::any_of(m_deletedFolders.begin(), m_deletedFolders.end(),
                       [firstCluster](const DeletedFolder& folder) {
                           return folder.firstCluster == firstCluster;
                       });
}

// ----------------------------------------------------------------------------------------
// Directory entries

FatDirectoryReader CFatFileSystem::Directory() const {
    return FatDirectoryReader(*this, {m_clusterLimit, DataAreaSectors(), Type() == FatType::Fat32});
}

bool CFatFileSystem::EntryToFoundItem(const EntryLocation& where, FoundItem& item,
                                      std::u16string& name) {
    if (!Directory().ToFoundItem(where, item, name))
        return false;
    item.entryId = NextEntryId();
    return true;
}

int CFatFileSystem::CheckEntry(std::span<const uint8_t> entry, uint32_t clusterLimit) {
    return Directory().CheckEntry(entry, clusterLimit);
}

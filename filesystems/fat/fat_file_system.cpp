#include "filesystems/fat/fat_file_system.h"

#include "diskio/disk_read_write.h"
#include "diskio/drive_node.h"
#include "diskio/image_file_reader.h"
#include "filesystems/fat/fat_short_name.h"
#include "filesystems/scan_environment.h"
#include "filesystems/scan_log.h"
#include "platform/format_text.h"
#include "platform/product_title.h"
#include "platform/string_table.h"
#include "platform/utf_conversion.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr size_t kEntrySize = 32;
constexpr size_t kMaxLongNameUnits = 260;
constexpr size_t kMaxLongNameEntries = 20; // 20 x 13 covers 260 characters
constexpr uint32_t kFatCompareBlock = 64;
// String ids of the title's "(Current Linking Mode Fat1)", "... Fat2)" and "... Contiguous)".
constexpr uint32_t kLinkingModeFat1Id = 61541;
constexpr uint32_t kLinkingModeFat2Id = 61542;
constexpr uint32_t kLinkingModeContiguousId = 61543;

uint16_t U16(std::span<const uint8_t> bytes, size_t at) {
    return static_cast<uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

uint32_t U32(std::span<const uint8_t> bytes, size_t at) {
    return static_cast<uint32_t>(bytes[at]) | (static_cast<uint32_t>(bytes[at + 1]) << 8) |
           (static_cast<uint32_t>(bytes[at + 2]) << 16) |
           (static_cast<uint32_t>(bytes[at + 3]) << 24);
}

bool HasFatSignature(const uint8_t* sector) {
    return (sector[0] == 0xF8 || sector[0] == 0xF0) && sector[1] == 0xFF && sector[2] == 0xFF;
}

uint32_t EntryFirstCluster(std::span<const uint8_t> entry) {
    return (static_cast<uint32_t>(U16(entry, 20)) << 16) | U16(entry, 26);
}

uint32_t EntriesPerFatSector(uint8_t fatType) {
    return fatType == 11 ? 128 : fatType == 4 ? 256 : 341;
}

// The checksum of an 8.3 name that its long-name parts carry.
uint8_t ShortNameChecksum(std::span<const uint8_t> entry) {
    uint8_t sum = 0;
    for (size_t i = 0; i < 11; ++i)
        sum = static_cast<uint8_t>(((sum & 1) << 7) + (sum >> 1) + entry[i]);
    return sum;
}

} // namespace

CFatFileSystem::CFatFileSystem(ScanEnvironment& environment) : m_environment(environment) {}

// ----------------------------------------------------------------------------------------
// Set-up

void CFatFileSystem::SetVolumeFromDrive(uint8_t imageFlag) {
    const DriveNode* node = SelectedDrive();
    if (node == nullptr)
        return;
    switch (node->kind) {
    case DriveKind::HardDisk:
    case DriveKind::RemovableDisk:
    case DriveKind::CdRomDrive:
    case DriveKind::DiskImage:
    case DriveKind::CdRomImage:
        return;
    default:
        break;
    }
    const LogicalDriveInfo* info = node->Logical();
    if (info == nullptr)
        return;
    m_nodeKind = static_cast<uint8_t>(node->kind);
    m_firstSector = node->kind == DriveKind::VolumeImage ? 0 : info->firstSector;
    m_totalSectors = info->totalSectors;
    m_lastSector = info->lastSector;
    m_fatType = info->partitionType;
    m_drive = info->disk;
    if (node->kind == DriveKind::VolumeImage || !node->imagePath.empty())
        m_imagePath = Utf16ToUtf8(node->imagePath);
    m_nextEntryId = 2;
    m_imageFlag = imageFlag;
    m_absoluteSectors = 0;
    Send(MakeSetPaneWidths(500, 100));
}

void CFatFileSystem::SetVolumeFromScanInfo(const FatVolumeRecord& record) {
    m_firstSector = record.firstSector;
    m_lastSector = record.lastSector;
    m_totalSectors = record.totalSectors;
    m_fatType = record.fatType;
    m_drive = record.drive;
    m_sectorsPerCluster = record.sectorsPerCluster;
    m_imageFlag = record.imageFlag;
    m_rootCluster = record.rootCluster;
    m_clusterMap.assign(record.mapSize, kClusterAllocated);
    m_sectorsPerFat = record.sectorsPerFat;
    m_linkingMode = record.linkingMode;
    m_reservedSectors = record.reservedSectors;
    m_rootFolderSectors = record.rootFolderSectors;
    m_absoluteSectors = record.absoluteSectors;
    m_imagePath = Utf16ToUtf8(record.imagePath);
    m_foundCount = 0;
    m_progressCount = 0;
    m_fileCount = 0;
    m_foundBytes = 0;
    uint64_t clusters = m_sectorsPerCluster == 0 ? 0 : DataAreaSectors() / m_sectorsPerCluster;
    m_clusterLimit = static_cast<uint32_t>(std::min<uint64_t>(clusters + 2, UINT32_MAX));
    m_nextEntryId = 2;
    Send(MakeSetPaneWidths(500, 100));
}

void CFatFileSystem::SetScanRange(uint8_t imageFlag, uint64_t firstSector, uint64_t lastSector) {
    m_firstSector = firstSector;
    m_lastSector = lastSector;
    m_totalSectors = lastSector >= firstSector ? lastSector - firstSector + 1 : 0;
    m_absoluteSectors = 1;
    m_drive = 0;
    if (const DriveNode* node = SelectedDrive()) {
        if (const PhysicalDiskInfo* disk = node->Physical())
            m_drive = disk->drive;
        else if (const LogicalDriveInfo* volume = node->Logical())
            m_drive = volume->drive;
        if (imageFlag != 0)
            m_imagePath = Utf16ToUtf8(node->imagePath);
    }
    m_nextEntryId = 2;
    m_imageFlag = imageFlag;
}

// ----------------------------------------------------------------------------------------
// Reading

uint64_t CFatFileSystem::DataAreaSectors() const {
    uint64_t system =
        static_cast<uint64_t>(m_reservedSectors) + 2ull * m_sectorsPerFat + m_rootFolderSectors;
    return m_totalSectors > system ? m_totalSectors - system : 0;
}

uint64_t CFatFileSystem::ClusterToSector(uint32_t cluster) const {
    if (cluster < 2)
        return UINT64_MAX; // no data cluster: every read of it fails
    return static_cast<uint64_t>(m_sectorsPerCluster) * (cluster - 2) + 2ull * m_sectorsPerFat +
           m_reservedSectors + m_rootFolderSectors;
}

int CFatFileSystem::ReadCluster(uint32_t cluster, uint16_t sectorOffset, void* buffer,
                                uint16_t sectorCount, const DeviceHandle* handle) {
    uint64_t sector = ClusterToSector(cluster);
    if (sector == UINT64_MAX) {
        std::memset(buffer, 0, static_cast<size_t>(sectorCount) * 512);
        return 0;
    }
    return ReadSectors(sector + sectorOffset, sectorCount, buffer, handle);
}

int CFatFileSystem::ReadSectors(uint64_t sector, uint32_t sectorCount, void* buffer,
                                const DeviceHandle* handle) {
    const size_t bytes = static_cast<size_t>(sectorCount) * 512;
    auto fail = [&] {
        std::memset(buffer, 0, bytes); // never hand back stale bytes
        return 0;
    };
    if (sectorCount == 0 || sectorCount > UINT32_MAX / 512)
        return fail();
    // A read reaching past the volume fails rather than returning someone else's sectors.
    if (m_absoluteSectors != 0) {
        if (sector < m_firstSector || sector > m_lastSector ||
            sectorCount - 1 > m_lastSector - sector)
            return fail();
    } else {
        if (sector >= m_totalSectors || sectorCount > m_totalSectors - sector)
            return fail();
        if (sector > UINT64_MAX - m_firstSector)
            return fail();
        sector += m_firstSector;
    }
    int result;
    if (m_imageFlag != 0) {
        if (handle != nullptr && handle->IsOpen())
            result = sector <= UINT64_MAX / 512 && handle->ReadAt(sector * 512, buffer, bytes);
        else
            result = ReadImageSectors(sector, buffer, sectorCount);
    } else {
        result = DiskReadWrite(m_drive, static_cast<uint32_t>(sector),
                               static_cast<uint32_t>(sector >> 32), buffer,
                               static_cast<uint32_t>(bytes), handle, 0);
    }
    return result != 0 ? 1 : fail();
}

int CFatFileSystem::ReadImageSectors(uint64_t sector, void* buffer, uint32_t sectorCount) {
    if (ImageFileReader::ReadSectors(m_imagePath, 0, sector, buffer, sectorCount))
        return 1;
    std::memset(buffer, 0, static_cast<size_t>(sectorCount) * 512);
    return 0;
}

DeviceHandle CFatFileSystem::OpenSource() const {
    if (m_imageFlag != 0)
        return DeviceHandle::OpenPath(m_imagePath);
    return OpenDiskDevice(m_drive);
}

// ----------------------------------------------------------------------------------------
// Boot sector

void CFatFileSystem::ApplyBootInfo(const FatBootInfo& info) {
    m_sectorsPerCluster = info.sectorsPerCluster;
    if (info.type == 1 || info.type == 4 || info.type == 11)
        m_fatType = info.type;
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
    return m_fatType == 11 ? 0x0FFFFFF8 : m_fatType == 4 ? 0xFFF8 : 0xFF8;
}

uint32_t CFatFileSystem::BadClusterMark() const {
    return m_fatType == 11 ? 0x0FFFFFF7 : m_fatType == 4 ? 0xFFF7 : 0xFF7;
}

namespace {

// Entry `cluster` of a FAT held in `table`; nullopt when it lies outside.
std::optional<uint32_t> DecodeFatEntry(std::span<const uint8_t> table, uint8_t fatType,
                                       uint32_t cluster) {
    if (fatType == 11) {
        uint64_t offset = static_cast<uint64_t>(cluster) * 4;
        if (offset + 3 >= table.size())
            return std::nullopt;
        return U32(table, offset) & 0x0FFFFFFF;
    }
    if (fatType == 4) {
        uint64_t offset = static_cast<uint64_t>(cluster) * 2;
        if (offset + 1 >= table.size())
            return std::nullopt;
        return U16(table, offset);
    }
    uint64_t offset = static_cast<uint64_t>(cluster) * 3 / 2;
    if (offset + 1 >= table.size())
        return std::nullopt;
    uint16_t value = U16(table, offset);
    return (cluster & 1) ? value >> 4 : value & 0x0FFF;
}

uint32_t EntriesInTable(size_t bytes, uint8_t fatType) {
    uint64_t entries = fatType == 11 ? bytes / 4 : fatType == 4 ? bytes / 2 : bytes * 2 / 3;
    return static_cast<uint32_t>(std::min<uint64_t>(entries, UINT32_MAX));
}

} // namespace

std::optional<uint32_t> CFatFileSystem::FatEntry(uint32_t cluster) const {
    return DecodeFatEntry(m_fat, m_fatType, cluster);
}

void CFatFileSystem::ChooseLinkingMode() {
    uint8_t sector[512];
    bool fat1Signed = ReadSectors(m_reservedSectors, 1, sector) && HasFatSignature(sector);
    bool fat2Signed =
        ReadSectors(static_cast<uint64_t>(m_reservedSectors) + m_sectorsPerFat, 1, sector) &&
        HasFatSignature(sector);
    bool fat1Usable = fat1Signed;

    if (fat1Signed && fat2Signed) {
        const std::u16string activity = u"Comparing FAT Copies";
        ScanLog::Started(Window(), activity);
        uint32_t mismatch = 0;
        std::vector<uint8_t> fat1, fat2;
        if (CompareFatCopies(mismatch, fat1, fat2)) {
            LogRow(activity, ScanLog::ProcessCompleted(), u"Identical copies",
                   ScanLog::kImageCompleted);
            m_linkingMode = kLinkFat1;
            m_fat = std::move(fat1);
            return;
        }
        LogRow(activity, ScanLog::ProcessCompleted(), u"Mismatch in FAT copies",
               ScanLog::kImageCompleted);
        uint32_t errors1 = CountFatErrors(0);
        LogRow(u"FAT 1 verified", u"", FormatText(u"%d %s", errors1, u"Error found"),
               ScanLog::kImageCompleted);
        uint32_t errors2 = CountFatErrors(1);
        LogRow(u"FAT 2 verified", u"", FormatText(u"%d %s", errors2, u"Error found"),
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
    const uint64_t bytes = static_cast<uint64_t>(m_sectorsPerFat) * 512;
    fat1.assign(bytes, 0);
    fat2.assign(bytes, 0);
    Send(MakeCreateProgress(u"Comparing FAT Copies", m_sectorsPerFat / kFatCompareBlock + 1));
    m_environment.progressIdle = 0;
    DeviceHandle handle = OpenSource();
    for (uint32_t done = 0; done < m_sectorsPerFat && !Stopped();) {
        uint32_t count = std::min(kFatCompareBlock, m_sectorsPerFat - done);
        uint64_t first = static_cast<uint64_t>(m_reservedSectors) + done;
        uint8_t* one = fat1.data() + static_cast<size_t>(done) * 512;
        uint8_t* two = fat2.data() + static_cast<size_t>(done) * 512;
        // A failed block is read again sector by sector, so one bad sector costs one sector.
        if (!ReadSectors(first, count, one, &handle))
            for (uint32_t s = 0; s < count; ++s)
                ReadSectors(first + s, 1, one + s * 512, &handle);
        if (!ReadSectors(first + m_sectorsPerFat, count, two, &handle))
            for (uint32_t s = 0; s < count; ++s)
                ReadSectors(first + m_sectorsPerFat + s, 1, two + s * 512, &handle);
        Send(MakeStepProgress(0));
        done += count;
    }
    Send(MakeDestroyProgress(0));
    m_environment.progressIdle = 1;
    for (uint32_t sector = 0; sector < m_sectorsPerFat; ++sector) {
        if (std::memcmp(fat1.data() + static_cast<size_t>(sector) * 512,
                        fat2.data() + static_cast<size_t>(sector) * 512, 512) != 0) {
            mismatchIndex = sector;
            return 0;
        }
    }
    return 1;
}

uint32_t CFatFileSystem::CountFatErrors(int copy) {
    Send(MakeCreateProgress(FormatText(u"%s %d", u"Verifying FAT", copy + 1), m_sectorsPerFat));
    m_environment.progressIdle = 0;
    uint32_t limit =
        m_clusterLimit != 0 ? m_clusterLimit : m_sectorsPerFat * EntriesPerFatSector(m_fatType);
    const uint32_t endMark = EndMark();
    std::vector<uint8_t> table(static_cast<size_t>(m_sectorsPerFat) * 512, 0);
    std::vector<bool> readable(m_sectorsPerFat, false);
    uint32_t errors = 0;
    DeviceHandle handle = OpenSource();
    uint64_t start = static_cast<uint64_t>(m_reservedSectors) + (copy == 1 ? m_sectorsPerFat : 0);
    for (uint32_t sector = 0; sector < m_sectorsPerFat; ++sector) {
        if (ReadSectors(start + sector, 1, table.data() + static_cast<size_t>(sector) * 512,
                        &handle))
            readable[sector] = true;
        else
            ++errors;
        Send(MakeStepProgress(0));
    }
    uint32_t entries = EntriesInTable(table.size(), m_fatType);
    for (uint32_t cluster = 0; cluster < entries; ++cluster) {
        uint64_t offset = m_fatType == 11  ? static_cast<uint64_t>(cluster) * 4
                          : m_fatType == 4 ? static_cast<uint64_t>(cluster) * 2
                                           : static_cast<uint64_t>(cluster) * 3 / 2;
        if (!readable[offset / 512])
            continue;
        std::optional<uint32_t> value = DecodeFatEntry(table, m_fatType, cluster);
        if (value && *value<endMark&& * value> limit)
            ++errors;
    }
    Send(MakeDestroyProgress(0));
    m_environment.progressIdle = 1;
    return errors;
}

void CFatFileSystem::LoadFat() {
    m_fat.clear();
    m_fat.shrink_to_fit();
    if (m_linkingMode == kLinkContiguous || m_sectorsPerFat == 0)
        return;
    m_fat.assign(static_cast<size_t>(m_sectorsPerFat) * 512, 0);
    const int64_t otherOffset =
        m_linkingMode == kLinkFat2 ? -static_cast<int64_t>(m_sectorsPerFat) : m_sectorsPerFat;
    const uint64_t start =
        m_reservedSectors + (m_linkingMode == kLinkFat2 ? uint64_t{m_sectorsPerFat} : 0);

    Send(MakeCreateProgress(u"Loading FAT", m_sectorsPerFat));
    LogRow(u"Loading FAT", FormatText(u"%s %d", u"Loading FAT", m_linkingMode + 1),
           ScanLog::ProcessStarted(), ScanLog::kImageStarted);
    m_environment.progressIdle = 0;
    DeviceHandle handle = OpenSource();
    uint8_t other[512];
    for (uint32_t sector = 0; sector < m_sectorsPerFat; ++sector) {
        uint8_t* target = m_fat.data() + static_cast<size_t>(sector) * 512;
        uint64_t otherSector =
            static_cast<uint64_t>(static_cast<int64_t>(start + sector) + otherOffset);
        bool read = ReadSectors(start + sector, 1, target, &handle) != 0;
        if (!read) {
            // Unreadable in both copies: it stays zero, which ends chains instead of inventing
            // them.
            ReadSectors(otherSector, 1, target, &handle);
        } else if (m_fatType == 4 || m_fatType == 11) {
            size_t width = m_fatType == 4 ? 2 : 4;
            bool uniform = true;
            for (size_t at = width; at + width < 512 && uniform; at += width)
                uniform = std::memcmp(target, target + at, width) == 0;
            if (uniform && ReadSectors(otherSector, 1, other, &handle))
                std::memcpy(target, other, 512);
        }
        Send(MakeStepProgress(0));
    }
    Send(MakeDestroyProgress(0));
    m_environment.progressIdle = 1;
}

// ----------------------------------------------------------------------------------------
// Chains and the cluster-usage map

std::vector<uint32_t> CFatFileSystem::GetClusterChain(uint32_t firstCluster) const {
    std::vector<uint32_t> chain;
    if (m_linkingMode == kLinkContiguous) {
        chain.push_back(firstCluster);
        return chain;
    }
    const uint32_t endMark = EndMark();
    uint32_t limit = m_clusterLimit != 0 ? m_clusterLimit : EntriesInTable(m_fat.size(), m_fatType);
    std::vector<bool> seen(limit, false);
    uint32_t cluster = firstCluster;
    while (cluster > 1 && cluster < endMark) {
        if (cluster >= limit || seen[cluster])
            break;
        seen[cluster] = true;
        chain.push_back(cluster);
        std::optional<uint32_t> next = FatEntry(cluster);
        if (!next)
            break;
        cluster = *next;
    }
    return chain;
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
    uint64_t limit = m_clusterLimit != 0 ? m_clusterLimit : UINT32_MAX;
    for (uint64_t i = 0; i < clusters && firstCluster + i < limit; ++i)
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
    const uint32_t endMark = EndMark();
    std::vector<bool> seen(m_clusterLimit, false);
    uint32_t cluster = firstCluster;
    for (uint64_t claimed = 0; claimed < limit; ++claimed) {
        if (cluster < 2 || cluster >= endMark || cluster >= m_clusterLimit || seen[cluster])
            break;
        seen[cluster] = true;
        MarkClusterClaimed(cluster);
        if (reportSteps)
            Send(MakeLargeFileProgress(LargeFileProgressRequest::Stage::Step, 0));
        std::optional<uint32_t> next = FatEntry(cluster);
        if (!next)
            break;
        cluster = *next;
    }
}

void CFatFileSystem::BuildClusterMap() {
    m_clusterMap.clear();
    if (m_linkingMode != kLinkContiguous && !m_fat.empty()) {
        const uint32_t perSector = EntriesPerFatSector(m_fatType);
        m_clusterLimit = m_sectorsPerFat * perSector;
        m_clusterMap.assign(static_cast<size_t>(m_clusterLimit) + 1, kClusterUnused);
        const uint32_t bad = BadClusterMark();
        Send(MakeCreateProgress(u"Searching for critical information..", m_sectorsPerFat));
        m_environment.progressIdle = 0;
        for (uint32_t sector = 0; sector < m_sectorsPerFat; ++sector) {
            uint32_t first = sector * perSector;
            for (uint32_t cluster = first; cluster < first + perSector; ++cluster) {
                std::optional<uint32_t> value = FatEntry(cluster);
                if (value && *value != 0 && *value != bad && cluster > 1 &&
                    cluster < m_clusterLimit)
                    m_clusterMap[cluster] = kClusterAllocated;
            }
            Send(MakeStepProgress(0));
        }
        Send(MakeDestroyProgress(0));
        m_environment.progressIdle = 1;
        return;
    }
    uint64_t clusters = m_sectorsPerCluster == 0 ? 0 : DataAreaSectors() / m_sectorsPerCluster;
    clusters = std::min<uint64_t>(clusters, UINT32_MAX - 3);
    m_clusterLimit = static_cast<uint32_t>(clusters + 2);
    m_clusterMap.assign(static_cast<size_t>(clusters) + 3, kClusterAllocated);
}

void CFatFileSystem::MarkClusterClaimed(uint32_t cluster) {
    if (cluster > 1 && cluster < m_clusterLimit && cluster < m_clusterMap.size())
        m_clusterMap[cluster] = kClusterClaimed;
}

uint8_t CFatFileSystem::ClusterUsage(uint32_t cluster) const {
    return cluster < m_clusterMap.size() ? m_clusterMap[cluster]
                                         : static_cast<uint8_t>(kClusterUnused);
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
// Directory entries

bool CFatFileSystem::EntryToFoundItem(const EntryLocation& where, FoundItem& item,
                                      std::u16string& name) {
    if (where.offset > where.buffer.size() || where.buffer.size() - where.offset < kEntrySize)
        return false;
    std::span<const uint8_t> entry = where.buffer.subspan(where.offset, kEntrySize);
    const uint8_t attributes = entry[11];
    if (entry[0] == '.' || entry[0] == 0 || attributes == 0x0F || (attributes & 0x08) != 0)
        return false;
    const uint32_t firstCluster = EntryFirstCluster(entry);
    if (firstCluster < 2 || firstCluster >= m_clusterLimit)
        return false;
    const uint32_t size = U32(entry, 28);
    if (size > DataAreaSectors() * 512)
        return false;

    const bool deleted = entry[0] == 0xE5;
    item = FoundItem{};
    item.entryId = NextEntryId();
    item.firstCluster = firstCluster;
    item.attributes = attributes;
    item.size = item.IsFolder() ? 0 : size;
    if (m_fatType == 11) {
        item.createdTime = U16(entry, 14);
        item.createdDate = U16(entry, 16);
        item.lastAccess = U16(entry, 18);
        item.modifiedTime = U16(entry, 22);
        item.modifiedDate = U16(entry, 24);
    } else {
        item.createdTime = item.modifiedTime = U16(entry, 22);
        item.createdDate = item.modifiedDate = item.lastAccess = U16(entry, 24);
    }
    item.deleted = deleted ? 1 : 0;
    name = ReadLongName(where);
    if (name.empty())
        name = FatShortName::Decode(entry, deleted);
    return true;
}

std::u16string CFatFileSystem::ReadLongName(const EntryLocation& where) {
    // The long-name parts precede the entry, last part first. Gather the bytes before the
    // entry: the rest of its own buffer and, at the start of a cluster, the tail of the
    // folder's previous clusters.
    constexpr size_t kNeeded = kMaxLongNameEntries * kEntrySize;
    std::vector<uint8_t> before(where.buffer.begin(),
                                where.buffer.begin() + static_cast<std::ptrdiff_t>(where.offset));
    const size_t clusterBytes = BytesPerCluster();
    for (uint32_t cluster : {where.previousCluster, where.clusterBeforePrevious}) {
        if (before.size() >= kNeeded || cluster < 2 || clusterBytes == 0)
            break;
        size_t sectorsWanted =
            std::min<size_t>((kNeeded - before.size() + 511) / 512, m_sectorsPerCluster);
        std::vector<uint8_t> tail(sectorsWanted * 512);
        if (!ReadCluster(cluster, static_cast<uint16_t>(m_sectorsPerCluster - sectorsWanted),
                         tail.data(), static_cast<uint16_t>(sectorsWanted)))
            break;
        before.insert(before.begin(), tail.begin(), tail.end());
        if (sectorsWanted < m_sectorsPerCluster)
            break; // this cluster had enough
    }

    std::span<const uint8_t> entry = where.buffer.subspan(where.offset, kEntrySize);
    const bool deleted = entry[0] == 0xE5;
    // A deleted entry's first byte is gone, so its checksum cannot be recomputed: its parts
    // must then be deleted too and agree among themselves.
    std::optional<uint8_t> checksum;
    if (!deleted)
        checksum = ShortNameChecksum(entry);
    std::u16string name;
    bool complete = deleted; // deleted parts carry no sequence numbers to tell the last one
    size_t position = before.size();
    for (size_t parts = 0; parts < kMaxLongNameEntries && position >= kEntrySize; ++parts) {
        position -= kEntrySize;
        const uint8_t* part = before.data() + position;
        if (part[11] != 0x0F || (deleted && part[0] != 0xE5))
            break;
        if (checksum && part[13] != *checksum)
            break;
        checksum = part[13];
        // A live part carries its sequence number; deleted parts lost it to the 0xE5 mark.
        if (!deleted && (part[0] & 0x1F) != parts + 1)
            break;
        static constexpr size_t kOffsets[13] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};
        bool ended = false;
        for (size_t offset : kOffsets) {
            char16_t unit = static_cast<char16_t>(part[offset] | (part[offset + 1] << 8));
            if (unit == 0 || unit == 0xFFFF) {
                ended = true;
                break;
            }
            if (name.size() < kMaxLongNameUnits)
                name.push_back(unit);
        }
        if (!deleted && (part[0] & 0x40) != 0) {
            complete = true;
            break;
        }
        if (ended)
            break;
    }
    // A live name whose last part was not reached is a fragment: the 8.3 name is better.
    return complete ? name : std::u16string();
}

int CFatFileSystem::CheckEntry(std::span<const uint8_t> entry, uint32_t clusterLimit) {
    if (entry.size() < kEntrySize)
        return 0;
    const uint8_t attributes = entry[11];
    if (attributes == 0x0F || attributes > 0x3F)
        return 0;
    const uint32_t firstCluster = EntryFirstCluster(entry);
    if (firstCluster > clusterLimit)
        return 0;
    const uint32_t size = U32(entry, 28);
    const bool folder = (attributes & 0x10) != 0;
    if (folder && size != 0)
        return 0;
    if ((static_cast<uint64_t>(size) + 511) / 512 > DataAreaSectors())
        return 0;
    for (size_t i = 0; i < 11; ++i)
        if (entry[i] == 0)
            return 0;
    const uint16_t date = U16(entry, 24);
    const unsigned month = (date >> 5) & 0x0F;
    const unsigned day = date & 0x1F;
    if (date == 0 || month < 1 || month > 12 || day < 1 || day > 31)
        return 0;
    if (folder) {
        std::vector<uint8_t> first(512);
        if (!ReadCluster(firstCluster, 0, first.data(), 1) || first[0] != '.' || first[32] != '.')
            return 0;
    }
    return ((attributes & 0x08) != 0 || firstCluster < 2) ? 2 : 1;
}

// ----------------------------------------------------------------------------------------
// Shared by the scans

JobWindow* CFatFileSystem::Window() const {
    return m_environment.window;
}

void CFatFileSystem::LogRow(const std::u16string& activity, const std::u16string& description,
                            const std::u16string& status, int image) const {
    if (m_environment.window != nullptr)
        m_environment.window->AddLogLine(activity, description, status, image);
}

bool CFatFileSystem::Stopped() const {
    return m_environment.StopRequested();
}

void CFatFileSystem::Send(JobMessage message) const {
    if (m_environment.window != nullptr)
        m_environment.window->Send(message);
}

uint64_t CFatFileSystem::NextEntryId() {
    return m_nextEntryId++;
}

const DriveNode* CFatFileSystem::SelectedDrive() const {
    return m_environment.selectedDrive;
}

bool CFatFileSystem::IsRebuiltVolume() const {
    return m_nodeKind == static_cast<uint8_t>(DriveKind::RebuiltVolume);
}

void CFatFileSystem::SendFoundItem(FoundItem& item, const std::u16string& name) {
    if (m_foundCount == 0) {
        Send(MakeSetPaneWidths(345, 340));
        Send(MakeCreateProgress(m_environment.progressLabel, 100000));
        Send(MakeAddTreeRoot(0));
    }
    ++m_foundCount;
    ++m_progressCount;
    if (!item.IsFolder()) {
        ++m_fileCount;
        m_foundBytes += item.size;
    }
    Send(MakeAddFoundItem(&item, name));
    Send(MakeSetProgressText(FormatText(u"%d %s", m_foundCount, m_environment.entriesFoundText)));
}

void CFatFileSystem::SendUpdatedItem(const FoundItem& item, const std::u16string& name) {
    Send(MakeUpdateFoundItem(&item, name));
}

void CFatFileSystem::SetTitleWithMode() {
    const uint32_t mode = m_linkingMode == kLinkFat1   ? kLinkingModeFat1Id
                          : m_linkingMode == kLinkFat2 ? kLinkingModeFat2Id
                                                       : kLinkingModeContiguousId;
    if (Window() != nullptr)
        Window()->SetTitle(std::u16string(kProductTitle) + u" " +
                           std::u16string(StringTable::Program().Get(mode)));
}

void CFatFileSystem::ShowMessage(const std::u16string& text, int icon) {
    if (Window() != nullptr)
        Window()->AskMessageBox(text, kProductTitle, static_cast<MessageBoxIcon>(icon),
                                MessageBoxButtons::Ok, true);
}

void CFatFileSystem::FreeScanLists() {
    m_foundFolders.clear();
    m_foundFolderIndex.clear();
    m_deletedFolders.clear();
    m_orphanFolders.clear();
    m_folderCandidates.clear();
    m_rawHits.clear();
}

bool CFatFileSystem::IsFoundFolder(uint64_t firstCluster) const {
    return m_foundFolderIndex.count(firstCluster) != 0;
}

bool CFatFileSystem::IsDeletedFolder(uint64_t firstCluster) const {
    return std::any_of(m_deletedFolders.begin(), m_deletedFolders.end(),
                       [firstCluster](const DeletedFolder& folder) {
                           return folder.firstCluster == firstCluster;
                       });
}

void CFatFileSystem::AddFoundFolder(uint64_t firstCluster, uint64_t entryId, uint64_t parentId) {
    if (IsFoundFolder(firstCluster))
        return;
    m_foundFolderIndex.emplace(firstCluster, m_foundFolders.size());
    m_foundFolders.push_back({firstCluster, entryId, parentId});
}

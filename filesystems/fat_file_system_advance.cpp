// The advance scan: it does not trust the boot sector. The geometry is rebuilt from the folder
// clusters found on the volume, then every cluster is read and folders are rebuilt from their
// "." and ".." entries; lost, root, broken and signature-recognised items follow.

#include "filesystems/fat_file_system.h"

#include "diskio/drive_node.h"
#include "filesystems/scan_environment.h"
#include "filesystems/scan_log.h"
#include "platform/format_text.h"
#include "platform/job_messages.h"
#include "platform/message_box_icon.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <map>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

namespace {

constexpr size_t kEntryBytes = 32;
constexpr size_t kSectorBytes = 512;
constexpr uint32_t kBlockSectors = 2048;
// Below this many sectors the lost-folder search reads one cluster at a time.
constexpr uint64_t kSmallVolumeSectors = 3000;
constexpr size_t kMaxFolderCandidates = 50;
constexpr uint32_t kStatusEveryClusters = 32;
constexpr uint32_t kRawFilesPerFolder = 2500;
// A FAT folder holds at most 65536 entries: 2 MiB.
constexpr uint64_t kMaxFolderBytes = 65536ull * kEntryBytes;
// Largest cluster number any FAT can hold.
constexpr uint64_t kMaxClusterNumber = 0x0FFFFFF6;

constexpr char16_t kInvalidVolumeText[] =
    u"Not a valid logical drive, or critical data structure are badly corrupted for this drive.";
constexpr char16_t kGeometryActivity[] = u"Calculating system parameters";
constexpr char16_t kGeometryProgress[] = u"Searching for critical information..";
constexpr char16_t kTreeActivity[] = u"Creating directory tree";
constexpr char16_t kLostActivity[] = u"Adding lost file(s) and folder(s)";
constexpr char16_t kRootActivity[] = u"Adding Root File(s)";
constexpr char16_t kBrokenActivity[] = u"Adding Broken File(s) and Folder(s)";
constexpr char16_t kReadingCluster[] = u"Reading cluster ";
constexpr char16_t kOf[] = u" of ";

bool IsDotName(const uint8_t* entry) {
    return std::memcmp(entry, ".       ", 8) == 0;
}
bool IsDotDotName(const uint8_t* entry) {
    return std::memcmp(entry, "..      ", 8) == 0;
}

uint16_t ReadU16(const uint8_t* bytes) {
    return static_cast<uint16_t>(bytes[0] | (bytes[1] << 8));
}

// The first cluster an entry names. FAT12 and FAT16 keep other data in the high word.
uint32_t EntryCluster(const uint8_t* entry, bool withHighWord) {
    const uint32_t low = ReadU16(entry + 26);
    return withHighWord ? (static_cast<uint32_t>(ReadU16(entry + 20)) << 16) | low : low;
}

bool HasFatSignature(const uint8_t* sector) {
    return (sector[0] == 0xF8 || sector[0] == 0xF0) && sector[1] == 0xFF && sector[2] == 0xFF;
}

bool IsAllZero(std::span<const uint8_t> bytes) {
    return std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == 0; });
}

bool IsPowerOfTwoUpTo128(uint64_t value) {
    return value >= 1 && value <= 128 && (value & (value - 1)) == 0;
}

uint64_t DataStartSector(const CFatFileSystem& volume) {
    return uint64_t{volume.ReservedSectors()} + 2ull * volume.SectorsPerFat() +
           volume.RootFolderSectors();
}

// Cluster limit of a geometry: the number of clusters that fit in the volume, plus 2.
uint32_t ClusterLimitOf(uint64_t totalSectors, uint64_t dataStart, uint32_t sectorsPerCluster) {
    if (sectorsPerCluster == 0 || totalSectors <= dataStart)
        return 2;
    return static_cast<uint32_t>(
        std::min<uint64_t>((totalSectors - dataStart) / sectorsPerCluster, kMaxClusterNumber) + 2);
}

// The last cluster that lies inside both the cluster limit and the volume; below 2 when none.
uint32_t LastDataCluster(const CFatFileSystem& volume) {
    const uint32_t limit = volume.ClusterLimit();
    if (limit < 3)
        return 1;
    const uint32_t volumeLimit =
        ClusterLimitOf(volume.TotalSectors(), DataStartSector(volume), volume.SectorsPerCluster());
    return std::min(limit, volumeLimit) - 1;
}

const DeviceHandle* UsableHandle(const DeviceHandle& handle) {
    return handle.IsOpen() ? &handle : nullptr;
}

// Reads sectors of the volume; a failed read is repeated sector by sector, and sectors that
// still fail are zero-filled. False when any sector failed.
bool ReadSectorsOneByOneOnFailure(CFatFileSystem& volume, const DeviceHandle* handle,
                                  uint64_t sector, uint32_t count, uint8_t* buffer) {
    if (volume.ReadSectors(sector, count, buffer, handle) != 0)
        return true;
    bool all = true;
    for (uint32_t i = 0; i < count; ++i) {
        uint8_t* target = buffer + size_t{i} * kSectorBytes;
        if (volume.ReadSectors(sector + i, 1, target, handle) == 0) {
            std::memset(target, 0, kSectorBytes);
            all = false;
        }
    }
    return all;
}

// Hands out the volume's clusters one at a time while reading them in large blocks through
// one handle. A block that fails is read again cluster by cluster, so one bad sector costs
// one cluster, not the block.
class ClusterBlockReader {
public:
    ClusterBlockReader(CFatFileSystem& volume, const DeviceHandle* handle, uint32_t blockSectors)
        : m_volume(volume), m_handle(handle), m_last(LastDataCluster(volume)),
          m_dataStart(DataStartSector(volume)), m_sectorsPerCluster(volume.SectorsPerCluster()) {
        m_blockClusters = m_sectorsPerCluster == 0
                              ? 1
                              : std::max<uint32_t>(1, blockSectors / m_sectorsPerCluster);
    }

    uint32_t LastCluster() const { return m_last; }
    uint32_t BlockClusters() const { return m_blockClusters; }

    // The bytes of a cluster; empty when it lies outside the volume or cannot be read.
    std::span<const uint8_t> Cluster(uint32_t cluster) {
        if (cluster < 2 || cluster > m_last || m_sectorsPerCluster == 0)
            return {};
        if (m_loadedCount == 0 || cluster < m_loadedFirst ||
            cluster - m_loadedFirst >= m_loadedCount)
            Load(2 + (cluster - 2) / m_blockClusters * m_blockClusters);
        const uint32_t index = cluster - m_loadedFirst;
        if (!m_readable[index])
            return {};
        const size_t bytes = size_t{m_sectorsPerCluster} * kSectorBytes;
        return std::span<const uint8_t>(m_buffer.data() + index * bytes, bytes);
    }

private:
    void Load(uint32_t first) {
        const uint32_t count = static_cast<uint32_t>(
            std::min<uint64_t>(m_blockClusters, uint64_t{m_last} - first + 1));
        const size_t clusterBytes = size_t{m_sectorsPerCluster} * kSectorBytes;
        m_buffer.assign(size_t{count} * clusterBytes, 0);
        m_readable.assign(count, 1);
        m_loadedFirst = first;
        m_loadedCount = count;
        const uint64_t sector = m_dataStart + uint64_t{first - 2} * m_sectorsPerCluster;
        if (m_volume.ReadSectors(sector, count * m_sectorsPerCluster, m_buffer.data(), m_handle) !=
            0)
            return;
        for (uint32_t i = 0; i < count; ++i) {
            uint8_t* target = m_buffer.data() + i * clusterBytes;
            if (m_volume.ReadSectors(sector + uint64_t{i} * m_sectorsPerCluster,
                                     m_sectorsPerCluster, target, m_handle) == 0) {
                std::memset(target, 0, clusterBytes);
                m_readable[i] = 0;
            }
        }
    }

    CFatFileSystem& m_volume;
    const DeviceHandle* m_handle;
    uint32_t m_last;
    uint64_t m_dataStart;
    uint32_t m_sectorsPerCluster;
    uint32_t m_blockClusters = 1;
    uint32_t m_loadedFirst = 0;
    uint32_t m_loadedCount = 0;
    std::vector<uint8_t> m_buffer;
    std::vector<uint8_t> m_readable;
};

FoundItem FolderItem(uint64_t entryId, uint64_t parentId, uint64_t firstCluster, bool deleted) {
    FoundItem item;
    item.entryId = entryId;
    item.parentId = parentId;
    item.firstCluster = firstCluster;
    item.attributes = FoundItem::kFolderAttribute;
    item.deleted = deleted ? 1 : 0;
    return item;
}

std::u16string ClusterName(uint64_t cluster) {
    return FormatText(u"%08lu", cluster);
}

// The found-folder record of a first cluster, or null. Templated so the record type need not
// be named here.
template <typename Folders, typename Index>
auto FoundFolderOf(const Folders& folders, const Index& index, uint64_t firstCluster)
    -> decltype(&folders[0]) {
    const auto it = index.find(firstCluster);
    if (it == index.end() || it->second >= folders.size())
        return nullptr;
    return &folders[it->second];
}

// The FAT type a partition type stands for; 0 for none.
uint8_t FatTypeOfPartition(uint8_t partitionType) {
    switch (partitionType) {
    case 1:
        return 1;
    case 2:
    case 11:
    case 12:
    case 14:
        return 11;
    case 4:
    case 6:
        return 4;
    default:
        return 0;
    }
}

// One layout tried by the geometry search.
struct TriedLayout {
    uint8_t fatType = 4;
    uint32_t reservedSectors = 1;
    uint32_t rootFolderSectors = 32;
    uint32_t sectorsPerFat = 0;
};

// Sectors (relative to the volume) that begin with a FAT signature, in increasing order.
using SignatureSectors = std::vector<uint32_t>;

bool HasSignatureAt(const SignatureSectors& sectors, uint64_t sector) {
    return std::binary_search(sectors.begin(), sectors.end(), sector);
}

// The reserved count when the first FAT starts inside the first `window` sectors: the last
// signature there that has a matching second FAT, else the last signature there. 0 when none.
uint32_t ReservedFromFirstFat(const SignatureSectors& sectors, uint32_t window, uint32_t start,
                              uint32_t rootSectors) {
    uint32_t last = 0;
    uint32_t consistent = 0;
    for (uint32_t sector : sectors) {
        if (sector == 0)
            continue;
        if (sector >= window)
            break;
        last = sector;
        if (uint64_t{sector} + rootSectors < start) {
            const uint64_t fatSectors = (start - sector - rootSectors) / 2;
            if (fatSectors > 0 && HasSignatureAt(sectors, sector + fatSectors))
                consistent = sector;
        }
    }
    return consistent != 0 ? consistent : last;
}

// The reserved count derived from the second FAT when the first is gone: the second FAT
// begins at reserved + sectors per FAT, halfway between the reserved sectors and the root
// folder. 0 when no signature lies where it can be.
uint32_t ReservedFromSecondFat(const SignatureSectors& sectors, uint32_t start,
                               uint32_t rootSectors) {
    if (start <= rootSectors + 2)
        return 0;
    const uint32_t fatsEnd = start - rootSectors;
    const uint32_t from = (fatsEnd + 1) / 2;
    const auto it = std::lower_bound(sectors.begin(), sectors.end(), from);
    if (it == sectors.end() || *it >= fatsEnd)
        return 0;
    const uint64_t reserved = 2ull * *it - fatsEnd;
    return reserved >= 1 ? static_cast<uint32_t>(reserved) : 0;
}

// The layout a data-area start suggests: its type by the room before the data area, the
// reserved count by where a FAT signature is found, the FAT size from what remains.
TriedLayout LayoutForStart(const SignatureSectors& sectors, uint32_t start) {
    TriedLayout layout;
    const int64_t room = int64_t{start} - layout.reservedSectors - layout.rootFolderSectors;
    uint32_t window = 0;
    if (room >= 534) {
        layout.fatType = 11;
        layout.reservedSectors = 32;
        layout.rootFolderSectors = 0;
        window = 63;
    } else if (room > 37) {
        layout.fatType = 4;
        layout.reservedSectors = 20;
        layout.rootFolderSectors = 32;
        window = 20;
    } else {
        // FAT12: one reserved sector; the second FAT's signature gives the FAT size and so the
        // root folder's.
        layout.fatType = 1;
        layout.reservedSectors = 1;
        for (uint32_t sector : sectors) {
            if (sector < 2)
                continue;
            const uint64_t fatSectors = sector - 1;
            if (fatSectors > 19 || 1 + 2 * fatSectors >= start)
                break;
            layout.sectorsPerFat = static_cast<uint32_t>(fatSectors);
            layout.rootFolderSectors = static_cast<uint32_t>(start - 1 - 2 * fatSectors);
            return layout;
        }
        // No second FAT: the diskette's 14 root sectors, or 32 where they leave room.
        layout.rootFolderSectors = start >= 1 + 32 + 2 ? 32 : 14;
        if (start > 1 + layout.rootFolderSectors)
            layout.sectorsPerFat = (start - 1 - layout.rootFolderSectors) / 2;
        return layout;
    }
    uint32_t reserved = ReservedFromFirstFat(sectors, window, start, layout.rootFolderSectors);
    if (reserved == 0)
        reserved = ReservedFromSecondFat(sectors, start, layout.rootFolderSectors);
    if (reserved != 0)
        layout.reservedSectors = reserved;
    if (uint64_t{layout.reservedSectors} + layout.rootFolderSectors < start)
        layout.sectorsPerFat = (start - layout.reservedSectors - layout.rootFolderSectors) / 2;
    return layout;
}

bool LayoutAccepted(const TriedLayout& layout, uint32_t start, uint32_t sectorsPerCluster,
                    uint64_t totalSectors) {
    const uint64_t perFatSector = layout.fatType == 1 ? 768 : layout.fatType == 4 ? 256 : 128;
    const uint64_t tableClusters = uint64_t{layout.sectorsPerFat} * perFatSector;
    const uint64_t total = totalSectors != 0 ? totalSectors : tableClusters * sectorsPerCluster;
    if (total <= start || (total - start) / sectorsPerCluster >= tableClusters)
        return false;
    switch (layout.fatType) {
    case 11:
        return layout.reservedSectors >= 32 && layout.sectorsPerFat > 266;
    case 4:
        return layout.reservedSectors <= 20 && layout.sectorsPerFat <= 266;
    default:
        return layout.reservedSectors == 1 && layout.sectorsPerFat <= 19;
    }
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Entry and geometry

void CFatFileSystem::AdvanceScan() {
    m_walkedClusters.clear();
    m_walkDepth = 0;
    if (IsRebuiltVolume()) {
        TakeRebuiltGeometry();
        const DriveNode* node = SelectedDrive();
        const LogicalDriveInfo* info = node != nullptr ? node->Logical() : nullptr;
        uint8_t type = info != nullptr ? FatTypeOfPartition(info->partitionType) : 0;
        if (type == 0) // an unknown partition type: tell the type by the layout
            type = m_reservedSectors >= 32 ? 11 : m_sectorsPerFat <= 12 ? 1 : 4;
        m_fatType = type;
        if (m_sectorsPerCluster != 0 && m_sectorsPerFat != 0)
            ChooseLinkingMode();
    } else {
        const bool found = FindFolderCandidates();
        // A search the user stopped has already logged so; there is nothing to complain about.
        if (!found && Stopped())
            return;
    }
    if (m_sectorsPerCluster == 0 || m_sectorsPerFat == 0) {
        if (m_environment.flags != nullptr) {
            m_environment.flags->stoppable = false;
            m_environment.flags->stopRequested = false;
        }
        m_environment.progressIdle = 1;
        ShowMessage(kInvalidVolumeText, static_cast<int>(MessageBoxIcon::Error));
        return;
    }
    SetTitleWithMode();
    AdvanceTreePass();
}

void CFatFileSystem::TakeRebuiltGeometry() {
    const DriveNode* node = SelectedDrive();
    const LogicalDriveInfo* info = node != nullptr ? node->Logical() : nullptr;
    if (info == nullptr)
        return;
    const FoundVolumeFields& found = info->foundVolume;
    // A damaged record must not give a cluster size that cannot be: callers see 0 and stop.
    m_sectorsPerCluster =
        IsPowerOfTwoUpTo128(found.sectorsPerCluster) ? found.sectorsPerCluster : 0;
    m_sectorsPerFat = found.sectorsPerFat;
    m_reservedSectors = found.reservedSectors;
    m_rootFolderSectors = found.rootFolderSectors;
    if (found.rootCluster >= 2)
        m_rootCluster = found.rootCluster;
    m_clusterLimit = ClusterLimitOf(m_totalSectors, DataStartSector(*this), m_sectorsPerCluster);
}

bool CFatFileSystem::FindFolderCandidates() {
    m_folderCandidates.clear();
    const DeviceHandle source = OpenSource();
    const DeviceHandle* handle = UsableHandle(source);

    Send(MakeCreateProgress(
        kGeometryProgress,
        static_cast<uint32_t>(std::min<uint64_t>(m_totalSectors / 4 / kBlockSectors, UINT32_MAX))));
    ScanLog::Started(Window(), kGeometryActivity);
    m_environment.progressIdle = 0;

    std::vector<uint8_t> block(size_t{kBlockSectors} * kSectorBytes);
    const uint64_t quarter = m_totalSectors / 4;
    for (uint64_t sector = 0; sector < m_totalSectors; sector += kBlockSectors) {
        if (Stopped())
            break;
        Send(MakeSetStatusText2(FormatText(u"Reading sector %llu of %llu", m_firstSector + sector,
                                           m_firstSector + m_totalSectors - 1)));
        const uint32_t count =
            static_cast<uint32_t>(std::min<uint64_t>(kBlockSectors, m_totalSectors - sector));
        ReadSectorsOneByOneOnFailure(*this, handle, sector, count, block.data());
        Send(MakeStepProgress(0));
        for (uint32_t i = 0; i < count && m_folderCandidates.size() < kMaxFolderCandidates; ++i) {
            const uint8_t* bytes = block.data() + size_t{i} * kSectorBytes;
            if (!IsDotName(bytes) || !IsDotDotName(bytes + kEntryBytes))
                continue;
            FolderCandidate candidate;
            candidate.sector = static_cast<uint32_t>(std::min<uint64_t>(sector + i, UINT32_MAX));
            candidate.cluster = EntryCluster(bytes, true);
            m_folderCandidates.push_back(candidate);
        }
        if (m_folderCandidates.size() >= kMaxFolderCandidates)
            break;
        if (sector + count >= quarter && m_folderCandidates.size() >= 2)
            break;
    }

    m_environment.progressIdle = 1;
    Send(MakeDestroyProgress(0));
    const bool stopped = Stopped();
    ScanLog::Ended(Window(), kGeometryActivity, stopped);
    if (stopped)
        return false;
    if (m_folderCandidates.empty()) {
        m_sectorsPerCluster = 0;
        m_sectorsPerFat = 0;
        return false;
    }
    GeometryFromCandidates();
    return true;
}

uint32_t CFatFileSystem::SectorsPerClusterFromCandidates() {
    // votes[i][p]: votes of candidate i for 2^p sectors per cluster.
    std::vector<std::array<uint32_t, 8>> votes(m_folderCandidates.size(),
                                               std::array<uint32_t, 8>{});
    std::array<uint64_t, 8> overall{};
    for (size_t i = 0; i < m_folderCandidates.size(); ++i) {
        for (size_t j = i + 1; j < m_folderCandidates.size(); ++j) {
            const FolderCandidate& a = m_folderCandidates[i];
            const FolderCandidate& b = m_folderCandidates[j];
            if (b.sector <= a.sector || b.cluster <= a.cluster)
                continue;
            const uint64_t sectors = b.sector - a.sector;
            const uint64_t clusters = b.cluster - a.cluster;
            if (sectors % clusters != 0 || !IsPowerOfTwoUpTo128(sectors / clusters))
                continue;
            const int power = std::countr_zero(sectors / clusters);
            ++votes[i][power];
            ++votes[j][power];
            ++overall[power];
        }
    }
    // Most votes wins; the smaller value on a tie.
    auto mostVoted = [](const auto& counts) -> uint32_t {
        size_t best = counts.size();
        for (size_t p = 0; p < counts.size(); ++p)
            if (counts[p] != 0 && (best == counts.size() || counts[p] > counts[best]))
                best = p;
        return best == counts.size() ? 0 : 1u << best;
    };
    const uint32_t result = mostVoted(overall);
    for (size_t i = 0; i < m_folderCandidates.size(); ++i) {
        const uint32_t own = mostVoted(votes[i]);
        m_folderCandidates[i].sectorsPerCluster = own != 0 ? own : result;
    }
    return result;
}

void CFatFileSystem::GeometryFromCandidates() {
    if (m_imageFlag == 0 && m_drive < 2) {
        // A: and B: are diskettes: the 1.44 MB layout.
        m_sectorsPerCluster = 1;
        m_sectorsPerFat = 9;
        m_reservedSectors = 1;
        m_rootFolderSectors = 14;
        m_fatType = 1;
    } else {
        m_sectorsPerCluster = static_cast<uint8_t>(SectorsPerClusterFromCandidates());
        m_sectorsPerFat = 0;

        // Every candidate implies where the data area starts; tally the implied starts.
        std::vector<std::pair<std::pair<uint32_t, uint32_t>, uint32_t>> tallies; // (start, spc)
        for (const FolderCandidate& candidate : m_folderCandidates) {
            const uint32_t spc = candidate.sectorsPerCluster;
            if (spc == 0 || candidate.cluster < 2)
                continue;
            const int64_t start =
                int64_t{candidate.sector} - int64_t{spc} * (int64_t{candidate.cluster} - 2);
            if (start <= 0 || start >= 100000 || (start >= 556 && spc <= 7))
                continue;
            const std::pair<uint32_t, uint32_t> key{static_cast<uint32_t>(start), spc};
            auto it = std::find_if(tallies.begin(), tallies.end(),
                                   [&](const auto& tally) { return tally.first == key; });
            if (it == tallies.end())
                tallies.push_back({key, 1});
            else
                ++it->second;
        }
        std::stable_sort(tallies.begin(), tallies.end(), [](const auto& a, const auto& b) {
            if (a.second != b.second)
                return a.second > b.second;
            return a.first.second > b.first.second;
        });

        // The FAT signatures before the furthest start, read once for all tallies.
        uint32_t furthest = 0;
        for (const auto& tally : tallies)
            furthest = std::max(furthest, tally.first.first);
        SignatureSectors signatures;
        if (furthest != 0) {
            const DeviceHandle source = OpenSource();
            const DeviceHandle* handle = UsableHandle(source);
            const uint64_t end = std::min<uint64_t>(furthest, m_totalSectors);
            std::vector<uint8_t> block(size_t{kBlockSectors} * kSectorBytes);
            for (uint64_t sector = 0; sector < end; sector += kBlockSectors) {
                const uint32_t count =
                    static_cast<uint32_t>(std::min<uint64_t>(kBlockSectors, end - sector));
                ReadSectorsOneByOneOnFailure(*this, handle, sector, count, block.data());
                for (uint32_t i = 0; i < count; ++i)
                    if (HasFatSignature(block.data() + size_t{i} * kSectorBytes))
                        signatures.push_back(static_cast<uint32_t>(sector + i));
            }
        }

        m_fatType = 4;
        m_reservedSectors = 1;
        m_rootFolderSectors = 32;
        for (const auto& tally : tallies) {
            const uint32_t start = tally.first.first;
            const uint32_t spc = tally.first.second;
            const TriedLayout layout = LayoutForStart(signatures, start);
            m_fatType = layout.fatType;
            m_reservedSectors = layout.reservedSectors;
            m_rootFolderSectors = layout.rootFolderSectors;
            m_sectorsPerFat = layout.sectorsPerFat;
            const bool accepted = LayoutAccepted(layout, start, spc, m_totalSectors);
            // Two FATs of equal size: what lies between the reserved sectors and the root
            // folder must be even.
            if (uint64_t{m_reservedSectors} + m_rootFolderSectors < start &&
                ((start - m_reservedSectors - m_rootFolderSectors) & 1) != 0)
                ++m_reservedSectors;
            if (accepted) {
                m_sectorsPerCluster = static_cast<uint8_t>(spc);
                break;
            }
        }
        if (m_fatType == 11 && m_rootCluster < 2)
            m_rootCluster = 2;
    }
    m_clusterLimit = ClusterLimitOf(m_totalSectors, DataStartSector(*this), m_sectorsPerCluster);
    if (m_sectorsPerCluster != 0 && m_sectorsPerFat != 0) {
        ChooseLinkingMode();
        m_geometrySearchChoseMode = true;
    }
}

// ---------------------------------------------------------------------------------------------
// Tree passes

void CFatFileSystem::AdvanceTreePass() {
    ScanLog::Started(Window(), kTreeActivity);
    BuildClusterMap();
    if (IsRebuiltVolume())
        FindLostFoldersInRange();
    else
        FindLostFolders();
    ScanLog::Ended(Window(), kTreeActivity, Stopped());
}

bool CFatFileSystem::HoldsDirectoryEntries(std::span<const uint8_t> cluster) {
    const size_t entries = cluster.size() / kEntryBytes;
    size_t accepted = 0;
    size_t lastAccepted = 0;
    for (size_t i = 0; i < entries; ++i) {
        const std::span<const uint8_t> entry = cluster.subspan(i * kEntryBytes, kEntryBytes);
        if (entry[0] == '.' || entry[0] == 0)
            break;
        if (CheckEntry(entry, m_clusterLimit) == 1) {
            ++accepted;
            lastAccepted = i;
        }
    }
    if (accepted >= 2)
        return true;
    if (accepted == 0)
        return false;
    if (lastAccepted == 0)
        return true;
    return lastAccepted + 1 < entries &&
           IsAllZero(cluster.subspan((lastAccepted + 1) * kEntryBytes, kEntryBytes));
}

namespace {

// What the cluster-by-cluster search saw at the start of a cluster: a folder's first cluster
// (its "." naming itself, then ".."), and the parent its ".." names.
struct FolderHead {
    bool isHead = false;
    uint32_t parentCluster = 0;
};

FolderHead ReadFolderHead(std::span<const uint8_t> cluster, uint32_t number, bool fat32) {
    FolderHead head;
    if (cluster.size() < 2 * kEntryBytes)
        return head;
    const uint8_t* dot = cluster.data();
    const uint8_t* dotDot = dot + kEntryBytes;
    if (!IsDotName(dot) || EntryCluster(dot, fat32) != number || !IsDotDotName(dotDot))
        return head;
    head.isHead = true;
    head.parentCluster = EntryCluster(dotDot, fat32);
    return head;
}

} // namespace

void CFatFileSystem::FindLostFolders() {
    m_lostFolderSearchRan = true;
    m_foundCount = 0;
    m_progressCount = 0;
    m_fileCount = 0;
    m_foundBytes = 0;
    m_nextEntryId = 2;

    const bool fat32 = m_fatType == 11;
    {
        const DeviceHandle source = OpenSource();
        const uint32_t blockSectors =
            m_totalSectors >= kSmallVolumeSectors ? kBlockSectors : m_sectorsPerCluster;
        ClusterBlockReader reader(*this, UsableHandle(source), blockSectors);
        const uint32_t last = reader.LastCluster();
        const bool matchSignatures =
            m_environment.signatureSearchEnabled && m_environment.signatures != nullptr;

        for (uint32_t cluster = 2; cluster <= last; ++cluster) {
            if (Stopped())
                break;
            if ((cluster - 2) % reader.BlockClusters() == 0)
                Send(MakeSetStatusText2(
                    FormatText(u"%s%u%s%u", kReadingCluster, cluster, kOf, last)));
            const std::span<const uint8_t> bytes = reader.Cluster(cluster);
            if (bytes.empty())
                continue;
            const FolderHead head = ReadFolderHead(bytes, cluster, fat32);
            if (head.isHead) {
                const bool parentIsRoot =
                    head.parentCluster == 0 || (fat32 && head.parentCluster == m_rootCluster);
                if (parentIsRoot) {
                    if (IsFoundFolder(cluster))
                        continue;
                    FoundItem folder = FolderItem(NextEntryId(), 0, cluster, false);
                    SendFoundItem(folder, ClusterName(cluster));
                    AddFoundFolder(cluster, folder.entryId, 0);
                    ClaimFileClusters(cluster, nullptr, false);
                    WalkFolder(folder.entryId, cluster, false, true);
                } else if (!IsFoundFolder(cluster) && !IsDeletedFolder(cluster)) {
                    m_orphanFolders.push_back({cluster, head.parentCluster});
                }
                continue;
            }
            if (matchSignatures && ClusterUsage(cluster) == kClusterUnused) {
                if (auto match = m_environment.signatures->MatchCluster(
                        *this, cluster, bytes.first(std::min(bytes.size(), kSectorBytes))))
                    m_rawHits.push_back({cluster, std::move(*match)});
            }
        }
    }

    if (!Stopped()) {
        AddDeletedFolders(true);
        AddLostFolders();
        AddDeletedFolders(true);
        AddRawDataFolder();
    }
    m_orphanFolders.clear();
    m_deletedFolders.clear();
    m_rawHits.clear();
    if (m_foundCount > 0 && !Stopped()) {
        AddRootFiles();
        if (!Stopped())
            AddBrokenFolders();
        Send(MakeApplyItemNames());
    }
}

void CFatFileSystem::FindLostFoldersInRange() {
    m_lostFolderSearchRan = true;
    m_foundCount = 0;
    m_progressCount = 0;
    m_fileCount = 0;
    m_foundBytes = 0;
    m_nextEntryId = 2;

    const DriveNode* node = SelectedDrive();
    const LogicalDriveInfo* info = node != nullptr ? node->Logical() : nullptr;
    if (info != nullptr) {
        const bool fat32 = m_fatType == 11;
        const uint32_t last = LastDataCluster(*this);
        const DeviceHandle source = OpenSource();
        const DeviceHandle* handle = UsableHandle(source);
        std::vector<uint8_t> buffer(size_t{m_sectorsPerCluster} * kSectorBytes);
        std::unordered_set<uint32_t> seen;
        const std::vector<uint32_t>& clusters = info->foundVolume.folderClusters;
        for (size_t i = 0; i < clusters.size(); ++i) {
            if (Stopped())
                break;
            const uint32_t cluster = clusters[i];
            if (cluster < 2 || cluster > last || !seen.insert(cluster).second)
                continue;
            Send(MakeSetStatusText2(FormatText(u"%s%u%s%u", kReadingCluster, cluster, kOf, last)));
            if (ReadCluster(cluster, 0, buffer.data(), m_sectorsPerCluster, handle) == 0)
                continue;
            const FolderHead head = ReadFolderHead(buffer, cluster, fat32);
            if (!head.isHead)
                continue;
            if (head.parentCluster == 0 || (fat32 && head.parentCluster == m_rootCluster)) {
                if (IsFoundFolder(cluster))
                    continue;
                FoundItem folder = FolderItem(NextEntryId(), 0, cluster, false);
                SendFoundItem(folder, ClusterName(cluster));
                AddFoundFolder(cluster, folder.entryId, 0);
                ClaimFileClusters(cluster, nullptr, false);
                WalkFolder(folder.entryId, cluster, false, true);
            } else if (!IsFoundFolder(cluster) && !IsDeletedFolder(cluster)) {
                m_orphanFolders.push_back({cluster, head.parentCluster});
            }
        }
    }

    if ((m_foundCount > 0 || !m_orphanFolders.empty()) && !Stopped()) {
        AddDeletedFolders(true);
        AddLostFolders();
        AddDeletedFolders(true);
        if (!Stopped())
            Send(MakeApplyItemNames());
    }
    m_orphanFolders.clear();
    m_deletedFolders.clear();
}

void CFatFileSystem::AddLostFolders() {
    ScanLog::Started(Window(), kLostActivity);
    // A copy: walks below drop the folders they meet from the orphan list.
    const std::vector<OrphanFolder> orphans = m_orphanFolders;
    std::vector<uint8_t> placed(orphans.size(), 0);
    std::unordered_map<uint64_t, std::vector<size_t>> childrenOf; // parent cluster -> orphans
    std::unordered_map<uint64_t, size_t> orphanOf;                // own cluster -> orphan
    for (size_t i = 0; i < orphans.size(); ++i) {
        childrenOf[orphans[i].parentCluster].push_back(i);
        orphanOf.emplace(orphans[i].firstCluster, i);
    }
    bool lostFolderSent = false;

    auto place = [&](size_t index, uint64_t parentId) {
        placed[index] = 1;
        const uint64_t cluster = orphans[index].firstCluster;
        if (IsFoundFolder(cluster))
            return;
        FoundItem folder = FolderItem(NextEntryId(), parentId, cluster, false);
        SendFoundItem(folder, ClusterName(cluster));
        AddFoundFolder(cluster, folder.entryId, parentId);
        ClaimFileClusters(static_cast<uint32_t>(cluster), nullptr, false);
        WalkFolder(folder.entryId, static_cast<uint32_t>(cluster), false, true);
    };
    // Orphans whose parent is a found folder go below it, including folders found while this
    // pass walks: every found folder is looked at once, in the order found.
    size_t foldersSeen = 0;
    auto attachToFoundParents = [&] {
        while (foldersSeen < m_foundFolders.size() && !Stopped()) {
            const uint64_t parentCluster = m_foundFolders[foldersSeen].firstCluster;
            const uint64_t parentId = m_foundFolders[foldersSeen].entryId;
            ++foldersSeen;
            const auto it = childrenOf.find(parentCluster);
            if (it == childrenOf.end())
                continue;
            for (size_t child : it->second)
                if (!placed[child] && !Stopped())
                    place(child, parentId);
        }
    };
    auto isPendingOrphan = [&](uint64_t cluster) {
        const auto it = orphanOf.find(cluster);
        return it != orphanOf.end() && !placed[it->second];
    };

    size_t headCursor = 0;
    size_t cycleCursor = 0;
    while (!Stopped()) {
        attachToFoundParents();
        if (Stopped())
            break;
        // The rest start under "Lost Folder(s)": first the heads of orphan chains, whose
        // parent is no orphan; then, for folders whose ".." links form a cycle, any one.
        size_t next = orphans.size();
        for (; headCursor < orphans.size(); ++headCursor) {
            if (!placed[headCursor] && !isPendingOrphan(orphans[headCursor].parentCluster)) {
                next = headCursor;
                break;
            }
        }
        if (next == orphans.size()) {
            for (; cycleCursor < orphans.size(); ++cycleCursor) {
                if (!placed[cycleCursor]) {
                    next = cycleCursor;
                    break;
                }
            }
        }
        if (next == orphans.size())
            break;
        if (!IsFoundFolder(orphans[next].firstCluster) && !lostFolderSent) {
            FoundItem lost = FolderItem(kLostFoldersId, 0, 0, false);
            SendFoundItem(lost, u"Lost Folder(s)");
            lostFolderSent = true;
        }
        place(next, kLostFoldersId);
    }
    ScanLog::Ended(Window(), kLostActivity, Stopped());
}

namespace {

// Where the entries of a cluster met by the root-file pass belong.
struct EntryTarget {
    uint64_t parentId = 0;
    bool deleted = false;
};

} // namespace

void CFatFileSystem::AddRootFiles() {
    ScanLog::Started(Window(), kRootActivity);

    // Entries of a root-like cluster: folders found before under their cluster numbers get
    // their names and times; files are claimed and sent below `parentId`. False at the folder's
    // end mark (an entry whose first byte is 0).
    std::unordered_set<uint64_t> renamed;
    auto sendPass = [&](std::span<const uint8_t> buffer, uint64_t parentId, uint32_t previous,
                        uint32_t beforePrevious, bool deletedPass) {
        const size_t entries = buffer.size() / kEntryBytes;
        for (size_t i = 0; i < entries; ++i) {
            if (Stopped())
                return false;
            const std::span<const uint8_t> entry = buffer.subspan(i * kEntryBytes, kEntryBytes);
            if (entry[0] == 0)
                return false;
            if ((entry[0] == 0xE5) != deletedPass)
                continue;
            if (CheckEntry(entry, m_clusterLimit) != 1)
                continue;
            FoundItem item;
            std::u16string name;
            if (!EntryToFoundItem(EntryLocation{buffer, i * kEntryBytes, previous, beforePrevious},
                                  item, name))
                continue;
            if (item.IsFolder()) {
                // Only a folder found under its cluster number below the root is renamed, and
                // only once, a live entry before a deleted one.
                const auto* found =
                    FoundFolderOf(m_foundFolders, m_foundFolderIndex, item.firstCluster);
                if (found == nullptr || found->parentId != 0 ||
                    !renamed.insert(item.firstCluster).second)
                    continue;
                item.entryId = found->entryId;
                item.parentId = found->parentId;
                item.size = 0;
                SendUpdatedItem(item, name);
            } else {
                item.parentId = parentId;
                ClaimFileClusters(static_cast<uint32_t>(item.firstCluster), &item, false);
                SendFoundItem(item, name);
            }
        }
        return true;
    };
    // Live entries first, so a deleted entry never takes a live folder's name.
    auto sendEntries = [&](std::span<const uint8_t> buffer, uint64_t parentId, uint32_t previous,
                           uint32_t beforePrevious) {
        const bool more = sendPass(buffer, parentId, previous, beforePrevious, false);
        sendPass(buffer, parentId, previous, beforePrevious, true);
        return more;
    };

    const DeviceHandle source = OpenSource();
    const DeviceHandle* handle = UsableHandle(source);
    if (m_fatType != 11) {
        const uint64_t rootStart = uint64_t{m_reservedSectors} + 2ull * m_sectorsPerFat;
        const uint64_t rootSectors =
            rootStart < m_totalSectors
                ? std::min<uint64_t>(m_rootFolderSectors, m_totalSectors - rootStart)
                : 0;
        std::vector<uint8_t> root(rootSectors * kSectorBytes);
        if (rootSectors != 0) {
            ReadSectorsOneByOneOnFailure(*this, handle, rootStart,
                                         static_cast<uint32_t>(rootSectors), root.data());
            sendEntries(root, 0, 0, 0);
        }
    } else {
        ClusterBlockReader reader(*this, handle, kBlockSectors);
        const uint32_t last = reader.LastCluster();
        const uint32_t limit = m_clusterLimit;
        const bool contiguous = m_linkingMode == kLinkContiguous;
        const uint64_t maxFolderClusters =
            std::max<uint64_t>(1, kMaxFolderBytes / BytesPerCluster());
        std::vector<uint8_t> buffer(BytesPerCluster());
        for (uint32_t cluster = 2; cluster <= last; ++cluster) {
            if (Stopped())
                break;
            if ((cluster - 2) % kStatusEveryClusters == 0)
                Send(MakeSetStatusText2(
                    FormatText(u" %s %d %s %d", kReadingCluster, cluster, kOf, limit)));
            if (cluster != 2 && ClusterUsage(cluster) != kClusterAllocated)
                continue;
            if (contiguous) {
                const std::span<const uint8_t> bytes = reader.Cluster(cluster);
                if (bytes.empty() || !HoldsDirectoryEntries(bytes))
                    continue;
                FoundItem folder = FolderItem(NextEntryId(), 0, cluster, false);
                SendFoundItem(folder, FormatText(u"$Root%d", cluster));
                AddFoundFolder(cluster, folder.entryId, 0);
                MarkClusterClaimed(cluster);
                sendEntries(bytes, folder.entryId, 0, 0);
                continue;
            }
            const std::vector<uint32_t> chain = GetClusterChain(cluster);
            for (uint32_t member : chain)
                MarkClusterClaimed(member);
            const std::span<const uint8_t> first = reader.Cluster(cluster);
            if (first.empty() || !HoldsDirectoryEntries(first))
                continue;
            uint64_t parentId = 0;
            if (cluster != 2) {
                if (const auto* found =
                        FoundFolderOf(m_foundFolders, m_foundFolderIndex, cluster)) {
                    parentId = found->entryId;
                } else {
                    FoundItem folder = FolderItem(NextEntryId(), 0, cluster, false);
                    SendFoundItem(folder, FormatText(u"$Root%d", cluster));
                    AddFoundFolder(cluster, folder.entryId, 0);
                    parentId = folder.entryId;
                }
            }
            // The folder's clusters in chain order; the first of them is `cluster` itself.
            uint32_t previous = 0;
            uint32_t beforePrevious = 0;
            const size_t walked = std::min<size_t>(chain.empty() ? 1 : chain.size(),
                                                   static_cast<size_t>(maxFolderClusters));
            for (size_t i = 0; i < walked && !Stopped(); ++i) {
                const uint32_t member = chain.empty() ? cluster : chain[i];
                const std::span<const uint8_t> bytes = reader.Cluster(member);
                if (bytes.empty())
                    break;
                // The block may be replaced by the next read: keep a copy while sending.
                buffer.assign(bytes.begin(), bytes.end());
                if (!sendEntries(buffer, parentId, previous, beforePrevious))
                    break;
                beforePrevious = previous;
                previous = member;
            }
        }
    }
    ScanLog::Ended(Window(), kRootActivity, Stopped());
}

void CFatFileSystem::AddBrokenFolders() {
    ScanLog::Started(Window(), kBrokenActivity);
    const DeviceHandle source = OpenSource();
    ClusterBlockReader reader(*this, UsableHandle(source), kBlockSectors);
    const uint32_t last = reader.LastCluster();
    const uint32_t limit = m_clusterLimit;
    const bool matchSignatures = IsRebuiltVolume() && m_environment.signatureSearchEnabled &&
                                 m_environment.signatures != nullptr;
    std::vector<uint8_t> buffer;
    for (uint32_t cluster = 2; cluster <= last; ++cluster) {
        if (Stopped())
            break;
        if ((cluster - 2) % kStatusEveryClusters == 0)
            Send(MakeSetStatusText2(
                FormatText(u" %s %d %s %d", kReadingCluster, cluster, kOf, limit)));
        if (ClusterUsage(cluster) != kClusterUnused)
            continue;
        const std::span<const uint8_t> bytes = reader.Cluster(cluster);
        if (bytes.empty())
            continue;
        if (!HoldsDirectoryEntries(bytes)) {
            if (matchSignatures) {
                if (auto match = m_environment.signatures->MatchCluster(
                        *this, cluster, bytes.first(std::min(bytes.size(), kSectorBytes))))
                    m_rawHits.push_back({cluster, std::move(*match)});
            }
            continue;
        }
        buffer.assign(bytes.begin(), bytes.end());
        FoundItem folder = FolderItem(NextEntryId(), 0, cluster, true);
        SendFoundItem(folder, FormatText(u"$Broken%d", cluster));
        const size_t entries = buffer.size() / kEntryBytes;
        for (size_t i = 0; i < entries && !Stopped(); ++i) {
            const std::span<const uint8_t> entry =
                std::span<const uint8_t>(buffer).subspan(i * kEntryBytes, kEntryBytes);
            if (entry[0] == 0)
                break;
            if (CheckEntry(entry, m_clusterLimit) != 1)
                continue;
            FoundItem item;
            std::u16string name;
            if (!EntryToFoundItem(EntryLocation{buffer, i * kEntryBytes, 0, 0}, item, name) ||
                item.IsFolder())
                continue;
            item.parentId = folder.entryId;
            item.deleted = 1;
            SendFoundItem(item, name);
        }
    }
    ScanLog::Ended(Window(), kBrokenActivity, Stopped());
    // Hits of this pass would otherwise be dropped: the raw data folder was made before it.
    if (!m_rawHits.empty() && !Stopped())
        AddRawDataFolder();
    m_rawHits.clear();
}

void CFatFileSystem::AddRawDataFolder() {
    if (m_rawHits.empty())
        return;
    FoundItem rawFolder = FolderItem(NextEntryId(), 0, 0, true);
    SendFoundItem(rawFolder, u"Raw Data Folder(s)");

    struct ExtensionFolder {
        uint64_t entryId = 0;
        uint32_t files = 0;
        int number = 1;
    };
    std::map<std::u16string, ExtensionFolder> folders;
    for (const RawHit& hit : m_rawHits) {
        if (Stopped())
            break;
        const std::u16string extension =
            hit.match.extension.empty() ? std::u16string(u"raw") : hit.match.extension;
        auto [it, fresh] = folders.try_emplace(extension);
        ExtensionFolder& folder = it->second;
        if (fresh || folder.files >= kRawFilesPerFolder) {
            const std::u16string name =
                fresh ? extension : FormatText(u"%s %d", extension, ++folder.number);
            FoundItem item = FolderItem(NextEntryId(), rawFolder.entryId, 0, true);
            SendFoundItem(item, name);
            folder.entryId = item.entryId;
            folder.files = 0;
        }
        FoundItem file;
        file.entryId = NextEntryId();
        file.parentId = folder.entryId;
        file.firstCluster = hit.cluster;
        file.size = hit.match.length;
        file.deleted = 1;
        file.contiguousData = 1;
        SendFoundItem(file, FormatText(u"%u.%s", hit.cluster, extension));
        ++folder.files;
    }
    m_rawHits.clear();
}

// The geometry search of the advance scan: sectors per cluster, reserved sectors and the FAT
// size rebuilt from the folder clusters found on the volume.

#include "filesystems/fat/fat_scan_support.h"
#include "resources/string_ids.h"

using namespace fat_scan;

namespace {

// One layout tried by the geometry search.
struct TriedLayout {
    FatType fatType = FatType::Fat16;
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
        layout.fatType = FatType::Fat32;
        layout.reservedSectors = 32;
        layout.rootFolderSectors = 0;
        window = 63;
    } else if (room > 37) {
        layout.fatType = FatType::Fat16;
        layout.reservedSectors = 20;
        layout.rootFolderSectors = 32;
        window = 20;
    } else {
        // FAT12: one reserved sector; the second FAT's signature gives the FAT size and so the
        // root folder's.
        layout.fatType = FatType::Fat12;
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
    // The search counts FAT12 tables as able to describe twice what they hold, as it always has.
    const uint64_t perFatSector =
        layout.fatType == FatType::Fat12 ? 768 : PropertiesOf(layout.fatType).entriesPerSector;
    const uint64_t tableClusters = uint64_t{layout.sectorsPerFat} * perFatSector;
    const uint64_t total = totalSectors != 0 ? totalSectors : tableClusters * sectorsPerCluster;
    if (total <= start || (total - start) / sectorsPerCluster >= tableClusters)
        return false;
    switch (layout.fatType) {
    case FatType::Fat32:
        return layout.reservedSectors >= 32 && layout.sectorsPerFat > 266;
    case FatType::Fat16:
        return layout.reservedSectors <= 20 && layout.sectorsPerFat <= 266;
    default:
        return layout.reservedSectors == 1 && layout.sectorsPerFat <= 19;
    }
}

} // namespace

bool CFatFileSystem::FindFolderCandidates() {
    m_folderCandidates.Clear();

    {
        ProgressBracket progress(m_reporter, ProgramString(kSearchingTextId),
                                 static_cast<uint32_t>(std::min<uint64_t>(
                                     m_totalSectors / 4 / kBlockSectors, UINT32_MAX)));
        ScanLog::Started(Window(), ProgramString(kParametersActivityId));
        ProgressBusy busy(m_environment);

        BlockBuffer block(size_t{kBlockSectors} * kSectorBytes);
        const uint64_t quarter = m_totalSectors / 4;
        for (uint64_t sector = 0; sector < m_totalSectors; sector += kBlockSectors) {
            if (Stopped())
                break;
            Send(MakeSetStatusText2(FormatText(StringTable::Program().Get(kReadingSectorOfTotalId),
                                               FirstSector() + sector,
                                               FirstSector() + m_totalSectors - 1)));
            const uint32_t count =
                static_cast<uint32_t>(std::min<uint64_t>(kBlockSectors, m_totalSectors - sector));
            m_source.ReadSalvaging(sector, count, block.data());
            progress.Step();
            for (uint32_t i = 0; i < count && !m_folderCandidates.Full(); ++i) {
                const uint8_t* bytes = block.data() + size_t{i} * kSectorBytes;
                if (!IsDotName(bytes) || !IsDotDotName(bytes + kEntryBytes))
                    continue;
                m_folderCandidates.Add(
                    static_cast<uint32_t>(std::min<uint64_t>(sector + i, UINT32_MAX)),
                    EntryCluster(bytes, true));
            }
            if (m_folderCandidates.Full())
                break;
            if (sector + count >= quarter && m_folderCandidates.Size() >= 2)
                break;
        }
    }

    const bool stopped = Stopped();
    ScanLog::Ended(Window(), ProgramString(kParametersActivityId), stopped);
    if (stopped)
        return false;
    if (m_folderCandidates.Empty()) {
        m_sectorsPerCluster = 0;
        m_sectorsPerFat = 0;
        return false;
    }
    GeometryFromCandidates();
    return true;
}

uint32_t CFatFileSystem::LoneCandidateVote(const FatFolderCandidates::Candidate& candidate) {
    // A volume with a single folder has no pair to vote. Its boot sector (or the backup) may
    // still be whole: its cluster size is taken when its layout puts the folder's "." cluster
    // exactly at the sector the folder was found at.
    if (candidate.cluster < 2)
        return 0;
    for (const uint64_t at : {uint64_t{0}, kBackupBootSector}) {
        std::array<uint8_t, kSectorBytes> sector{};
        FatBootInfo boot;
        if (ReadSectors(at, 1, sector.data()) == 0 || ParseFatBootSector(sector, boot) != 1)
            continue;
        const uint64_t dataStart =
            uint64_t{boot.reservedSectors} + 2ull * boot.sectorsPerFat + boot.rootFolderSectors;
        if (dataStart + uint64_t{boot.sectorsPerCluster} * (candidate.cluster - 2) ==
            candidate.sector)
            return boot.sectorsPerCluster;
    }
    return 0;
}

bool CFatFileSystem::TryTallies(const std::vector<FatStartTally>& tallies) {
    m_table.SetType(FatType::Fat16);
    m_reservedSectors = 1;
    m_rootFolderSectors = 32;
    if (tallies.empty())
        return false;
    // The FAT signatures before the furthest start, read once for all tallies.
    uint32_t furthest = 0;
    for (const FatStartTally& tally : tallies)
        furthest = std::max(furthest, static_cast<uint32_t>(tally.start));
    SignatureSectors signatures;
    const uint64_t end = std::min<uint64_t>(furthest, m_totalSectors);
    BlockBuffer block(size_t{kBlockSectors} * kSectorBytes);
    for (uint64_t sector = 0; sector < end && !Stopped(); sector += kBlockSectors) {
        const uint32_t count =
            static_cast<uint32_t>(std::min<uint64_t>(kBlockSectors, end - sector));
        m_source.ReadSalvaging(sector, count, block.data());
        for (uint32_t i = 0; i < count; ++i)
            if (HasFatSignature(block.data() + size_t{i} * kSectorBytes))
                signatures.push_back(static_cast<uint32_t>(sector + i));
    }

    for (const FatStartTally& tally : tallies) {
        const uint32_t start = static_cast<uint32_t>(tally.start);
        const uint32_t spc = tally.sectorsPerCluster;
        const TriedLayout layout = LayoutForStart(signatures, start);
        m_table.SetType(layout.fatType);
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
            return true;
        }
    }
    return false;
}

void CFatFileSystem::GeometryFromCandidates() {
    if (m_source.IsDrive() && m_drive < 2) {
        // A: and B: are diskettes: the 1.44 MB layout.
        m_sectorsPerCluster = 1;
        m_sectorsPerFat = 9;
        m_reservedSectors = 1;
        m_rootFolderSectors = 14;
        m_table.SetType(FatType::Fat12);
    } else {
        m_sectorsPerCluster = static_cast<uint8_t>(m_folderCandidates.VoteSectorsPerCluster(
            [this](const FatFolderCandidates::Candidate& lone) {
                return LoneCandidateVote(lone);
            }));
        m_sectorsPerFat = 0;

        // Every candidate implies where the data area starts; tally the implied starts. A
        // start of 556 or more with 7 or fewer sectors per cluster is first passed over (on
        // most volumes that is a stray folder copy); when that leaves no tally, or none the
        // layout check accepts, the starts are tallied again without the rule, which FAT32
        // volumes with clusters of up to 2 KiB need.
        // With none accepted, the last tried values stay.
        if (!TryTallies(m_folderCandidates.TallyDataStarts(true)))
            TryTallies(m_folderCandidates.TallyDataStarts(false));
        if (m_table.Type() == FatType::Fat32 && m_rootCluster < 2)
            m_rootCluster = 2;
    }
    m_clusterLimit = ClusterLimitOf(m_totalSectors, DataStartSector(*this), m_sectorsPerCluster);
    if (m_sectorsPerCluster != 0 && m_sectorsPerFat != 0) {
        ChooseLinkingMode();
        m_geometrySearchChoseMode = true;
    }
}

// The advance scan of an NTFS volume: it trusts none of the volume's metadata. The cluster size
// is voted by the file records met at the start of the partition, the free clusters come from
// $Bitmap (and go to the signature search), every file record of the partition is collected
// and numbered, and the tree is rebuilt from the records' parent references; what hangs on no
// folder goes under "Lost Folder(s)", the signature finds under "Raw Data Folder(s)".

#include "diskio/block_buffer.h"
#include "filesystems/carving/raw_folder_placer.h"
#include "filesystems/ntfs/ntfs_file_system.h"
#include "filesystems/ntfs/ntfs_scan_run.h"

#include "filesystems/carving/signature_search.h"
#include "filesystems/scan_environment.h"
#include "filesystems/scan_log.h"
#include "platform/byte_reader.h"
#include "platform/format_text.h"
#include "platform/job_messages.h"
#include "platform/program_string.h"
#include "platform/string_table.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

namespace {

constexpr uint32_t kParametersActivityId = 62110;
constexpr uint32_t kSearchingTextId = 62111;
constexpr uint32_t kTreeActivityId = 62112;
constexpr uint32_t kFreeListActivityId = 62117;
constexpr uint32_t kReadingSectorId = 62152;
constexpr uint32_t kReadErrorId = 62155;
constexpr uint32_t kRawFolderNameId = 62181;

constexpr size_t kSectorBytes = 512;
// The partition's first and last sectors that the reading passes leave out.
constexpr uint64_t kEdgeSectors = 32;
constexpr uint32_t kEstimateStepSectors = 64;
constexpr uint32_t kReadBlockSectors = 1600;
constexpr uint32_t kMaxVotes = 128;
constexpr int kVotePowers = 10; // 1 to 512 sectors per cluster
// More empty record positions than this before the first record: the $MFT does not begin at
// the partition's start, so numbering starts at 0.
constexpr uint64_t kMaxLeadingPositions = 10000;
constexpr uint32_t kRawProgressMaximum = 100000;
constexpr uint32_t kBitmapRecord = 6;
constexpr uint32_t kMaxReadErrorRows = 100;

uint32_t Clamp32(uint64_t value) {
    return static_cast<uint32_t>(std::min<uint64_t>(value, UINT32_MAX));
}

// A reading pass's block: one sector more than a block, so that a record at the block's last
// sector is whole; no larger than a small volume needs.
size_t BlockBytes(uint64_t totalSectors) {
    return (static_cast<size_t>(std::min<uint64_t>(kReadBlockSectors, totalSectors)) + 1) *
           kSectorBytes;
}

bool IsRecordStart(const uint8_t* bytes) {
    return std::memcmp(bytes, "FILE", 4) == 0 && (bytes[4] == '*' || bytes[4] == '0');
}

// The power of two a file record votes for as sectors per cluster: its non-resident $DATA's
// allocated size over the clusters its runs hold (counted at one sector per cluster). -1 for a
// record that does not vote.
int VotePower(const CNtfsFileSystem& volume, std::span<const uint8_t> bytes) {
    if (bytes.size() < CNtfsFileSystem::kRecordSize || !IsRecordStart(bytes.data()))
        return -1;
    CNtfsFileSystem::Record record{};
    std::copy_n(bytes.begin(), std::min(bytes.size(), record.size()), record.begin());
    if (!CNtfsFileSystem::ApplyFixup(record) || CNtfsFileSystem::RecordFlags(record) > 1)
        return -1;
    NtfsAttributeLocator locator;
    if (volume.LocateFileData(record, locator) == 0 ||
        locator.kind != NtfsAttributeLocator::kFile || locator.resident || locator.attributeList ||
        locator.compressed)
        return -1;
    std::vector<NtfsRunEntry> runs;
    const uint64_t clusters =
        CNtfsFileSystem::DecodeRunList(record, locator.dataOffset, 1, runs, false);
    if (clusters == 0 || std::any_of(runs.begin(), runs.end(),
                                     [](const NtfsRunEntry& run) { return run.IsSparse(); }))
        return -1;
    uint64_t dataSize = 0;
    uint64_t initialized = 0;
    uint64_t allocated = 0;
    if (!CNtfsFileSystem::GetDataSizes(record, dataSize, initialized, allocated) ||
        (allocated >> 32) != 0 || clusters > allocated)
        return -1;
    for (int power = 0; power < kVotePowers; ++power)
        if ((clusters * kSectorBytes) << power == allocated)
            return power;
    return -1;
}

} // namespace

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

// ---------------------------------------------------------------------------------------------
// Cluster size

uint16_t NtfsScanRun::EstimateSectorsPerCluster() {
    const uint64_t total = m_volume.m_totalSectors;
    const uint64_t end = total > 2 * kEdgeSectors ? total - kEdgeSectors : kEdgeSectors;
    ScanLog::Started(m_reporter.Window(), ProgramString(kParametersActivityId));
    const ProgressBracket progress(m_reporter, ProgramString(kSearchingTextId),
                                   Clamp32(total / kEstimateStepSectors));
    m_volume.m_environment.progressIdle = 0;

    std::array<uint32_t, kVotePowers> votes{};
    uint32_t voteCount = 0;
    uint16_t lastVote = 0;
    bool decided = false;
    bool stopped = false;
    BlockBuffer block(BlockBytes(total));
    for (uint64_t start = kEdgeSectors; start < end && !decided && !stopped;
         start += kReadBlockSectors) {
        const uint32_t count = Clamp32(std::min<uint64_t>(kReadBlockSectors, end - start));
        const uint32_t withNext = Clamp32(std::min<uint64_t>(count + 1ull, total - start));
        std::fill(block.begin(), block.end(), 0);
        m_volume.Source().ReadSalvaging(start, withNext, block.data());
        for (uint32_t i = 0; i < count; ++i) {
            const uint64_t sector = start + i;
            if ((sector - kEdgeSectors) % kEstimateStepSectors == 0) {
                m_reporter.Send(MakeSetStatusText2(
                    FormatText(StringTable::Program().Get(kReadingSectorId),
                               m_volume.m_firstSector + sector, m_volume.m_firstSector + end)));
                progress.Step();
                if (m_reporter.Stopped()) {
                    stopped = true;
                    break;
                }
            }
            const std::span<const uint8_t> candidate = std::span<const uint8_t>(block).subspan(
                size_t{i} * kSectorBytes, CNtfsFileSystem::kRecordSize);
            if (!m_mirrorRun)
                NoteMirrorRun(candidate);
            const int power = VotePower(m_volume, candidate);
            if (power < 0)
                continue;
            ++votes[static_cast<size_t>(power)];
            ++voteCount;
            lastVote = static_cast<uint16_t>(1u << power);
            if (voteCount > kMaxVotes || sector > total / 4) {
                decided = true;
                break;
            }
        }
    }
    uint16_t result = lastVote;
    if (decided) {
        // Most votes; the smaller value on a tie.
        size_t best = 0;
        for (size_t power = 1; power < votes.size(); ++power)
            if (votes[power] > votes[best])
                best = power;
        result = static_cast<uint16_t>(1u << best);
    }
    m_volume.m_environment.progressIdle = 1;
    ScanLog::Ended(m_reporter.Window(), ProgramString(kParametersActivityId), false);
    return result;
}

// ---------------------------------------------------------------------------------------------
// The $MFT's mirror

void NtfsScanRun::NoteMirrorRun(std::span<const uint8_t> bytes) {
    if (bytes.size() < CNtfsFileSystem::kRecordSize || !IsRecordStart(bytes.data()))
        return;
    CNtfsFileSystem::Record record{};
    std::copy_n(bytes.begin(), record.size(), record.begin());
    if (!CNtfsFileSystem::ApplyFixup(record))
        return;
    // Records of NTFS 3.1 carry their number; older ones are known by their name only.
    const std::optional<uint32_t> number = HeaderRecordNumber(record);
    if (number ? *number != 1 : CNtfsFileSystem::GetLongName(record) != u"$MFTMirr")
        return;
    NtfsAttributeLocator locator;
    if (m_volume.LocateFileData(record, locator) == 0 ||
        locator.kind != NtfsAttributeLocator::kFile || locator.resident || locator.attributeList)
        return;
    std::vector<NtfsRunEntry> runs;
    CNtfsFileSystem::DecodeRunList(record, locator.dataOffset, 1, runs, false);
    if (runs.empty() || runs.front().IsSparse() || runs.front().lengthSectors == 0)
        return;
    m_mirrorRun.emplace(runs.front().rawOffset, runs.front().lengthSectors);
}

std::optional<std::pair<uint64_t, uint64_t>> NtfsScanRun::MirrorExtent() const {
    const uint64_t spc = m_volume.m_sectorsPerCluster;
    const uint64_t total = m_volume.m_totalSectors;
    if (spc == 0)
        return std::nullopt;
    // Four records, or the one cluster that holds them: a run claiming more is no mirror.
    const uint64_t largest = std::max<uint64_t>(8, spc);
    std::optional<std::pair<uint64_t, uint64_t>> extent;
    if (m_mirrorRun && m_mirrorRun->first < total / spc && m_mirrorRun->second * spc <= largest)
        extent.emplace(m_mirrorRun->first * spc, m_mirrorRun->second * spc);
    if (!extent) {
        const std::optional<NtfsBootSector> boot = m_volume.FindBootSector();
        if (boot && boot->sectorsPerCluster == spc)
            extent.emplace(boot->mftMirrorSector, largest);
    }
    if (!extent || extent->first >= total)
        return std::nullopt;
    extent->second = std::min(extent->second, total - extent->first);
    return extent;
}

// ---------------------------------------------------------------------------------------------
// Free clusters

void NtfsScanRun::FreeClusterSearch() {
    ScanLog::Started(m_reporter.Window(), ProgramString(kFreeListActivityId));
    const uint16_t sectorsPerCluster = m_volume.m_sectorsPerCluster;
    const uint32_t clusters =
        sectorsPerCluster != 0 ? Clamp32(m_volume.m_totalSectors / sectorsPerCluster) : 0;
    // A bit per cluster of the volume: at most 2^32 clusters.
    m_volume.m_clusterMap.assign(clusters, false);
    m_examinedClusters.assign(clusters, false);
    m_volume.m_clusterCount = clusters;
    std::vector<uint8_t> bitmap;
    if (!m_volume.m_clusterMap.empty() && ReadClusterBitmap(bitmap)) {
        std::vector<bool>& map = m_volume.m_clusterMap;
        const size_t bytes = std::min(bitmap.size(), (map.size() + 7) / 8);
        for (size_t byte = 0; byte < bytes; ++byte) {
            if (bitmap[byte] == 0)
                continue;
            for (size_t bit = 0; bit < 8 && byte * 8 + bit < map.size(); ++bit)
                map[byte * 8 + bit] = ((bitmap[byte] >> bit) & 1) != 0;
        }
    }
    ScanLog::Ended(m_reporter.Window(), ProgramString(kFreeListActivityId), m_reporter.Stopped());

    if (m_volume.m_environment.signatureSearchEnabled &&
        m_volume.m_environment.signatures != nullptr && !m_reporter.Stopped())
        SearchFreeClusters();
}

bool NtfsScanRun::ReadClusterBitmap(std::vector<uint8_t>& bitmap) {
    // The boot sector (or its backup) tells only where the $MFT lies: the cluster size is the
    // vote's, and a boot sector that disagrees with it is not trusted for the bitmap either.
    const uint16_t voted = m_volume.m_sectorsPerCluster;
    const std::optional<NtfsBootSector> boot = m_volume.FindBootSector();
    if (!boot || boot->sectorsPerCluster != voted)
        return false;
    m_volume.m_mftStartSector = boot->mftStartSector;
    m_volume.m_mftMirrorSector = boot->mftMirrorSector;

    CNtfsFileSystem::Record record{};
    bool read = m_volume.LoadMftRuns() != 0 && m_volume.ReadRecord(kBitmapRecord, record);
    if (!read)
        read = m_volume.ReadRecordAt(m_volume.m_mftStartSector + 2 * kBitmapRecord, 0, record);
    NtfsAttributeLocator locator;
    if (!read || m_volume.LocateFileData(record, locator) == 0 ||
        locator.kind != NtfsAttributeLocator::kFile)
        return false;

    const uint64_t wanted = (uint64_t{m_volume.m_clusterCount} + 7) / 8;
    if (locator.resident) {
        const ByteReader reader(record);
        uint32_t length = 0;
        uint16_t offset = 0;
        if (!reader.ReadU32(locator.dataOffset + 16u, length) ||
            !reader.ReadU16(locator.dataOffset + 20u, offset))
            return false;
        const size_t from = size_t{locator.dataOffset} + offset;
        if (from > record.size())
            return false;
        const size_t count =
            static_cast<size_t>(std::min<uint64_t>({length, record.size() - from, wanted}));
        bitmap.assign(record.begin() + static_cast<std::ptrdiff_t>(from),
                      record.begin() + static_cast<std::ptrdiff_t>(from + count));
        return true;
    }

    std::vector<NtfsRunEntry> runs;
    m_volume.DecodeRuns(record, locator, runs, false);
    const std::vector<std::optional<uint64_t>> starts = m_volume.RunStartClusters(runs);
    BlockBuffer chunk(size_t{kReadBlockSectors} * kSectorBytes);
    for (size_t i = 0; i < runs.size() && i < starts.size() && bitmap.size() < wanted; ++i) {
        uint64_t sectors = runs[i].lengthSectors;
        uint64_t sector = starts[i] ? *starts[i] * voted : 0;
        while (sectors > 0 && bitmap.size() < wanted && !m_reporter.Stopped()) {
            const uint64_t remaining = wanted - bitmap.size();
            const uint32_t count = Clamp32(std::min<uint64_t>(
                {sectors, kReadBlockSectors, (remaining + kSectorBytes - 1) / kSectorBytes}));
            if (!starts[i])
                std::fill(chunk.begin(), chunk.end(), 0);
            else
                m_volume.Source().ReadSalvaging(sector, count, chunk.data());
            const size_t keep =
                static_cast<size_t>(std::min<uint64_t>(uint64_t{count} * kSectorBytes, remaining));
            bitmap.insert(bitmap.end(), chunk.begin(),
                          chunk.begin() + static_cast<std::ptrdiff_t>(keep));
            sector += count;
            sectors -= count;
        }
    }
    return !bitmap.empty();
}

void NtfsScanRun::SearchFreeClusters() {
    const uint64_t sectorsPerCluster = m_volume.m_sectorsPerCluster;
    const std::vector<bool>& map = m_volume.m_clusterMap;
    const uint64_t clusters = map.size();
    if (sectorsPerCluster == 0 || clusters == 0)
        return;
    ScanLog::Started(m_reporter.Window(), ProgramString(kSearchingTextId));
    const uint64_t blockClusters = std::max<uint64_t>(1, kReadBlockSectors / sectorsPerCluster);
    const ProgressBracket progress(m_reporter, ProgramString(kSearchingTextId),
                                   Clamp32((clusters + blockClusters - 1) / blockClusters));
    m_volume.m_environment.progressIdle = 0;

    BlockBuffer block(static_cast<size_t>(blockClusters * sectorsPerCluster) * kSectorBytes);
    std::vector<uint8_t> sector(kSectorBytes);
    for (uint64_t first = 0; first < clusters; first += blockClusters) {
        if (m_reporter.Stopped())
            break;
        progress.Step();
        const uint64_t count = std::min(blockClusters, clusters - first);
        bool anyFree = false;
        for (uint64_t c = first; c < first + count && !anyFree; ++c)
            anyFree = !map[c] && !m_examinedClusters[c];
        if (!anyFree)
            continue;
        const uint64_t firstSector = first * sectorsPerCluster;
        m_reporter.Send(MakeSetStatusText2(FormatText(StringTable::Program().Get(kReadingSectorId),
                                                      firstSector, m_volume.m_totalSectors)));
        const bool whole = m_volume.ReadSectors(firstSector, Clamp32(count * sectorsPerCluster),
                                                block.data()) != 0;
        for (uint64_t c = first; c < first + count; ++c) {
            if (m_reporter.Stopped())
                break;
            if (map[c] || m_examinedClusters[c])
                continue;
            std::span<const uint8_t> start(
                block.data() + static_cast<size_t>((c - first) * sectorsPerCluster) * kSectorBytes,
                kSectorBytes);
            if (!whole) {
                // One bad sector costs one cluster, not the block.
                if (m_volume.ReadSectors(c * sectorsPerCluster, 1, sector.data()) == 0) {
                    if (m_readErrorRows < kMaxReadErrorRows) {
                        ++m_readErrorRows;
                        m_reporter.LogRow(std::u16string(),
                                          FormatText(StringTable::Program().Get(kReadErrorId),
                                                     c * sectorsPerCluster),
                                          std::u16string(), ScanLog::kImageReadError);
                    }
                    continue;
                }
                start = sector;
            }
            MatchFreeCluster(c, start);
        }
    }
    m_volume.m_environment.progressIdle = 1;
    ScanLog::Ended(m_reporter.Window(), ProgramString(kSearchingTextId), m_reporter.Stopped());
}

bool NtfsScanRun::MatchFreeCluster(uint64_t cluster, std::span<const uint8_t> firstSector) {
    SignatureSearch* signatures = m_volume.m_environment.signatures;
    if (signatures == nullptr || cluster >= m_examinedClusters.size() ||
        cluster >= m_volume.m_clusterMap.size())
        return false;
    // Each cluster once: the collection meets again what the free-cluster search matched.
    if (m_volume.m_clusterMap[cluster] || m_examinedClusters[cluster])
        return false;
    m_examinedClusters[cluster] = true;
    std::optional<SignatureMatch> match =
        signatures->MatchCluster(m_volume, cluster, firstSector);
    if (!match)
        return false;
    RawFind find;
    find.extension = match->extension.substr(0, kMaxExtensionLength);
    find.firstCluster = cluster;
    find.size = match->length;
    m_rawFinds.push_back(std::move(find));
    return true;
}

// ---------------------------------------------------------------------------------------------
// Record collection

void NtfsScanRun::CollectRecords() {
    const uint64_t total = m_volume.m_totalSectors;
    ScanLog::Started(m_reporter.Window(), ProgramString(kSearchingTextId));
    const ProgressBracket progress(m_reporter, ProgramString(kSearchingTextId),
                                   Clamp32(total / kReadBlockSectors));
    m_volume.m_environment.progressIdle = 0;

    m_volume.m_recordTable.clear();
    m_volume.m_recordTableBase = 0;
    m_directory.clear();
    m_directoryByRecord.clear();
    m_directoryOfEntry.clear();
    m_nameHolders.clear();
    m_pendingNames.clear();
    std::vector<NtfsRecordEntry> table;
    Numbering numbering;
    const uint64_t sectorsPerCluster = m_volume.m_sectorsPerCluster;
    const bool matchClusters = m_volume.m_environment.signatureSearchEnabled &&
                               m_volume.m_environment.signatures != nullptr &&
                               sectorsPerCluster != 0;

    BlockBuffer block(BlockBytes(total));
    // The table holds one entry per record found: never more than the volume has room for.
    for (uint64_t start = kEdgeSectors; start < total; start += kReadBlockSectors) {
        if (m_reporter.Stopped())
            break;
        m_reporter.Send(MakeSetStatusText2(
            FormatText(StringTable::Program().Get(kReadingSectorId), start, total)));
        progress.Step();
        const uint32_t count = Clamp32(std::min<uint64_t>(kReadBlockSectors, total - start));
        const uint32_t withNext = Clamp32(std::min<uint64_t>(count + 1ull, total - start));
        std::fill(block.begin(), block.end(), 0);
        m_volume.Source().ReadSalvaging(start, withNext, block.data());
        for (uint32_t i = 0; i < count; i += 2) {
            const uint8_t* bytes = block.data() + size_t{i} * kSectorBytes;
            const uint64_t sector = start + i;
            // The mirror's copies would list records 0 to 3 twice and shift the numbering.
            if (m_mirror && sector >= m_mirror->first &&
                sector - m_mirror->first < m_mirror->second)
                continue;
            if (IsRecordStart(bytes)) {
                TakeRecord(sector, std::span<const uint8_t>(bytes, CNtfsFileSystem::kRecordSize),
                           numbering, table);
                continue;
            }
            if (!numbering.started) {
                ++numbering.counter;
                ++numbering.itemCounter;
            }
            if (matchClusters && sector % sectorsPerCluster == 0)
                MatchFreeCluster(sector / sectorsPerCluster,
                                 std::span<const uint8_t>(bytes, kSectorBytes));
        }
    }
    m_volume.m_environment.progressIdle = 1;
    ScanLog::Ended(m_reporter.Window(), ProgramString(kSearchingTextId), m_reporter.Stopped());

    ResolvePendingNames(table);
    table.shrink_to_fit();
    m_volume.m_recordTableBase = table.empty() ? 0 : table.front().itemId;
    m_volume.m_recordTable = std::move(table);
}

void NtfsScanRun::TakeRecord(uint64_t sector, std::span<const uint8_t> bytes, Numbering& numbering,
                             std::vector<NtfsRecordEntry>& table) {
    if (!numbering.started) {
        numbering.started = true;
        if (numbering.counter > kMaxLeadingPositions) {
            numbering.counter = 0;
            numbering.itemCounter = 0;
        }
    }
    CNtfsFileSystem::Record record{};
    std::copy_n(bytes.begin(), std::min(bytes.size(), record.size()), record.begin());
    const bool fixed = CNtfsFileSystem::ApplyFixup(record);
    // Extension records hold attributes of other records: never items of their own.
    const bool base = fixed && !IsExtensionRecord(record);
    uint32_t parent = 0;
    const bool hasParent = base && CNtfsFileSystem::GetParentRecord(record, parent);
    // A record whose name overflowed into an extension record gets its parent once that
    // record has been collected too.
    uint32_t nameHolder = 0;
    bool nameElsewhere = false;
    if (base && !hasParent) {
        if (const std::optional<uint32_t> holder = ListedNameRecord(record)) {
            nameHolder = *holder;
            nameElsewhere = true;
        }
    }
    const uint8_t flags = fixed ? CNtfsFileSystem::RecordFlags(record) : 0xFF;
    const bool folder = flags == 2 || flags == 3;

    NtfsRecordEntry entry;
    entry.sector = sector;
    entry.itemId = Clamp32(numbering.itemCounter);
    entry.recordNumber = Clamp32(numbering.counter);
    entry.parentRecord = hasParent ? parent : 0;
    entry.isFile = flags == 0 || flags == 1;
    entry.orphan = folder || !hasParent;

    // A record that names itself puts the numbering right, backward over the records since
    // the last one that did so: records of NTFS 3.1 carry their number in the header; a
    // folder's index names the folder as the parent of its entries.
    std::optional<uint32_t> own;
    if (fixed)
        own = HeaderRecordNumber(record);
    if (!own && folder && hasParent)
        own = OwnRecordNumber(record);
    if (own) {
        if (*own != entry.recordNumber) {
            Renumber(table, numbering.sinceAgreement, table.size(), *own);
            numbering.counter = *own;
        }
        entry.recordNumber = *own;
        numbering.sinceAgreement = table.size() + 1;
    }
    table.push_back(entry);
    ++numbering.counter;
    ++numbering.itemCounter;
    if (nameElsewhere)
        m_pendingNames.emplace_back(table.size() - 1, nameHolder);

    if (folder && hasParent && m_directoryByRecord.count(entry.recordNumber) == 0) {
        m_directoryByRecord.emplace(entry.recordNumber, m_directory.size());
        m_directoryOfEntry.emplace(table.size() - 1, m_directory.size());
        m_directory.push_back({table.size() - 1, false});
    }
}

void NtfsScanRun::Renumber(std::vector<NtfsRecordEntry>& table, size_t from, size_t to,
                           uint64_t next) {
    uint64_t number = next;
    for (size_t index = to; index > from && number > 0; --index) {
        NtfsRecordEntry& entry = table[index - 1];
        --number;
        const auto folder = m_directoryOfEntry.find(index - 1);
        if (folder != m_directoryOfEntry.end()) {
            const auto byNumber = m_directoryByRecord.find(entry.recordNumber);
            if (byNumber != m_directoryByRecord.end() && byNumber->second == folder->second)
                m_directoryByRecord.erase(byNumber);
            m_directoryByRecord.emplace(static_cast<uint32_t>(number), folder->second);
        }
        entry.recordNumber = static_cast<uint32_t>(number);
    }
}

void NtfsScanRun::ResolvePendingNames(std::vector<NtfsRecordEntry>& table) {
    if (m_pendingNames.empty())
        return;
    std::unordered_map<uint32_t, std::vector<size_t>> byNumber;
    for (size_t index = 0; index < table.size(); ++index)
        if (table[index].orphan && table[index].isFile)
            byNumber[table[index].recordNumber].push_back(index);
    CNtfsFileSystem::Record holder{};
    for (const auto& [index, number] : m_pendingNames) {
        const auto candidates = byNumber.find(number);
        if (candidates == byNumber.end())
            continue;
        NtfsRecordEntry& entry = table[index];
        for (size_t candidate : candidates->second) {
            uint32_t base = 0;
            uint32_t parent = 0;
            // The holder must name this record as its base: numbers may repeat (the $MFT's
            // mirror, stale copies).
            if (!m_volume.ReadRecordAt(table[candidate].sector, 0, holder) ||
                !ByteReader(holder).ReadU32(32, base) || base != entry.recordNumber ||
                !CNtfsFileSystem::GetParentRecord(holder, parent))
                continue;
            entry.parentRecord = parent;
            m_nameHolders[index] = candidate;
            if (entry.isFile) {
                entry.orphan = false;
            } else if (m_directoryByRecord.count(entry.recordNumber) == 0) {
                m_directoryByRecord.emplace(entry.recordNumber, m_directory.size());
                m_directoryOfEntry.emplace(index, m_directory.size());
                m_directory.push_back({index, false});
            }
            break;
        }
    }
    m_pendingNames.clear();
}

std::optional<uint32_t> NtfsScanRun::HeaderRecordNumber(const CNtfsFileSystem::Record& record) {
    // The number field follows the update-sequence offset 0x30 layout only.
    const ByteReader reader(record);
    uint16_t arrayOffset = 0;
    uint32_t number = 0;
    if (!reader.ReadU16(4, arrayOffset) || arrayOffset != 0x30 || !reader.ReadU32(44, number))
        return std::nullopt;
    return number;
}

std::optional<uint32_t> NtfsScanRun::EntryParent(std::span<const uint8_t> buffer, size_t offset) {
    const ByteReader reader(buffer);
    uint16_t keyLength = 0;
    uint8_t flags = 0;
    uint32_t parent = 0;
    if (!reader.ReadU16(offset + 10, keyLength) || !reader.ReadU8(offset + 12, flags) ||
        !reader.ReadU32(offset + 16, parent))
        return std::nullopt;
    // The last entry of a node has no key.
    if (keyLength < 66 || (flags & 0x02) != 0 || parent == 0)
        return std::nullopt;
    return parent;
}

std::optional<uint32_t> NtfsScanRun::OwnRecordNumber(const CNtfsFileSystem::Record& record) {
    NtfsAttributeLocator locator;
    if (m_volume.LocateFolderData(record, locator) == 0 ||
        locator.kind != NtfsAttributeLocator::kFolder)
        return std::nullopt;
    if (locator.resident)
        return EntryParent(record, locator.dataOffset);
    if (locator.indexRootEntries != 0)
        if (const std::optional<uint32_t> parent = EntryParent(record, locator.indexRootEntries))
            return parent;
    if (locator.dataOffset == 0 || m_volume.m_sectorsPerCluster == 0)
        return std::nullopt; // the index lies in another record
    std::vector<NtfsRunEntry> runs;
    m_volume.DecodeRuns(record, locator, runs, false);
    const std::vector<std::optional<uint64_t>> starts = m_volume.RunStartClusters(runs);
    for (size_t i = 0; i < runs.size() && i < starts.size(); ++i) {
        if (!starts[i])
            continue;
        const uint32_t sectors = runs[i].lengthSectors >= 8 ? 8 : 4;
        if (runs[i].lengthSectors < sectors)
            return std::nullopt;
        std::vector<uint8_t> block(size_t{sectors} * kSectorBytes);
        if (m_volume.ReadSectors(*starts[i] * m_volume.m_sectorsPerCluster, sectors,
                                 block.data()) == 0 ||
            !ApplyIndexFixup(block))
            return std::nullopt;
        uint32_t entries = 0;
        if (!ByteReader(block).ReadU32(24, entries))
            return std::nullopt;
        return EntryParent(block, 24ull + entries);
    }
    return std::nullopt;
}

// ---------------------------------------------------------------------------------------------
// Tree from the records

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

// ---------------------------------------------------------------------------------------------
// Raw data

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

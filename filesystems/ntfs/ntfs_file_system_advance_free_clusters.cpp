// The advance scan's free clusters: read from $Bitmap, each offered to the signature search.

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

constexpr uint32_t kBitmapRecord = 6;
constexpr uint32_t kMaxReadErrorRows = 100;

} // namespace

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
        m_reporter.Send(MakeSetStatusText2(FormatText(StringTable::Program().Get(kReadingSectorOfTotalId),
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
    std::optional<SignatureMatch> match = signatures->MatchCluster(m_volume, cluster, firstSector);
    if (!match)
        return false;
    RawFind find;
    find.extension = match->extension.substr(0, kMaxExtensionLength);
    find.firstCluster = cluster;
    find.size = match->length;
    m_rawFinds.push_back(std::move(find));
    return true;
}

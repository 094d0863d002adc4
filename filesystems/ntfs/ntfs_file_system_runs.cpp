#include "filesystems/ntfs/ntfs_file_system.h"

#include "diskio/sources/block_buffer.h"
#include "platform/text/byte_reader.h"

#include <algorithm>

namespace {

constexpr size_t kSectorSize = 512;
constexpr uint64_t kUnitClusters = 16; // clusters of one compression unit
// Longest cluster list handed out: a 256 GiB file at 4 KiB clusters. Sparse files may claim
// far more than their volume holds.
constexpr uint64_t kMaxListClusters = uint64_t{1} << 26;
// Sectors read at once when a run's data is read whole.
constexpr uint32_t kReadChunkSectors = 128;

uint64_t LittleEndian(const CNtfsFileSystem::Record& record, size_t at, size_t size) {
    uint64_t value = 0;
    for (size_t i = 0; i < size; ++i)
        value |= static_cast<uint64_t>(record[at + i]) << (8 * i);
    return value;
}

uint64_t SectorBytes(uint64_t sectors) {
    return sectors > UINT64_MAX / kSectorSize ? UINT64_MAX : sectors * kSectorSize;
}

} // namespace

// ----------------------------------------------------------------------------------------
// Run lists

uint64_t CNtfsFileSystem::DecodeRuns(const Record& record, const NtfsAttributeLocator& locator,
                                     std::vector<NtfsRunEntry>& table, bool keep) const {
    if (locator.resident || locator.dataOffset == 0)
        return 0;
    return DecodeRunList(record, locator.dataOffset, m_sectorsPerCluster, table, keep);
}

uint64_t CNtfsFileSystem::DecodeRunList(const Record& record, size_t offset,
                                        uint16_t sectorsPerCluster,
                                        std::vector<NtfsRunEntry>& table, bool keep) {
    if (offset == 0 || sectorsPerCluster == 0)
        return 0;
    const size_t appendedFrom = table.size();
    auto abnormal = [&] {
        if (!keep)
            table.resize(appendedFrom);
        return uint64_t{0};
    };
    uint64_t total = 0;
    size_t at = offset;
    for (bool first = true;; first = false) {
        if (at >= kRecordSize)
            return abnormal(); // the list runs off the record without its end mark
        const uint8_t header = record[at];
        if (header == 0)
            break;
        const size_t lengthSize = header & 0x0F;
        const size_t offsetSize = header >> 4;
        if (lengthSize == 0 || lengthSize > 4 || offsetSize > 4)
            return abnormal();
        if (at + 1 + lengthSize + offsetSize > kRecordSize || table.size() >= kMaxRunEntries)
            return abnormal();
        NtfsRunEntry run;
        run.lengthSectors = LittleEndian(record, at + 1, lengthSize) * sectorsPerCluster;
        run.rawOffset = LittleEndian(record, at + 1 + lengthSize, offsetSize);
        run.offsetSize = static_cast<uint8_t>(offsetSize);
        run.mark = first ? NtfsRunEntry::kFirst : NtfsRunEntry::kLater;
        table.push_back(run);
        total += run.lengthSectors;
        at += 1 + lengthSize + offsetSize;
    }
    return total;
}

uint64_t CNtfsFileSystem::DecodeCompressedRuns(const Record& record,
                                               const NtfsAttributeLocator& locator,
                                               std::vector<NtfsCompressedRunEntry>& table) const {
    std::vector<NtfsRunEntry> runs;
    const uint64_t total = DecodeRuns(record, locator, runs, false);
    if (runs.empty() || table.size() + 2 * runs.size() > kMaxRunEntries)
        return 0;
    const uint64_t spc = m_sectorsPerCluster;
    const size_t appendedFrom = table.size();
    // Splitting a data run adds an entry that moves the position on; the next placed run's
    // delta, relative to the data run's start, must then give back what the split added.
    int64_t owed = 0;
    for (const NtfsRunEntry& run : runs) {
        if (!run.IsSparse()) {
            NtfsCompressedRunEntry entry{run};
            if (run.mark == NtfsRunEntry::kLater && owed != 0) {
                entry.run.rawOffset = static_cast<uint64_t>(run.SignedOffset() - owed);
                entry.run.offsetSize = 8;
            }
            owed = 0;
            table.push_back(entry);
            continue;
        }
        // A hole after a data run: the data run's last partial unit is completed by the
        // hole's first clusters, which stand for the unit's compressed tail.
        uint64_t held = 0; // clusters of the unit the data run leaves open
        if (table.size() > appendedFrom && !table.back().run.IsSparse()) {
            NtfsCompressedRunEntry& data = table.back();
            const uint64_t clusters = data.run.lengthSectors / spc;
            held = clusters % kUnitClusters;
            if (clusters > kUnitClusters && held != 0) {
                const uint64_t whole = clusters - held;
                data.run.lengthSectors = whole * spc;
                NtfsCompressedRunEntry rest;
                rest.run.lengthSectors = held * spc;
                rest.run.rawOffset = whole;
                rest.run.offsetSize = 8;
                rest.run.mark = NtfsRunEntry::kLater;
                rest.inCompressionUnit = true;
                table.push_back(rest);
                owed += static_cast<int64_t>(whole);
            } else if (clusters < kUnitClusters) {
                data.inCompressionUnit = true;
            }
        }
        const uint64_t holeClusters = run.lengthSectors / spc;
        if (held == 0) {
            table.push_back({run, false, true});
            continue;
        }
        const uint64_t completing = kUnitClusters - held;
        if (holeClusters <= completing) {
            table.push_back({run, true, false});
            continue;
        }
        NtfsRunEntry head = run;
        head.lengthSectors = completing * spc;
        NtfsRunEntry tail = run;
        tail.lengthSectors = (holeClusters - completing) * spc;
        tail.mark = NtfsRunEntry::kLater;
        table.push_back({head, true, false});
        table.push_back({tail, false, true});
    }
    return total;
}

std::vector<std::optional<uint64_t>>
CNtfsFileSystem::RunStartClusters(std::span<const NtfsRunEntry> runs) {
    std::vector<std::optional<uint64_t>> starts;
    starts.reserve(runs.size());
    int64_t cluster = 0;
    bool placed = true; // false once the running position has overflowed
    for (const NtfsRunEntry& run : runs) {
        if (run.mark == NtfsRunEntry::kFirst) {
            // Each list starts from cluster 0; its first offset is absolute.
            placed = run.rawOffset <= static_cast<uint64_t>(INT64_MAX);
            cluster = placed && !run.IsSparse() ? static_cast<int64_t>(run.rawOffset) : 0;
        } else if (!run.IsSparse()) {
            placed = placed && !__builtin_add_overflow(cluster, run.SignedOffset(), &cluster);
        }
        if (run.IsSparse() || !placed || cluster < 0)
            starts.push_back(std::nullopt); // a hole, or a position no volume has
        else
            starts.push_back(static_cast<uint64_t>(cluster));
    }
    return starts;
}

bool CNtfsFileSystem::ReadRunData(std::span<const NtfsRunEntry> runs, uint64_t byteLimit,
                                  std::vector<uint8_t>& out) {
    out.clear();
    const std::vector<std::optional<uint64_t>> starts = RunStartClusters(runs);
    bool complete = true;
    BlockBuffer chunk(static_cast<size_t>(kReadChunkSectors) * kSectorSize);
    for (size_t i = 0; i < runs.size() && out.size() < byteLimit; ++i) {
        uint64_t sectors = runs[i].lengthSectors;
        uint64_t sector = starts[i] ? *starts[i] * m_sectorsPerCluster : 0;
        while (sectors > 0 && out.size() < byteLimit) {
            const uint64_t remaining = byteLimit - out.size();
            const uint32_t count = static_cast<uint32_t>(std::min<uint64_t>(
                {sectors, kReadChunkSectors,
                 remaining / kSectorSize + (remaining % kSectorSize != 0 ? 1 : 0)}));
            if (!starts[i])
                std::fill(chunk.begin(), chunk.end(), 0);
            else if (!ReadSectors(sector, count, chunk.data()))
                complete = false; // the failed sectors read as zeros
            const size_t keep = static_cast<size_t>(
                std::min<uint64_t>(uint64_t{count} * kSectorSize, byteLimit - out.size()));
            out.insert(out.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(keep));
            sector += count;
            sectors -= count;
        }
    }
    return complete;
}

// ----------------------------------------------------------------------------------------
// Data of a found item

uint64_t CNtfsFileSystem::DecodeListedRuns(const std::vector<uint32_t>& records, uint8_t type,
                                           NtfsDataRuns& out) {
    uint64_t total = 0;
    bool first = true;
    bool sized = false;
    for (uint32_t number : records) {
        Record record{};
        NtfsAttributeLocator locator;
        if (!ReadListedRecord(number, record) || !LocateFileData(record, locator))
            continue;
        if (first && type == 0x80 && locator.compressed)
            out.isCompressed = true;
        first = false;
        // The sizes are kept in the first extent; later extents carry zeros.
        uint64_t dataSize = 0, initialized = 0, allocated = 0;
        if (!sized && type == 0x80 && GetDataSizes(record, dataSize, initialized, allocated) &&
            allocated != 0) {
            out.dataSize = dataSize;
            out.initializedSize = initialized;
            sized = true;
        }
        for (uint16_t at : ExtentRunLists(record, type)) {
            NtfsAttributeLocator extent;
            extent.dataOffset = at;
            if (out.isCompressed)
                total += DecodeCompressedRuns(record, extent, out.compressed);
            else
                total += DecodeRuns(record, extent, out.runs, true);
        }
    }
    return total;
}

bool CNtfsFileSystem::ReadDataRuns(const FoundItem& item, NtfsDataRuns& out) {
    out = NtfsDataRuns{};
    const uint32_t id = static_cast<uint32_t>(item.entryId);
    Record record{};
    if (!m_recordTable.empty()) {
        const uint64_t index = uint64_t{id} - m_recordTableBase;
        if (id < m_recordTableBase || index >= m_recordTable.size())
            return false;
        if (!ReadRecordAt(m_recordTable[index].sector, 0, record))
            return false;
    } else if (!ReadRecord(id, record)) {
        return false;
    }
    const uint8_t flags = RecordFlags(record);
    const bool fileRecord = flags == 0 || flags == 1;
    NtfsAttributeLocator locator;
    if (!(fileRecord ? LocateFileData(record, locator) : LocateFolderData(record, locator)))
        return false;

    if (locator.resident) {
        std::span<const uint8_t> content;
        if (locator.kind == NtfsAttributeLocator::kFile) {
            content = ResidentContent(record, locator.dataOffset);
        } else {
            // A small folder's index entries: up to the end of their $INDEX_ROOT.
            for (const AttributeSpan& attribute : WalkAttributes(record))
                if (attribute.offset <= locator.dataOffset &&
                    locator.dataOffset < attribute.offset + attribute.length)
                    content = std::span<const uint8_t>(record).subspan(
                        locator.dataOffset,
                        std::min<size_t>(attribute.offset + attribute.length, kRecordSize) -
                            locator.dataOffset);
        }
        out.resident = true;
        out.residentData.assign(content.begin(), content.end());
        out.dataSize = out.initializedSize = content.size();
        return true;
    }

    out.isCompressed = fileRecord && (item.noData != 0 || locator.compressed);
    std::vector<uint32_t> listed;
    if (locator.attributeList)
        listed = ReadAttributeList(record);
    if (!listed.empty()) {
        DecodeListedRuns(listed, fileRecord ? 0x80 : 0xA0, out);
    } else if (locator.dataOffset != 0) {
        if (out.isCompressed)
            DecodeCompressedRuns(record, locator, out.compressed);
        else
            DecodeRuns(record, locator, out.runs, true);
        uint64_t allocated = 0;
        if (fileRecord)
            GetDataSizes(record, out.dataSize, out.initializedSize, allocated);
    } else {
        return false; // the data lies in records no list names
    }

    uint64_t sectors = 0;
    for (const NtfsRunEntry& run : out.runs)
        sectors += run.lengthSectors;
    for (const NtfsCompressedRunEntry& entry : out.compressed)
        sectors += entry.run.lengthSectors;
    // Without a recorded size the runs tell how much there is.
    if (out.dataSize == 0) {
        out.dataSize = SectorBytes(sectors);
        out.initializedSize = out.dataSize;
    }
    out.initializedSize = std::min(out.initializedSize, out.dataSize);
    return true;
}

ClusterList CNtfsFileSystem::GetFileClusters(const FoundItem& item) {
    if (item.contiguousData != 0)
        return item.firstCluster < ClusterList::kSparseCluster
                   ? GetContiguousClusters(static_cast<uint32_t>(item.firstCluster), item.size)
                   : ClusterList{};
    ClusterList list;
    list.byteLength = item.size;
    if (item.noData != 0 || m_sectorsPerCluster == 0)
        return list; // recovery decompresses compressed files itself
    NtfsDataRuns data;
    if (!ReadDataRuns(item, data) || data.isCompressed)
        return list;
    list.byteLength = data.dataSize;
    list.validLength = data.initializedSize;
    if (data.resident)
        return list;

    const uint64_t clusterBytes = uint64_t{m_sectorsPerCluster} * kSectorSize;
    uint64_t runClusters = 0;
    for (const NtfsRunEntry& run : data.runs)
        runClusters += run.lengthSectors / m_sectorsPerCluster;
    uint64_t wanted = item.IsFolder() ? runClusters
                                      : data.dataSize / clusterBytes +
                                            (data.dataSize % clusterBytes != 0 ? 1 : 0);
    // No list is longer than the volume: a sparse file may claim any size.
    const uint64_t volumeClusters =
        m_totalSectors / m_sectorsPerCluster + (m_totalSectors % m_sectorsPerCluster != 0);
    wanted = std::min({wanted, kMaxListClusters, volumeClusters});

    const std::vector<std::optional<uint64_t>> starts = RunStartClusters(data.runs);
    for (size_t i = 0; i < data.runs.size() && list.clusters.size() < wanted; ++i) {
        const uint64_t clusters = data.runs[i].lengthSectors / m_sectorsPerCluster;
        for (uint64_t c = 0; c < clusters && list.clusters.size() < wanted; ++c) {
            // Holes, and clusters no 32-bit number can name, read as zeros.
            if (!starts[i] || *starts[i] + c >= ClusterList::kSparseCluster)
                list.clusters.push_back(ClusterList::kSparseCluster);
            else
                list.clusters.push_back(static_cast<uint32_t>(*starts[i] + c));
        }
    }
    return list;
}

ClusterList CNtfsFileSystem::GetContiguousClusters(uint32_t firstCluster, uint64_t size) const {
    ClusterList list;
    list.byteLength = size;
    list.validLength = size;
    if (size == 0 || m_sectorsPerCluster == 0)
        return list;
    const uint64_t sectors = size / kSectorSize + (size % kSectorSize != 0 ? 1 : 0);
    // Never past the volume's last cluster, whatever the size claims.
    const uint64_t volumeClusters =
        m_totalSectors / m_sectorsPerCluster + (m_totalSectors % m_sectorsPerCluster != 0);
    if (firstCluster >= volumeClusters)
        return list;
    const uint64_t count =
        std::min({sectors / m_sectorsPerCluster + (sectors % m_sectorsPerCluster != 0 ? 1 : 0),
                  kMaxListClusters, volumeClusters - firstCluster});
    list.clusters.reserve(static_cast<size_t>(count));
    for (uint64_t i = 0; i < count && firstCluster + i < ClusterList::kSparseCluster; ++i)
        list.clusters.push_back(static_cast<uint32_t>(firstCluster + i));
    return list;
}

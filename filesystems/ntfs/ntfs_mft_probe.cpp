// A $MFT record met loose on a disk, read with the NTFS reader's own record code. Nothing of the
// disk is trusted: every record is copied and fixed up, every run list stays inside its record,
// every count is capped, and sector arithmetic is checked for overflow. A read that fails makes
// what it should have given count for nothing.

#include "filesystems/ntfs/ntfs_mft_probe.h"

#include "filesystems/ntfs/ntfs_file_system.h"
#include "filesystems/ntfs/ntfs_scan_run.h"
#include "platform/text/byte_reader.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

using Record = CNtfsFileSystem::Record;
static_assert(NtfsMftProbe::kRecordBytes == CNtfsFileSystem::kRecordSize);

constexpr uint8_t kAttributeList = 0x20;
constexpr uint8_t kData = 0x80;
constexpr uint64_t kSectorBytes = 512;
constexpr uint64_t kRecordSectors = NtfsMftProbe::kRecordBytes / kSectorBytes;
// The $MFT record keeps its $DATA and $ATTRIBUTE_LIST among its first attributes.
constexpr size_t kProbeAttributes = 20;
// The non-resident attribute header up to the initialized size.
constexpr size_t kNonResidentHeader = 64;
// Records an attribute list may name for the $MFT's $DATA: far more extents than any $MFT has.
constexpr size_t kMaxListedRecords = 1024;
// Bytes of a non-resident attribute list read: room for many more entries than that.
constexpr uint64_t kMaxListBytes = 64 * 1024;
constexpr uint32_t kListChunkSectors = 16;
// The largest $MFT the reader takes.
constexpr uint64_t kMaxMftBytes = CNtfsFileSystem::kMaxMftRecords * CNtfsFileSystem::kRecordSize;
constexpr uint32_t kMirrorRecord = 1;

// Copies a file record and undoes its update sequence. Both sector ends must carry the check
// value: a record torn by a write, or pieced together from the wrong sectors, does not.
bool FixedRecord(std::span<const uint8_t> bytes, Record& out) {
    if (bytes.size() < out.size() || std::memcmp(bytes.data(), "FILE", 4) != 0)
        return false;
    const size_t array = bytes[4];
    if (array != 0x2A && array != 0x30)
        return false;
    for (const size_t end : {size_t{510}, size_t{1022}})
        if (bytes[end] != bytes[array] || bytes[end + 1] != bytes[array + 1])
            return false;
    std::copy_n(bytes.begin(), out.size(), out.begin());
    return CNtfsFileSystem::ApplyFixup(out);
}

// The cluster size at which `clusters` clusters hold exactly `allocated` bytes; 0 for none.
uint16_t FittingClusterSize(uint64_t clusters, uint64_t allocated) {
    if (clusters == 0 || allocated % kSectorBytes != 0)
        return 0;
    const uint64_t sectors = allocated / kSectorBytes;
    for (uint32_t spc = 1; spc <= NtfsMftProbe::kLargestCluster; spc *= 2)
        if (sectors % spc == 0 && sectors / spc == clusters)
            return static_cast<uint16_t>(spc);
    return 0;
}

// Where the volume begins when its cluster `firstCluster` is at `recordSector`: nothing when
// that would be before the disk or inside its first track.
std::optional<uint64_t> VolumeStart(uint64_t recordSector, uint16_t spc, uint64_t firstCluster) {
    uint64_t offset = 0;
    if (__builtin_mul_overflow(firstCluster, uint64_t{spc}, &offset) || offset > recordSector)
        return std::nullopt;
    const uint64_t start = recordSector - offset;
    if (start < NtfsMftProbe::kLeastStartSector)
        return std::nullopt;
    return start;
}

std::optional<uint64_t> ClusterSector(uint64_t volumeStart, uint16_t spc, uint64_t cluster) {
    uint64_t offset = 0;
    uint64_t sector = 0;
    if (__builtin_mul_overflow(cluster, uint64_t{spc}, &offset) ||
        __builtin_add_overflow(volumeStart, offset, &sector))
        return std::nullopt;
    return sector;
}

// Where the $MFT record a hit's record 0 would be the mirror's copy of lies: `mirrorCluster`
// clusters' worth of sectors back from the hit, `mftCluster` forward. Nothing off the disk.
std::optional<uint64_t> RealMftSector(uint64_t recordSector, uint16_t spc, uint64_t mftCluster,
                                      uint64_t mirrorCluster) {
    uint64_t offset = 0;
    const uint64_t clusters =
        mftCluster > mirrorCluster ? mftCluster - mirrorCluster : mirrorCluster - mftCluster;
    if (__builtin_mul_overflow(clusters, uint64_t{spc}, &offset))
        return std::nullopt;
    uint64_t sector = 0;
    if (mftCluster > mirrorCluster)
        return __builtin_add_overflow(recordSector, offset, &sector) ? std::nullopt
                                                                     : std::optional(sector);
    return offset > recordSector ? std::nullopt : std::optional(recordSector - offset);
}

// The attribute's header fields that make it one extent of an unnamed non-resident $DATA.
bool ReadExtent(const Record& record, size_t at, size_t length, uint64_t& firstVcn,
                uint64_t& lastVcn, size_t& runList) {
    const ByteReader reader(record);
    uint8_t nonResident = 0;
    uint8_t nameLength = 0;
    uint16_t runOffset = 0;
    if (length < kNonResidentHeader || !reader.Contains(at, kNonResidentHeader) ||
        !reader.ReadU8(at + 8, nonResident) || !reader.ReadU8(at + 9, nameLength) ||
        !reader.ReadU64(at + 16, firstVcn) || !reader.ReadU64(at + 24, lastVcn) ||
        !reader.ReadU16(at + 32, runOffset))
        return false;
    if (nonResident != 1 || nameLength != 0 || runOffset < kNonResidentHeader ||
        runOffset >= length || at + runOffset >= record.size())
        return false;
    runList = at + runOffset;
    return true;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// The record table of the $MFT's first extent

class NtfsMftProbe::RecordMap {
public:
    // `runs` as decoded at one sector per cluster; a run that cannot be placed, and every run
    // after it, maps nothing.
    RecordMap(std::span<const NtfsRunEntry> runs, uint64_t volumeStart, uint16_t spc) {
        const std::vector<std::optional<uint64_t>> starts = CNtfsFileSystem::RunStartClusters(runs);
        for (size_t i = 0; i < runs.size(); ++i) {
            Piece piece;
            if (__builtin_mul_overflow(runs[i].lengthSectors, uint64_t{spc}, &piece.sectors))
                break;
            if (starts[i]) {
                piece.sector = ClusterSector(volumeStart, spc, *starts[i]);
                if (!piece.sector)
                    break;
            }
            m_pieces.push_back(piece);
        }
    }

    // The sectors of record `number`'s two halves: adjacent, or the second at the start of the
    // next run. Nothing for a record past the runs or in a hole.
    std::optional<std::pair<uint64_t, uint64_t>> Locate(uint64_t number) const {
        uint64_t offset = 0; // sector within the $MFT's data
        if (__builtin_mul_overflow(number, kRecordSectors, &offset))
            return std::nullopt;
        std::optional<uint64_t> first;
        for (const Piece& piece : m_pieces) {
            if (offset >= piece.sectors) {
                offset -= piece.sectors;
                continue;
            }
            if (!piece.sector)
                return std::nullopt;
            const uint64_t sector = *piece.sector + offset;
            if (sector < *piece.sector)
                return std::nullopt;
            if (first)
                return std::pair(*first, sector);
            if (offset + 1 < piece.sectors)
                return std::pair(sector, sector + 1);
            first = sector;
            offset = 0; // the second half begins the next run
        }
        return std::nullopt;
    }

private:
    struct Piece {
        std::optional<uint64_t> sector; // nothing for a hole
        uint64_t sectors = 0;
    };
    std::vector<Piece> m_pieces;
};

bool NtfsMftProbe::ReadMapped(const RecordMap& map, uint64_t number, const SectorReader& read,
                              Record& out) {
    const std::optional<std::pair<uint64_t, uint64_t>> sectors = map.Locate(number);
    if (!sectors)
        return false;
    Record bytes{};
    const bool whole = sectors->second == sectors->first + 1
                           ? read(sectors->first, 2, bytes.data())
                           : read(sectors->first, 1, bytes.data()) &&
                                 read(sectors->second, 1, bytes.data() + kSectorBytes);
    return whole && FixedRecord(bytes, out);
}

// ---------------------------------------------------------------------------------------------
// Attributes

std::optional<NtfsMftProbe::DataExtent> NtfsMftProbe::FirstData(const Record& record) {
    for (const auto& attribute : CNtfsFileSystem::WalkAttributes(record, kProbeAttributes)) {
        if (attribute.type != kData)
            continue;
        DataExtent extent;
        if (!ReadExtent(record, attribute.offset, attribute.length, extent.firstVcn, extent.lastVcn,
                        extent.runList))
            return std::nullopt;
        return extent;
    }
    return std::nullopt;
}

std::vector<NtfsMftProbe::DataExtent> NtfsMftProbe::DataExtents(const Record& record) {
    const auto attributes = CNtfsFileSystem::WalkAttributes(record);
    std::vector<DataExtent> extents;
    for (const uint16_t runList : CNtfsFileSystem::ExtentRunLists(record, kData)) {
        // The attribute whose bytes hold the run list.
        const auto holder = std::find_if(attributes.begin(), attributes.end(), [&](const auto& a) {
            return a.type == kData && a.offset < runList && runList - a.offset < a.length;
        });
        DataExtent extent;
        if (holder == attributes.end() ||
            !ReadExtent(record, holder->offset, holder->length, extent.firstVcn, extent.lastVcn,
                        extent.runList) ||
            extent.runList != runList)
            return {};
        extents.push_back(extent);
    }
    return extents;
}

uint64_t NtfsMftProbe::ExtentClusters(const Record& record, const DataExtent& extent,
                                      std::vector<NtfsRunEntry>& runs) {
    runs.clear();
    const uint64_t clusters =
        CNtfsFileSystem::DecodeRunList(record, extent.runList, 1, runs, false);
    if (clusters == 0 || extent.lastVcn < extent.firstVcn ||
        extent.lastVcn - extent.firstVcn != clusters - 1)
        return 0;
    return clusters;
}

std::optional<size_t> NtfsMftProbe::AttributeListAt(const Record& record) {
    for (const auto& attribute : CNtfsFileSystem::WalkAttributes(record, kProbeAttributes))
        if (attribute.type == kAttributeList)
            return attribute.offset;
    return std::nullopt;
}

std::vector<uint32_t> NtfsMftProbe::ListedDataRecords(const Record& record, size_t listAt,
                                                      uint64_t volumeStart,
                                                      uint16_t sectorsPerCluster,
                                                      const SectorReader& read) {
    const ByteReader reader(record);
    uint8_t nonResident = 0;
    if (!reader.ReadU8(listAt + 8, nonResident))
        return {};
    if (nonResident == 0)
        return CNtfsFileSystem::ListedRecords(CNtfsFileSystem::ResidentContent(record, listAt),
                                              kMaxListedRecords);

    uint16_t runOffset = 0;
    uint64_t listSize = 0;
    if (!reader.ReadU16(listAt + 32, runOffset) || !reader.ReadU64(listAt + 48, listSize) ||
        listAt + runOffset >= record.size())
        return {};
    std::vector<NtfsRunEntry> runs;
    if (CNtfsFileSystem::DecodeRunList(record, listAt + runOffset, 1, runs, false) == 0)
        return {};
    const std::vector<std::optional<uint64_t>> starts = CNtfsFileSystem::RunStartClusters(runs);
    const uint64_t wanted = std::min(listSize, kMaxListBytes);
    std::vector<uint8_t> list;
    std::vector<uint8_t> chunk(size_t{kListChunkSectors} * kSectorBytes);
    for (size_t i = 0; i < runs.size() && list.size() < wanted; ++i) {
        // An attribute list has no holes; one that claims some is no list to follow.
        if (!starts[i])
            return {};
        const std::optional<uint64_t> first =
            ClusterSector(volumeStart, sectorsPerCluster, *starts[i]);
        uint64_t sectors = 0;
        if (!first || __builtin_mul_overflow(runs[i].lengthSectors, sectorsPerCluster, &sectors))
            return {};
        for (uint64_t done = 0; done < sectors && list.size() < wanted;) {
            const uint64_t remaining = wanted - list.size();
            const uint32_t count = static_cast<uint32_t>(
                std::min<uint64_t>({sectors - done, kListChunkSectors,
                                    (remaining + kSectorBytes - 1) / kSectorBytes}));
            if (*first + done < *first || !read(*first + done, count, chunk.data()))
                return {};
            const size_t keep =
                static_cast<size_t>(std::min<uint64_t>(uint64_t{count} * kSectorBytes, remaining));
            list.insert(list.end(), chunk.begin(),
                        chunk.begin() + static_cast<std::ptrdiff_t>(keep));
            done += count;
        }
    }
    return CNtfsFileSystem::ListedRecords(list, kMaxListedRecords);
}

// The listed records make one sound $DATA when:
// - the list names record 0, the record in hand, first: it holds VCN 0 and the sizes;
// - every other record is a file record (fix-up and check value) that names record 0 as its
//   base with the base's sequence number (a base record names no base at all: reference 0),
//   and carries its own number in its header when it has that field;
// - every record named holds an extent, and the extents, in list order, continue each other's
//   VCNs from 0 with exactly the clusters their VCNs span.
// Any record that cannot be read through the base record's runs fails the whole list.
uint64_t NtfsMftProbe::ListedClusters(const Record& base, std::span<const uint32_t> records,
                                      const RecordMap& map, const SectorReader& read) {
    if (records.empty() || records.front() != 0)
        return 0;
    uint16_t sequence = 0;
    if (!ByteReader(base).ReadU16(16, sequence) || sequence == 0)
        return 0;
    const uint64_t baseReference = uint64_t{sequence} << 48;
    uint64_t nextVcn = 0;
    uint64_t total = 0;
    std::vector<NtfsRunEntry> runs;
    Record extension{};
    for (const uint32_t number : records) {
        const Record* holder = &base;
        if (number != 0) {
            uint64_t reference = 0;
            if (!ReadMapped(map, number, read, extension) ||
                !ByteReader(extension).ReadU64(32, reference) || reference != baseReference)
                return 0;
            const std::optional<uint32_t> own = NtfsScanRun::HeaderRecordNumber(extension);
            if (own && *own != number)
                return 0;
            holder = &extension;
        }
        const std::vector<DataExtent> extents = DataExtents(*holder);
        if (extents.empty())
            return 0;
        for (const DataExtent& extent : extents) {
            const uint64_t clusters = ExtentClusters(*holder, extent, runs);
            if (clusters == 0 || extent.firstVcn != nextVcn || extent.lastVcn == UINT64_MAX ||
                __builtin_add_overflow(total, clusters, &total))
                return 0;
            nextVcn = extent.lastVcn + 1;
        }
    }
    return total;
}

uint64_t NtfsMftProbe::MirrorCluster(const RecordMap& map, const SectorReader& read) {
    Record record{};
    if (!ReadMapped(map, kMirrorRecord, read, record))
        return 0;
    // Records of NTFS 3.1 carry their number; older ones are known by their name only.
    const std::optional<uint32_t> number = NtfsScanRun::HeaderRecordNumber(record);
    if (CNtfsFileSystem::GetLongName(record) != u"$MFTMirr" && number != kMirrorRecord)
        return 0;
    const std::optional<DataExtent> data = FirstData(record);
    std::vector<NtfsRunEntry> runs;
    if (!data || CNtfsFileSystem::DecodeRunList(record, data->runList, 1, runs, false) == 0 ||
        runs.front().IsSparse())
        return 0;
    return runs.front().rawOffset;
}

// ---------------------------------------------------------------------------------------------
// The probe

bool NtfsMftProbe::IsMftRecord(std::span<const uint8_t> bytes) {
    Record record{};
    return FixedRecord(bytes, record) && CNtfsFileSystem::GetLongName(record) == u"$MFT";
}

std::optional<NtfsMftProbe::Placement> NtfsMftProbe::Probe(std::span<const uint8_t> bytes,
                                                           uint64_t recordSector,
                                                           const SectorReader& read) {
    Record record{};
    if (!FixedRecord(bytes, record) || CNtfsFileSystem::GetLongName(record) != u"$MFT")
        return std::nullopt;
    const std::optional<DataExtent> data = FirstData(record);
    uint64_t dataSize = 0;
    uint64_t initialized = 0;
    uint64_t allocated = 0;
    // The base record holds the $DATA from VCN 0, with the sizes.
    if (!data || data->firstVcn != 0 ||
        !CNtfsFileSystem::GetDataSizes(record, dataSize, initialized, allocated) ||
        allocated == 0 || allocated > kMaxMftBytes)
        return std::nullopt;
    std::vector<NtfsRunEntry> runs;
    const uint64_t baseClusters = ExtentClusters(record, *data, runs);
    if (baseClusters == 0 || runs.front().IsSparse())
        return std::nullopt;

    Placement placement;
    placement.mftFirstCluster = runs.front().rawOffset;
    std::optional<RecordMap> map;
    if (const std::optional<size_t> list = AttributeListAt(record)) {
        // Records in later runs lie where the cluster size puts them: each size is tried, and
        // the first whose gathered runs hold the allocated size is taken.
        for (uint32_t spc = 1; spc <= kLargestCluster && !map; spc *= 2) {
            const uint16_t size = static_cast<uint16_t>(spc);
            const std::optional<uint64_t> start =
                VolumeStart(recordSector, size, placement.mftFirstCluster);
            if (!start)
                continue;
            RecordMap trial(runs, *start, size);
            const std::vector<uint32_t> records =
                ListedDataRecords(record, *list, *start, size, read);
            const uint64_t clusters = ListedClusters(record, records, trial, read);
            if (clusters == 0 || FittingClusterSize(clusters, allocated) != size)
                continue;
            placement.sectorsPerCluster = size;
            placement.mftClusters = clusters;
            placement.volumeStart = *start;
            map.emplace(std::move(trial));
        }
    } else {
        const uint16_t spc = FittingClusterSize(baseClusters, allocated);
        const std::optional<uint64_t> start =
            spc != 0 ? VolumeStart(recordSector, spc, placement.mftFirstCluster) : std::nullopt;
        if (start) {
            placement.sectorsPerCluster = spc;
            placement.mftClusters = baseClusters;
            placement.volumeStart = *start;
            map.emplace(runs, *start, spc);
        }
    }
    if (!map)
        return std::nullopt;

    placement.mirrorCluster = MirrorCluster(*map, read);
    // The mirror holds a copy of record 0, also named $MFT, that names the real $MFT's cluster
    // while lying at the mirror's: when a $MFT record lies where this one's clusters put the
    // real $MFT, this one is the copy, and its placement a volume that is not there.
    const uint64_t mirror = placement.mirrorCluster;
    if (mirror != 0 && mirror != placement.mftFirstCluster) {
        const std::optional<uint64_t> real = RealMftSector(
            recordSector, placement.sectorsPerCluster, placement.mftFirstCluster, mirror);
        Record other{};
        if (real && read(*real, kRecordSectors, other.data()) && IsMftRecord(other))
            return std::nullopt;
    }
    return placement;
}

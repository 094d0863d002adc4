#include "jobs/scan_info/scan_info_file.h"

#include "diskio/records/stored_drive_list.h"
#include "filesystems/fat/fat_type.h"
#include "filesystems/found_item_serializer.h"
#include "filesystems/ntfs/ntfs_record_entry_serializer.h"
#include "filesystems/ntfs/ntfs_run_entry_serializer.h"
#include "jobs/scan_info/scan_info_header_serializer.h"
#include "platform/text/byte_reader.h"

#include <algorithm>
#include <array>
#include <bit>
#include <limits>

namespace {

using Refusal = ScanInfoFile::Refusal;

constexpr uint64_t kSectorBytes = 512;
constexpr uint8_t kContiguous = 2;
// The smallest item record: its length byte and the item, with no name.
constexpr size_t kMinItemRecord = 1 + FoundItemSerializer::kSize;

bool PowerOfTwoUpTo(uint32_t value, uint32_t most) {
    return value != 0 && value <= most && std::has_single_bit(value);
}

bool FatGeometryHolds(const FatVolumeRecord& fat) {
    if (!PowerOfTwoUpTo(fat.sectorsPerCluster, 128))
        return false;
    const uint8_t type = fat.fatType;
    // A raw search's reader knows no type.
    if (type != 0 && FatTypeFromCode(type) == FatType::Unknown)
        return false;
    if (fat.linkingMode > kContiguous || fat.firstSector > fat.lastSector)
        return false;
    if (fat.absoluteSectors != 0 && fat.totalSectors != fat.lastSector - fat.firstSector + 1)
        return false;
    const uint64_t system =
        uint64_t{fat.reservedSectors} + 2 * uint64_t{fat.sectorsPerFat} + fat.rootFolderSectors;
    if (system > fat.totalSectors)
        return false;
    // One map byte per cluster number below the limit, which follows the FAT copy or else the
    // data area.
    const uint64_t dataClusters = (fat.totalSectors - system) / fat.sectorsPerCluster + 3;
    const uint64_t fatEntries =
        type == 0
            ? 0
            : uint64_t{fat.sectorsPerFat} * PropertiesOf(FatTypeFromCode(type)).entriesPerSector +
                  1;
    if (fat.mapSize > std::max(dataClusters, fatEntries))
        return false;
    // A map is built for the whole table or the whole data area, whichever is smaller; a
    // shorter one would set a limit below the volume's clusters. None at all is a scan that
    // never built one.
    const uint64_t smallestMap =
        std::min(fatEntries == 0 ? dataClusters : std::min(dataClusters, fatEntries),
                 kFatMaxClusterNumber + 3);
    return fat.mapSize == 0 || fat.mapSize >= smallestMap;
}

// The number one past the last cluster an item of the volume can name: FAT counts from 2 and
// a table may number more clusters than the data area holds; NTFS counts from 0.
uint64_t ClusterEnd(const ScanInfoHeader& header) {
    if (header.content == ScanInfoHeader::Content::Ntfs) {
        const NtfsVolumeRecord& ntfs = header.ntfs;
        return ntfs.totalSectors / ntfs.sectorsPerCluster +
               (ntfs.totalSectors % ntfs.sectorsPerCluster != 0 ? 1 : 0);
    }
    const FatVolumeRecord& fat = header.fat;
    const uint64_t system =
        uint64_t{fat.reservedSectors} + 2 * uint64_t{fat.sectorsPerFat} + fat.rootFolderSectors;
    const uint64_t dataClusters = (fat.totalSectors - system) / fat.sectorsPerCluster + 2;
    const uint64_t fatEntries =
        fat.fatType == 0 ? 0
                         : uint64_t{fat.sectorsPerFat} *
                               PropertiesOf(FatTypeFromCode(fat.fatType)).entriesPerSector;
    return std::max(dataClusters, fatEntries);
}

// Whether an item can belong to the volume the header describes: no file larger than the
// volume (NTFS files with runs excepted: sparse and compressed files may claim more than the
// volume holds), no cluster past its end. A raw search's items hold a first sector of the
// searched range instead of a cluster.
bool ItemFits(const ScanInfoHeader& header, const FoundItem& item) {
    const bool fat = header.content == ScanInfoHeader::Content::Fat;
    const uint64_t totalSectors = fat ? header.fat.totalSectors : header.ntfs.totalSectors;
    const uint64_t volumeBytes =
        totalSectors > UINT64_MAX / kSectorBytes ? UINT64_MAX : totalSectors * kSectorBytes;
    if (fat && header.fat.absoluteSectors != 0) {
        if (item.IsFolder() || item.contiguousData == 0)
            return true;
        const uint64_t first = header.fat.firstSector;
        const uint64_t last = header.fat.lastSector;
        return item.firstCluster >= first && item.firstCluster <= last &&
               item.size <= (last - item.firstCluster + 1) * kSectorBytes;
    }
    if (fat) {
        if (!item.IsFolder() && item.size > volumeBytes)
            return false;
        return item.firstCluster < ClusterEnd(header);
    }
    // NTFS: only signature-found files hold a cluster; the others hold a record number.
    if (item.contiguousData == 0 || item.IsFolder())
        return true;
    return item.size <= volumeBytes && (item.size == 0 || item.firstCluster < ClusterEnd(header));
}

bool NtfsGeometryHolds(const ScanInfoHeader& header) {
    const NtfsVolumeRecord& ntfs = header.ntfs;
    if (!PowerOfTwoUpTo(ntfs.sectorsPerCluster, 512) || ntfs.firstSector > ntfs.lastSector)
        return false;
    if (ntfs.clusterCount > ntfs.totalSectors / ntfs.sectorsPerCluster + 1)
        return false;
    if (uint64_t{header.mftRunCount} * NtfsRunEntrySerializer::kSize != header.mftRunTableBytes)
        return false;
    // The runs are stored only without a record table.
    return ntfs.recordTableCount == 0 || header.mftRunCount == 0;
}

// Reads `length` bytes from `offset` into a new buffer, moving `offset` past them.
bool TakeBytes(const ByteReader& file, size_t& offset, uint64_t length, std::vector<uint8_t>& out) {
    if (length > file.Size() || !file.Contains(offset, static_cast<size_t>(length)))
        return false;
    const auto bytes = file.Bytes().subspan(offset, static_cast<size_t>(length));
    out.assign(bytes.begin(), bytes.end());
    offset += static_cast<size_t>(length);
    return true;
}

template <typename Serializer, typename Entry>
bool TakeEntries(const ByteReader& file, size_t& offset, uint64_t count, std::vector<Entry>& out) {
    const uint64_t length = count * Serializer::kSize;
    if (count > file.Size() / Serializer::kSize ||
        !file.Contains(offset, static_cast<size_t>(length)))
        return false;
    out.clear();
    out.reserve(static_cast<size_t>(count));
    for (uint64_t i = 0; i < count; ++i) {
        Entry entry;
        if (!Serializer::Read(file.Bytes().subspan(offset, Serializer::kSize), entry))
            return false;
        out.push_back(entry);
        offset += Serializer::kSize;
    }
    return true;
}

Refusal TakeTables(const ByteReader& file, size_t& offset, LoadedScanInfo& out) {
    const ScanInfoHeader& header = out.header;
    if (header.content == ScanInfoHeader::Content::Fat) {
        if (header.fat.linkingMode != kContiguous &&
            !TakeBytes(file, offset, uint64_t{header.fat.sectorsPerFat} * kSectorBytes,
                       out.fatCopy))
            return Refusal::Tables;
        if (!TakeBytes(file, offset, header.fat.mapSize, out.clusterMap))
            return Refusal::Tables;
    } else if (header.content == ScanInfoHeader::Content::Ntfs) {
        if (header.ntfs.recordTableCount != 0) {
            if (!TakeEntries<NtfsRecordEntrySerializer>(file, offset, header.ntfs.recordTableCount,
                                                        out.recordTable) ||
                !TakeBytes(file, offset, header.ntfs.clusterCount, out.clusterMap))
                return Refusal::Tables;
        } else if (!TakeEntries<NtfsRunEntrySerializer>(file, offset, header.mftRunCount,
                                                        out.mftRuns)) {
            return Refusal::Tables;
        }
    }
    return Refusal::None;
}

// The items from `offset` to the end: at most the header's count; a torn record or bytes
// after the last one make the load partial.
void TakeItems(const ByteReader& file, size_t offset, LoadedScanInfo& out) {
    const uint32_t count = out.header.itemCount;
    out.items.reserve(std::min<size_t>(count, (file.Size() - offset) / kMinItemRecord));
    while (out.items.size() < count) {
        uint8_t units = 0;
        if (!file.Contains(offset, kMinItemRecord) || !file.ReadU8(offset, units) ||
            !file.Contains(offset + kMinItemRecord, size_t{units} * 2))
            break;
        ScanInfoItem item;
        if (!FoundItemSerializer::Read(file.Bytes().subspan(offset + 1, FoundItemSerializer::kSize),
                                       item.item))
            break;
        const size_t nameAt = offset + kMinItemRecord;
        item.name.resize(units);
        for (size_t unit = 0; unit < units; ++unit) {
            uint16_t value = 0;
            (void)file.ReadU16(nameAt + 2 * unit, value);
            item.name[unit] = static_cast<char16_t>(value);
        }
        out.items.push_back(std::move(item));
        offset = nameAt + size_t{units} * 2;
    }
    out.partial = out.items.size() < count || offset != file.Size();
}

} // namespace

Refusal ScanInfoFile::ParseHeader(std::span<const uint8_t> file, ScanInfoHeader& out) {
    if (file.size() < ScanInfoHeaderSerializer::kSize)
        return Refusal::ShortHeader;
    ScanInfoHeader header;
    if (!ScanInfoHeaderSerializer::Read(file, header))
        return Refusal::Banners;
    switch (header.content) {
    case ScanInfoHeader::Content::Fat:
        if (!FatGeometryHolds(header.fat))
            return Refusal::Geometry;
        break;
    case ScanInfoHeader::Content::Ntfs:
        if (!NtfsGeometryHolds(header))
            return Refusal::Geometry;
        break;
    case ScanInfoHeader::Content::DriveList:
        // Only a scan has found items, and a scan always has a reader: items without one are
        // a reader header whose sectors-per-cluster byte was lost, and its tables would be
        // read as drive nodes.
        if (header.itemCount != 0 || header.foundBytes != 0)
            return Refusal::Geometry;
        break;
    }
    out = std::move(header);
    return Refusal::None;
}

Refusal ScanInfoFile::Parse(std::span<const uint8_t> file, LoadedScanInfo& out) {
    LoadedScanInfo loaded;
    if (const Refusal refusal = ParseHeader(file, loaded.header); refusal != Refusal::None)
        return refusal;
    const ByteReader bytes(file);
    size_t offset = ScanInfoHeaderSerializer::kSize;
    if (const Refusal refusal = TakeTables(bytes, offset, loaded); refusal != Refusal::None)
        return refusal;
    if (!StoredDriveList::Read(bytes, offset, loaded.header.nodeCount, loaded.nodes))
        return Refusal::Nodes;
    TakeItems(bytes, offset, loaded);
    if (loaded.header.content != ScanInfoHeader::Content::DriveList)
        for (const ScanInfoItem& item : loaded.items)
            if (!ItemFits(loaded.header, item.item))
                return Refusal::Items;
    out = std::move(loaded);
    return Refusal::None;
}

ScanInfoFile::WriteResult ScanInfoFile::WritePrefix(
    ScanInfoHeader header, std::span<const uint8_t> fatCopy, std::span<const uint8_t> clusterMap,
    std::span<const NtfsRecordEntry> recordTable, std::span<const NtfsRunEntry> mftRuns,
    const std::list<DriveNode>& nodes, const Sink& sink) {
    if (nodes.size() > std::numeric_limits<uint16_t>::max())
        return WriteResult::DoesNotFit;
    header.nodeCount = static_cast<uint16_t>(nodes.size());

    // The tables first, so a table that does not fit fails before anything is written.
    std::vector<uint8_t> entries;
    if (header.content == ScanInfoHeader::Content::Fat) {
        header.fat.mapSize = static_cast<uint32_t>(
            std::min<size_t>(clusterMap.size(), std::numeric_limits<uint32_t>::max()));
    } else if (header.content == ScanInfoHeader::Content::Ntfs) {
        if (recordTable.size() > std::numeric_limits<uint32_t>::max() / 24)
            return WriteResult::DoesNotFit;
        header.ntfs.recordTableCount = static_cast<uint32_t>(recordTable.size());
        if (!recordTable.empty()) {
            header.mftRunCount = 0;
            header.mftRunTableBytes = 0;
            entries.reserve(recordTable.size() * NtfsRecordEntrySerializer::kSize);
            for (const NtfsRecordEntry& entry : recordTable) {
                const auto stored = NtfsRecordEntrySerializer::Write(entry);
                if (!stored)
                    return WriteResult::DoesNotFit;
                entries.insert(entries.end(), stored->begin(), stored->end());
            }
        } else {
            if (mftRuns.size() >
                std::numeric_limits<uint32_t>::max() / NtfsRunEntrySerializer::kSize)
                return WriteResult::DoesNotFit;
            header.mftRunCount = static_cast<uint32_t>(mftRuns.size());
            header.mftRunTableBytes =
                static_cast<uint32_t>(mftRuns.size() * NtfsRunEntrySerializer::kSize);
            entries.reserve(header.mftRunTableBytes);
            for (const NtfsRunEntry& run : mftRuns) {
                const auto stored = NtfsRunEntrySerializer::Write(run);
                if (!stored)
                    return WriteResult::DoesNotFit;
                entries.insert(entries.end(), stored->begin(), stored->end());
            }
        }
    }

    if (!sink(ScanInfoHeaderSerializer::Write(header)))
        return WriteResult::SinkFailed;
    const auto writePadded = [&sink](std::span<const uint8_t> bytes, uint64_t length) {
        const size_t kept = static_cast<size_t>(std::min<uint64_t>(bytes.size(), length));
        if (kept != 0 && !sink(bytes.first(kept)))
            return false;
        static const std::array<uint8_t, 64 * 1024> zeros{};
        for (uint64_t left = length - kept; left != 0;) {
            const size_t piece = static_cast<size_t>(std::min<uint64_t>(left, zeros.size()));
            if (!sink(std::span<const uint8_t>(zeros.data(), piece)))
                return false;
            left -= piece;
        }
        return true;
    };
    if (header.content == ScanInfoHeader::Content::Fat) {
        if (header.fat.linkingMode != kContiguous &&
            !writePadded(fatCopy, uint64_t{header.fat.sectorsPerFat} * kSectorBytes))
            return WriteResult::SinkFailed;
        if (!writePadded(clusterMap, header.fat.mapSize))
            return WriteResult::SinkFailed;
    } else if (header.content == ScanInfoHeader::Content::Ntfs) {
        if (!entries.empty() && !sink(entries))
            return WriteResult::SinkFailed;
        if (!recordTable.empty() && !writePadded(clusterMap, header.ntfs.clusterCount))
            return WriteResult::SinkFailed;
    }
    if (!nodes.empty() && !sink(StoredDriveList::Write(nodes)))
        return WriteResult::SinkFailed;
    return WriteResult::Written;
}

std::vector<uint8_t> ScanInfoFile::BuildDriveListFile(const std::list<DriveNode>& nodes) {
    ScanInfoHeader header;
    header.content = ScanInfoHeader::Content::DriveList;
    std::vector<uint8_t> file;
    const WriteResult result =
        WritePrefix(header, {}, {}, {}, {}, nodes, [&file](std::span<const uint8_t> bytes) {
            file.insert(file.end(), bytes.begin(), bytes.end());
            return true;
        });
    if (result != WriteResult::Written)
        file.clear();
    return file;
}

std::vector<uint8_t> ScanInfoFile::ItemRecord(const FoundItem& item, std::u16string_view name) {
    size_t units = std::min(name.size(), kMaxNameUnits);
    // A cut never keeps the first half of a pair without its second.
    if (units < name.size() && units != 0 && name[units - 1] >= 0xD800 && name[units - 1] <= 0xDBFF)
        --units;
    std::vector<uint8_t> record;
    record.reserve(kMinItemRecord + units * 2);
    record.push_back(static_cast<uint8_t>(units));
    const std::vector<uint8_t> stored = FoundItemSerializer::Write(item);
    record.insert(record.end(), stored.begin(), stored.end());
    for (size_t unit = 0; unit < units; ++unit) {
        record.push_back(static_cast<uint8_t>(name[unit] & 0xFF));
        record.push_back(static_cast<uint8_t>(name[unit] >> 8));
    }
    return record;
}

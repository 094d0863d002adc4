#pragma once

#include "diskio/records/drive_node.h"
#include "filesystems/found_item.h"
#include "filesystems/ntfs/ntfs_record_entry.h"
#include "filesystems/ntfs/ntfs_run_entry.h"
#include "jobs/scan_info/scan_info_header.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <list>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// One found item of a scan-information file with its name.
struct ScanInfoItem {
    FoundItem item;
    std::u16string name;
};

// Everything a scan-information file holds, taken apart and checked, before anything of the
// running program changes.
struct LoadedScanInfo {
    ScanInfoHeader header;
    // FAT: the FAT copy (sectors per FAT x 512 bytes; empty in contiguous mode) and the
    // cluster-usage map. NTFS: the cluster map (one byte per cluster, 1 in use), stored only
    // with a record table.
    std::vector<uint8_t> fatCopy;
    std::vector<uint8_t> clusterMap;
    // NTFS: the advance scan's record table, or else the $MFT runs.
    std::vector<NtfsRecordEntry> recordTable;
    std::vector<NtfsRunEntry> mftRuns;
    std::list<DriveNode> nodes;
    // The root first.
    std::vector<ScanInfoItem> items;
    // The items end early (fewer than the header counts, or a torn last record) or bytes
    // follow them: what was complete is kept.
    bool partial = false;
};

// The layout of a scan-information file: the 1024-byte header, the reader's tables, the drive
// nodes, then the found items (each: a byte n, the 88-byte item, n UTF-16LE units of name).
// Parsing checks every count and length against the file and against each other before it
// allocates anything, so a damaged or hostile file is refused whole (header, tables, nodes) or
// loses only its torn tail (items).
class ScanInfoFile {
public:
    enum class Refusal {
        None,
        ShortHeader, // fewer than 1024 bytes
        Banners,     // not the program's banners
        Geometry,    // sectors, counts or sizes that contradict each other
        Tables,      // a table longer than the file, or an entry that does not read
        Nodes,       // a drive node or its detail does not read
        Items,       // an item larger than its volume, or naming a cluster past its end
    };

    // The largest name an item record stores: its length is one byte.
    static constexpr size_t kMaxNameUnits = 255;

    // Takes a whole file apart. `out` is changed only when the answer is Refusal::None.
    static Refusal Parse(std::span<const uint8_t> file, LoadedScanInfo& out);
    // The header and the checks of its fields that need no body (the file's size is known).
    static Refusal ParseHeader(std::span<const uint8_t> file, ScanInfoHeader& out);

    // Where the bytes of a file being written go; false when they could not be written.
    using Sink = std::function<bool(std::span<const uint8_t>)>;
    enum class WriteResult {
        Written,
        DoesNotFit, // a run, a record entry or the node count does not fit its stored form
        SinkFailed,
    };
    // Writes the bytes before the items: the header, the reader's tables, the nodes. The
    // header's table lengths and node count are set here from what is given. FAT: the FAT copy
    // is written as sectors-per-FAT x 512 bytes, padded with zeros (none in contiguous mode),
    // then the cluster-usage map. NTFS: a record table with the cluster map (as many bytes as
    // the cluster count), or else the $MFT runs.
    static WriteResult WritePrefix(ScanInfoHeader header, std::span<const uint8_t> fatCopy,
                                   std::span<const uint8_t> clusterMap,
                                   std::span<const NtfsRecordEntry> recordTable,
                                   std::span<const NtfsRunEntry> mftRuns,
                                   const std::list<DriveNode>& nodes, const Sink& sink);
    // A file of only a drive list: a header with the banners and the node count, then the
    // nodes.
    static std::vector<uint8_t> BuildDriveListFile(const std::list<DriveNode>& nodes);

    // One item record: the name's length n as one byte, the item, n units of the name. A name
    // longer than kMaxNameUnits is cut there, never inside a surrogate pair.
    static std::vector<uint8_t> ItemRecord(const FoundItem& item, std::u16string_view name);
};

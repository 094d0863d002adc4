// A scan-information file, whole, over any bytes. A file that parses is written again from what
// was parsed (the prefix, then each item record): that parses to the same header, tables, nodes
// and items, and writing it once more gives the same bytes. A refused file leaves the output
// untouched.
#include "diskio/records/stored_drive_list.h"
#include "filesystems/found_item_serializer.h"
#include "filesystems/ntfs/ntfs_record_entry_serializer.h"
#include "filesystems/ntfs/ntfs_run_entry_serializer.h"
#include "jobs/scan_info/scan_info_file.h"
#include "jobs/scan_info/scan_info_header_serializer.h"

#include <cstdlib>
#include <span>
#include <vector>

namespace {

void Check(bool condition) {
    if (!condition)
        std::abort();
}

std::vector<uint8_t> Rewrite(const LoadedScanInfo& file) {
    std::vector<uint8_t> bytes;
    const ScanInfoFile::WriteResult result = ScanInfoFile::WritePrefix(
        file.header, file.fatCopy, file.clusterMap, file.recordTable, file.mftRuns, file.nodes,
        [&bytes](std::span<const uint8_t> part) {
            bytes.insert(bytes.end(), part.begin(), part.end());
            return true;
        });
    // Everything that was read fits its stored form again.
    Check(result == ScanInfoFile::WriteResult::Written);
    for (const ScanInfoItem& item : file.items) {
        const std::vector<uint8_t> record = ScanInfoFile::ItemRecord(item.item, item.name);
        bytes.insert(bytes.end(), record.begin(), record.end());
    }
    return bytes;
}

template <typename Serializer, typename Entry>
bool SameEntries(const std::vector<Entry>& first, const std::vector<Entry>& second) {
    if (first.size() != second.size())
        return false;
    for (size_t i = 0; i < first.size(); ++i)
        if (Serializer::Write(first[i]) != Serializer::Write(second[i]))
            return false;
    return true;
}

void CheckSame(const LoadedScanInfo& first, const LoadedScanInfo& second) {
    Check(ScanInfoHeaderSerializer::Write(first.header) ==
          ScanInfoHeaderSerializer::Write(second.header));
    Check(first.fatCopy == second.fatCopy);
    Check(first.clusterMap == second.clusterMap);
    Check(SameEntries<NtfsRecordEntrySerializer>(first.recordTable, second.recordTable));
    Check(SameEntries<NtfsRunEntrySerializer>(first.mftRuns, second.mftRuns));
    Check(first.nodes == second.nodes);
    Check(first.items.size() == second.items.size());
    for (size_t i = 0; i < first.items.size(); ++i) {
        Check(first.items[i].name == second.items[i].name);
        Check(FoundItemSerializer::Write(first.items[i].item) ==
              FoundItemSerializer::Write(second.items[i].item));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    LoadedScanInfo first;
    first.partial = true;
    if (ScanInfoFile::Parse(bytes, first) != ScanInfoFile::Refusal::None) {
        Check(first.partial && first.items.empty() && first.nodes.empty());
        return 0;
    }
    Check(first.items.size() <= first.header.itemCount);
    Check(first.nodes.size() == first.header.nodeCount);
    Check(first.items.size() <= size / (1 + FoundItemSerializer::kSize));

    const std::vector<uint8_t> written = Rewrite(first);
    LoadedScanInfo second;
    Check(ScanInfoFile::Parse(written, second) == ScanInfoFile::Refusal::None);
    CheckSame(first, second);
    // Only a file that counts more items than it holds is still partial.
    Check(second.partial == (second.items.size() < second.header.itemCount));
    Check(Rewrite(second) == written);
    return 0;
}

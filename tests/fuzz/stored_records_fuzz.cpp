// The records stored in the drive-list, scan-information and header files, over any bytes. The
// first input byte picks the record; the rest is its stored form. A short record never reads,
// a full one does unless it breaks a rule of its own (a drive kind, the header's banners, a
// run's mark); what was read writes back and reads again to the same record, and writing that
// gives the same bytes again.
#include "diskio/records/disk_identify_info_serializer.h"
#include "diskio/records/drive_node_serializer.h"
#include "diskio/records/logical_drive_info_serializer.h"
#include "diskio/records/physical_disk_info_serializer.h"
#include "diskio/records/stored_drive_list.h"
#include "filesystems/ntfs/ntfs_record_entry_serializer.h"
#include "filesystems/ntfs/ntfs_run_entry_serializer.h"
#include "filesystems/signatures/file_signature_serializer.h"
#include "jobs/scan_info/scan_info_header_serializer.h"

#include <cstdlib>
#include <list>
#include <span>
#include <vector>

namespace {

void Check(bool condition) {
    if (!condition)
        std::abort();
}

// Read, write, read again, compare.
template <typename Serializer, typename Record> void RoundTrip(std::span<const uint8_t> bytes) {
    Record first;
    const bool ok = Serializer::Read(bytes, first);
    Check(ok == (bytes.size() >= Serializer::kSize));
    if (!ok)
        return;
    const std::vector<uint8_t> written = Serializer::Write(first);
    Check(written.size() == Serializer::kSize);
    Record second;
    Check(Serializer::Read(written, second));
    Check(second == first);
    Check(Serializer::Write(second) == written);
}

void DriveNodes(std::span<const uint8_t> bytes) {
    // Kinds past the last one are refused, so a full record need not read.
    DriveNode node;
    DriveNodeSerializer::Links links;
    if (!DriveNodeSerializer::Read(bytes, node, links)) {
        Check(bytes.size() < DriveNodeSerializer::kSize ||
              bytes[DriveNodeSerializer::kOffsetKind] > DriveNodeSerializer::kHighestKind);
        return;
    }
    const std::vector<uint8_t> written = DriveNodeSerializer::Write(node, links.hasNext);
    DriveNode again;
    DriveNodeSerializer::Links linksAgain;
    Check(DriveNodeSerializer::Read(written, again, linksAgain));
    Check(again == node && linksAgain.hasNext == links.hasNext && !linksAgain.hasDetail);
    Check(DriveNodeSerializer::Write(again, linksAgain.hasNext) == written);
}

void PhysicalDisks(std::span<const uint8_t> bytes) {
    RoundTrip<PhysicalDiskInfoSerializer, PhysicalDiskInfo>(bytes);
}

void LogicalDrives(std::span<const uint8_t> bytes) {
    LogicalDriveInfo info;
    uint32_t count = 0;
    if (!LogicalDriveInfoSerializer::Read(bytes, info, count))
        return; // short, or a folder-cluster count beyond the cap
    Check(count <= LogicalDriveInfoSerializer::kMaxFolderClusters);
    Check(info.foundVolume.folderClusters.empty());
    RoundTrip<LogicalDriveInfoSerializer, LogicalDriveInfo>(bytes);
}

void IdentifyData(std::span<const uint8_t> bytes) {
    DiskIdentifyInfo info;
    if (DiskIdentifyInfoSerializer::Read(bytes, info)) {
        Check(info.model.size() <= DiskIdentifyInfo::kMaxModel);
        Check(info.serialNumber.size() <= DiskIdentifyInfo::kMaxSerialNumber);
        Check(info.firmwareRevision.size() <= DiskIdentifyInfo::kMaxFirmwareRevision);
    }
    RoundTrip<DiskIdentifyInfoSerializer, DiskIdentifyInfo>(bytes);
}

void FileSignatures(std::span<const uint8_t> bytes) {
    FileSignature signature;
    if (FileSignatureSerializer::Read(bytes, signature)) {
        Check(signature.softwareName.size() <= FileSignature::kMaxTextUnits);
        Check(signature.extension.size() <= FileSignature::kMaxTextUnits);
        Check(signature.matchLength <= FileSignature::kMaxMatchLength);
    }
    RoundTrip<FileSignatureSerializer, FileSignature>(bytes);
}

bool SameHeader(const ScanInfoHeader& a, const ScanInfoHeader& b) {
    return a.content == b.content && a.fat == b.fat && a.ntfs == b.ntfs &&
           a.mftRunCount == b.mftRunCount && a.mftRunTableBytes == b.mftRunTableBytes &&
           a.holdsMftRuns == b.holdsMftRuns && a.foundBytes == b.foundBytes &&
           a.itemCount == b.itemCount && a.nodeCount == b.nodeCount;
}

void ScanInfoHeaders(std::span<const uint8_t> bytes) {
    // Only the program's banners make a header; everything else in it reads.
    ScanInfoHeader first;
    const bool ok = ScanInfoHeaderSerializer::Read(bytes, first);
    Check(ok == ScanInfoHeaderSerializer::HasBanners(bytes));
    if (!ok)
        return;
    const std::vector<uint8_t> written = ScanInfoHeaderSerializer::Write(first);
    Check(written.size() == ScanInfoHeaderSerializer::kSize);
    Check(ScanInfoHeaderSerializer::HasBanners(written));
    ScanInfoHeader second;
    Check(ScanInfoHeaderSerializer::Read(written, second));
    Check(SameHeader(first, second));
    Check(ScanInfoHeaderSerializer::Write(second) == written);
}

bool SameRun(const NtfsRunEntry& a, const NtfsRunEntry& b) {
    return a.lengthSectors == b.lengthSectors && a.rawOffset == b.rawOffset &&
           a.offsetSize == b.offsetSize && a.mark == b.mark;
}

void RunEntries(std::span<const uint8_t> bytes) {
    NtfsRunEntry first;
    if (!NtfsRunEntrySerializer::Read(bytes, first))
        return; // short, or an offset size or mark the table never holds
    Check(bytes.size() >= NtfsRunEntrySerializer::kSize);
    Check(first.offsetSize <= NtfsRunEntrySerializer::kMaxOffsetSize);
    const auto written = NtfsRunEntrySerializer::Write(first);
    Check(written.has_value());
    NtfsRunEntry second;
    Check(NtfsRunEntrySerializer::Read(*written, second));
    Check(SameRun(first, second));
    Check(NtfsRunEntrySerializer::Write(second) == written);
}

void RecordEntries(std::span<const uint8_t> bytes) {
    NtfsRecordEntry first;
    const bool ok = NtfsRecordEntrySerializer::Read(bytes, first);
    Check(ok == (bytes.size() >= NtfsRecordEntrySerializer::kSize));
    if (!ok)
        return;
    const auto written = NtfsRecordEntrySerializer::Write(first);
    Check(written.has_value());
    NtfsRecordEntry second;
    Check(NtfsRecordEntrySerializer::Read(*written, second));
    Check(second.sector == first.sector && second.itemId == first.itemId &&
          second.recordNumber == first.recordNumber && second.parentRecord == first.parentRecord &&
          second.isFile == first.isFile && second.orphan == first.orphan);
    Check(NtfsRecordEntrySerializer::Write(second) == written);
}

void DriveLists(std::span<const uint8_t> bytes) {
    // The first byte is the node count, the rest the list.
    if (bytes.empty())
        return;
    const size_t count = bytes[0] % 8;
    const ByteReader reader(bytes.subspan(1));
    const std::list<DriveNode> untouched(1);
    std::list<DriveNode> nodes = untouched;
    size_t offset = 0;
    if (!StoredDriveList::Read(reader, offset, count, nodes)) {
        Check(offset == 0 && nodes == untouched);
        return;
    }
    Check(nodes.size() == count && offset <= reader.Size());
    const std::vector<uint8_t> written = StoredDriveList::Write(nodes);
    Check(written.size() <= offset); // nothing is added, arrays without a marker are dropped
    const ByteReader again(written);
    size_t end = 0;
    std::list<DriveNode> second;
    Check(StoredDriveList::Read(again, end, count, second));
    Check(end == written.size() && second == nodes);
    Check(StoredDriveList::Write(second) == written);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    const std::span<const uint8_t> record(data + 1, size - 1);
    switch (data[0] % 9) {
    case 0:
        DriveNodes(record);
        break;
    case 1:
        PhysicalDisks(record);
        break;
    case 2:
        LogicalDrives(record);
        break;
    case 3:
        IdentifyData(record);
        break;
    case 4:
        FileSignatures(record);
        break;
    case 5:
        ScanInfoHeaders(record);
        break;
    case 6:
        RunEntries(record);
        break;
    case 7:
        RecordEntries(record);
        break;
    default:
        DriveLists(record);
        break;
    }
    return 0;
}

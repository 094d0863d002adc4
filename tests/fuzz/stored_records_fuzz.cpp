// The records stored in the drive-list, scan-information and header files, over any bytes. The
// first input byte picks the record; the rest is its stored form. A full record always reads,
// a short one never does; what was read writes back and reads again to the same record, and
// writing that gives the same bytes again.
#include "diskio/disk_identify_info_serializer.h"
#include "diskio/drive_node_serializer.h"
#include "diskio/logical_drive_info_serializer.h"
#include "diskio/physical_disk_info_serializer.h"
#include "filesystems/signatures/file_signature_serializer.h"

#include <cstdlib>
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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    const std::span<const uint8_t> record(data + 1, size - 1);
    switch (data[0] % 5) {
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
    default:
        FileSignatures(record);
        break;
    }
    return 0;
}

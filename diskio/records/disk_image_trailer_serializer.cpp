#include "diskio/records/disk_image_trailer_serializer.h"

#include "diskio/records/disk_identify_info_serializer.h"
#include "platform/text/byte_writer.h"

#include <algorithm>
#include <array>
#include <utility>

static_assert(DiskImageTrailerSerializer::kOffsetDetail == 530);
static_assert(DiskImageTrailerSerializer::kOffsetIdentify == 607);
static_assert(DiskImageTrailerSerializer::kOffsetIdentify + DiskIdentifyInfoSerializer::kSize <=
              DiskImageTrailerSerializer::kSize);
static_assert(DiskImageTrailerSerializer::kOffsetDetail + LogicalDriveInfoSerializer::kSize <=
              DiskImageTrailerSerializer::kSize);

namespace {

constexpr size_t kFolderClusterMarker = LogicalDriveInfoSerializer::kOffsetFoundVolume +
                                        LogicalDriveInfoSerializer::kFoundOffsetFolderClusters;
constexpr size_t kFolderClusterCount = LogicalDriveInfoSerializer::kOffsetFoundVolume +
                                       LogicalDriveInfoSerializer::kFoundOffsetFolderClusterCount;

} // namespace

bool DiskImageTrailerSerializer::StoresDiskRecord(DriveKind kind) {
    return kind == DriveKind::HardDisk || kind == DriveKind::RemovableDisk ||
           kind == DriveKind::CdRomDrive;
}

std::vector<uint8_t> DiskImageTrailerSerializer::Write(const DriveNode& node) {
    std::vector<uint8_t> bytes(kSize, 0);
    ByteWriter writer(bytes);
    std::vector<uint8_t> record = DriveNodeSerializer::Write(node);
    const bool disk = StoresDiskRecord(node.kind);
    if (disk ? node.Physical() == nullptr : node.Logical() == nullptr) {
        ByteWriter(record).PutU32(DriveNodeSerializer::kOffsetDetail, 0);
        writer.PutBytes(kOffsetNode, record);
        return bytes;
    }
    writer.PutBytes(kOffsetNode, record);
    if (disk) {
        PhysicalDiskInfo info = *node.Physical();
        if (node.kind != DriveKind::HardDisk)
            info.identify.reset();
        writer.PutBytes(kOffsetDetail, PhysicalDiskInfoSerializer::Write(info));
        if (info.identify)
            writer.PutBytes(kOffsetIdentify, DiskIdentifyInfoSerializer::Write(*info.identify));
    } else {
        std::vector<uint8_t> volume = LogicalDriveInfoSerializer::Write(*node.Logical());
        ByteWriter volumeWriter(volume);
        volumeWriter.PutU32(kFolderClusterMarker, 0);
        volumeWriter.PutU32(kFolderClusterCount, 0);
        writer.PutBytes(kOffsetDetail, volume);
    }
    return bytes;
}

bool DiskImageTrailerSerializer::Read(std::span<const uint8_t> bytes, DriveNode& out) {
    if (bytes.size() < kSize)
        return false;
    DriveNode node;
    if (!DriveNodeSerializer::Read(bytes.first(DriveNodeSerializer::kSize), node))
        return false;
    if (StoresDiskRecord(node.kind)) {
        PhysicalDiskInfo info;
        if (!PhysicalDiskInfoSerializer::Read(bytes.subspan(kOffsetDetail), info))
            return false;
        DiskIdentifyInfo identity;
        if (!DiskIdentifyInfoSerializer::Read(
                bytes.subspan(kOffsetIdentify, DiskIdentifyInfoSerializer::kSize), identity))
            return false;
        if (node.kind == DriveKind::HardDisk && identity != DiskIdentifyInfo{})
            info.identify = std::move(identity);
        node.detail = std::move(info);
    } else {
        std::array<uint8_t, LogicalDriveInfoSerializer::kSize> volume{};
        std::copy_n(bytes.begin() + kOffsetDetail, volume.size(), volume.begin());
        ByteWriter volumeWriter(volume);
        volumeWriter.PutU32(kFolderClusterMarker, 0);
        volumeWriter.PutU32(kFolderClusterCount, 0);
        LogicalDriveInfo info;
        if (!LogicalDriveInfoSerializer::Read(volume, info))
            return false;
        node.detail = std::move(info);
    }
    out = std::move(node);
    return true;
}

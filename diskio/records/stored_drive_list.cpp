#include "diskio/records/stored_drive_list.h"

#include "diskio/records/disk_identify_info_serializer.h"
#include "diskio/records/drive_node_serializer.h"
#include "diskio/records/logical_drive_info_serializer.h"
#include "diskio/records/physical_disk_info_serializer.h"
#include "platform/text/byte_writer.h"

#include <algorithm>
#include <utility>
#include <variant>

static_assert(StoredDriveList::kIdentifyBytes == DiskIdentifyInfoSerializer::kSize);
static_assert(StoredDriveList::kSlotBytes == LogicalDriveInfoSerializer::kSize);
static_assert(PhysicalDiskInfoSerializer::kSize <= StoredDriveList::kSlotBytes);

namespace {

// What a node of each kind carries after its 530 bytes.
enum class DetailForm {
    DiskWithIdentify, // 77-byte disk record and 76-byte identify block
    Volume,           // 397-byte volume record, then its folder-cluster array
    DiskInSlot,       // 77-byte disk record at the start of a 397-byte slot
};

DetailForm FormOf(DriveKind kind) {
    switch (kind) {
    case DriveKind::HardDisk:
    case DriveKind::DiskImage:
        return DetailForm::DiskWithIdentify;
    case DriveKind::LogicalDrive:
    case DriveKind::FoundVolume:
    case DriveKind::RebuiltVolume:
    case DriveKind::VolumeImage:
        return DetailForm::Volume;
    case DriveKind::RemovableDisk:
    case DriveKind::CdRomDrive:
    case DriveKind::CdRomImage:
        break;
    }
    return DetailForm::DiskInSlot;
}

size_t FixedDetailBytes(DetailForm form) {
    return form == DetailForm::DiskWithIdentify
               ? PhysicalDiskInfoSerializer::kSize + StoredDriveList::kIdentifyBytes
               : StoredDriveList::kSlotBytes;
}

bool CarriesItsDetail(const DriveNode& node) {
    return FormOf(node.kind) == DetailForm::Volume ? node.Logical() != nullptr
                                                   : node.Physical() != nullptr;
}

void Append(std::vector<uint8_t>& bytes, const std::vector<uint8_t>& more) {
    bytes.insert(bytes.end(), more.begin(), more.end());
}

void AppendVolume(std::vector<uint8_t>& bytes, const LogicalDriveInfo& info) {
    std::vector<uint8_t> record = LogicalDriveInfoSerializer::Write(info);
    const std::vector<uint32_t>& clusters = info.foundVolume.folderClusters;
    const size_t count =
        std::min<size_t>(clusters.size(), LogicalDriveInfoSerializer::kMaxFolderClusters);
    ByteWriter(record).PutU32(LogicalDriveInfoSerializer::kOffsetFoundVolume +
                                  LogicalDriveInfoSerializer::kFoundOffsetFolderClusterCount,
                              static_cast<uint32_t>(count));
    Append(bytes, record);
    const size_t start = bytes.size();
    bytes.resize(start + 4 * count, 0);
    ByteWriter array(std::span<uint8_t>(bytes).subspan(start));
    for (size_t i = 0; i < count; ++i) {
        array.PutU32(4 * i, clusters[i]);
    }
}

} // namespace

std::vector<uint8_t> StoredDriveList::WriteNode(const DriveNode& node) {
    const DetailForm form = FormOf(node.kind);
    std::vector<uint8_t> bytes = DriveNodeSerializer::Write(node);
    if (!CarriesItsDetail(node)) {
        ByteWriter(bytes).PutU32(DriveNodeSerializer::kOffsetDetail, 0);
        bytes.resize(bytes.size() + FixedDetailBytes(form), 0);
        return bytes;
    }
    switch (form) {
    case DetailForm::DiskWithIdentify: {
        const PhysicalDiskInfo& disk = *node.Physical();
        Append(bytes, PhysicalDiskInfoSerializer::Write(disk));
        if (disk.identify) {
            Append(bytes, DiskIdentifyInfoSerializer::Write(*disk.identify));
        } else {
            bytes.resize(bytes.size() + kIdentifyBytes, 0);
        }
        break;
    }
    case DetailForm::Volume:
        AppendVolume(bytes, *node.Logical());
        break;
    case DetailForm::DiskInSlot: {
        // These kinds have no identify block, so the record must not claim one.
        PhysicalDiskInfo disk = *node.Physical();
        disk.identify.reset();
        Append(bytes, PhysicalDiskInfoSerializer::Write(disk));
        bytes.resize(bytes.size() + kSlotBytes - PhysicalDiskInfoSerializer::kSize, 0);
        break;
    }
    }
    return bytes;
}

std::vector<uint8_t> StoredDriveList::Write(const std::list<DriveNode>& nodes) {
    std::vector<uint8_t> bytes;
    for (const DriveNode& node : nodes) {
        Append(bytes, WriteNode(node));
    }
    return bytes;
}

bool StoredDriveList::ReadNode(const ByteReader& bytes, size_t& offset, DriveNode& out) {
    ByteReader nodeBytes;
    if (!bytes.Sub(offset, DriveNodeSerializer::kSize, nodeBytes)) {
        return false;
    }
    DriveNode node;
    DriveNodeSerializer::Links links;
    if (!DriveNodeSerializer::Read(nodeBytes.Bytes(), node, links)) {
        return false;
    }
    const DetailForm form = FormOf(node.kind);
    const size_t detailOffset = offset + DriveNodeSerializer::kSize;
    ByteReader detail;
    if (!bytes.Sub(detailOffset, FixedDetailBytes(form), detail)) {
        return false;
    }
    size_t end = detailOffset + detail.Size();

    // Without the node's marker the writer stored zeros here and no array after them.
    if (links.hasDetail) {
        switch (form) {
        case DetailForm::DiskWithIdentify: {
            PhysicalDiskInfo disk;
            bool hasIdentify = false;
            if (!PhysicalDiskInfoSerializer::Read(detail.Bytes(), disk, hasIdentify)) {
                return false;
            }
            if (hasIdentify) {
                DiskIdentifyInfo identify;
                if (!DiskIdentifyInfoSerializer::Read(
                        detail.Bytes().subspan(PhysicalDiskInfoSerializer::kSize), identify)) {
                    return false;
                }
                disk.identify = std::move(identify);
            }
            node.detail = std::move(disk);
            break;
        }
        case DetailForm::Volume: {
            LogicalDriveInfo volume;
            uint32_t count = 0;
            if (!LogicalDriveInfoSerializer::Read(detail.Bytes(), volume, count)) {
                return false;
            }
            // The count is checked against what is there before anything is allocated.
            ByteReader array;
            if (!bytes.Sub(end, 4 * static_cast<size_t>(count), array)) {
                return false;
            }
            std::vector<uint32_t>& clusters = volume.foundVolume.folderClusters;
            clusters.resize(count);
            for (size_t i = 0; i < count; ++i) {
                if (!array.ReadU32(4 * i, clusters[i])) {
                    return false;
                }
            }
            end += array.Size();
            node.detail = std::move(volume);
            break;
        }
        case DetailForm::DiskInSlot: {
            PhysicalDiskInfo disk;
            if (!PhysicalDiskInfoSerializer::Read(detail.Bytes(), disk)) {
                return false;
            }
            node.detail = std::move(disk);
            break;
        }
        }
    }
    out = std::move(node);
    offset = end;
    return true;
}

bool StoredDriveList::Read(const ByteReader& bytes, size_t& offset, size_t count,
                           std::list<DriveNode>& out) {
    std::list<DriveNode> nodes;
    size_t at = offset;
    for (size_t i = 0; i < count; ++i) {
        DriveNode node;
        if (!ReadNode(bytes, at, node)) {
            return false;
        }
        nodes.push_back(std::move(node));
    }
    out = std::move(nodes);
    offset = at;
    return true;
}

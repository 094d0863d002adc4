#pragma once

#include "diskio/records/drive_node.h"
#include "diskio/records/drive_node_serializer.h"
#include "diskio/records/logical_drive_info_serializer.h"
#include "diskio/records/physical_disk_info_serializer.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// The 1024 bytes a disk-image file ends with, describing the drive it was copied from: the
// 530-byte drive node, then its detail record. Disks, removable disks and CD/DVD drives (kinds
// 0, 4 and 5) keep their 77-byte disk record, and a hard disk its 76-byte identify block after
// it; every other kind keeps its 397-byte volume record. Every other byte is zero.
//
// No folder-cluster array follows a trailer, so the volume record's array marker and count
// are stored as zero and not read: a rebuilt volume's trailer keeps its geometry, not its
// folder clusters. A hard disk's identify block is present when it holds any text or a
// temperature; an all-zero block is none (the disk record's marker is not trusted: older
// trailers kept a raw pointer there).
class DiskImageTrailerSerializer {
public:
    static constexpr size_t kOffsetNode = 0;
    static constexpr size_t kOffsetDetail = kOffsetNode + DriveNodeSerializer::kSize;
    static constexpr size_t kOffsetIdentify = kOffsetDetail + PhysicalDiskInfoSerializer::kSize;
    static constexpr size_t kSize = 1024;

    // Whether a node of this kind keeps the disk record (else the volume record).
    static bool StoresDiskRecord(DriveKind kind);

    // Exactly kSize bytes. A node whose detail is not the record its kind keeps stores zeros
    // in the detail's place, with the node's detail marker clear; identify data of a node other
    // than a hard disk is not stored.
    static std::vector<uint8_t> Write(const DriveNode& node);

    // The node with its detail. Fails, leaving `out` as it was, when fewer than kSize bytes are
    // given or the stored kind is not a drive kind. Only the first kSize bytes are looked at.
    static bool Read(std::span<const uint8_t> bytes, DriveNode& out);
};

#pragma once

#include "diskio/records/logical_drive_info.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// The stored form of a volume's detail: 397 bytes, packed, little-endian, with the found-volume
// geometry as a 33-byte block inside it. The folder-cluster array is not part of it: the block
// keeps a 32-bit presence marker and the count, and the file's writer stores the array after
// the records.
class LogicalDriveInfoSerializer {
public:
    static constexpr size_t kTextUnits = 32;

    static constexpr size_t kOffsetDrive = 0;
    static constexpr size_t kOffsetRootPath = 1;
    static constexpr size_t kOffsetReserved = kOffsetRootPath + 2 * kTextUnits;
    static constexpr size_t kOffsetTypeName = kOffsetReserved + 2 * kTextUnits;
    static constexpr size_t kOffsetFreeBytes = kOffsetTypeName + 2 * kTextUnits;
    static constexpr size_t kOffsetTotalBytes = kOffsetFreeBytes + 8;
    static constexpr size_t kOffsetFileSystem = kOffsetTotalBytes + 8;
    static constexpr size_t kOffsetSpanned = kOffsetFileSystem + 2 * kTextUnits;
    static constexpr size_t kOffsetDisk = kOffsetSpanned + 1;
    static constexpr size_t kOffsetFirstSector = kOffsetDisk + 1;
    static constexpr size_t kOffsetTotalSectors = kOffsetFirstSector + 8;
    static constexpr size_t kOffsetLastSector = kOffsetTotalSectors + 8;
    static constexpr size_t kOffsetPartitionType = kOffsetLastSector + 8;
    static constexpr size_t kOffsetFoundVolume = kOffsetPartitionType + 1;

    // The found-volume block, offsets counted from kOffsetFoundVolume.
    static constexpr size_t kFoundOffsetSectorsPerFat = 0;
    static constexpr size_t kFoundOffsetReservedSectors = 4;
    static constexpr size_t kFoundOffsetRootFolderSectors = 8;
    static constexpr size_t kFoundOffsetSectorsPerCluster = 10;
    static constexpr size_t kFoundOffsetRootCluster = 11;
    static constexpr size_t kFoundOffsetFolderClusters = 15;
    static constexpr size_t kFoundOffsetFolderClusterCount = 19;
    static constexpr size_t kFoundOffsetMftSector = 23;
    static constexpr size_t kFoundOffsetMftMirrorSector = 27;
    static constexpr size_t kFoundOffsetNtfsSectorsPerCluster = 31;
    static constexpr size_t kFoundVolumeSize = 33;

    static constexpr size_t kOffsetSizeText = kOffsetFoundVolume + kFoundVolumeSize;
    static constexpr size_t kSize = kOffsetSizeText + 2 * kTextUnits;

    // The largest folder-cluster count Read accepts (64 MiB of array); a larger stored count is
    // taken for corruption rather than trusted with an allocation.
    static constexpr uint32_t kMaxFolderClusters = 16u * 1024 * 1024;

    // Whether the root path is stored across the root-path and reserved fields: the names the
    // lost-drive search gives ("Standard drive 1 (NTFS : 12.34 GB)") outgrow one field. Only a
    // record whose reserved text is empty can lend it; the joined field holds 63 units.
    static bool NeedsJoinedName(const LogicalDriveInfo& info);

    // Exactly kSize bytes. The folder-cluster marker is 1 when the array is not empty; the
    // count is the array's size (the file's writer must keep it within kMaxFolderClusters for
    // the file to read back).
    static std::vector<uint8_t> Write(const LogicalDriveInfo& info);

    // Fails, leaving `out` as it was, when fewer than kSize bytes are given or the stored
    // folder-cluster count is above kMaxFolderClusters. `out.foundVolume.folderClusters` is
    // left empty; `folderClusterCount` is the number of entries of the array that follows: the
    // stored count when the marker is set, else 0. A text stored without its NUL keeps at most
    // 31 units, as Write would have cut it; a root path without one within its field is read on
    // through the reserved field (the joined name; reserved is then empty).
    static bool Read(std::span<const uint8_t> bytes, LogicalDriveInfo& out,
                     uint32_t& folderClusterCount);
    static bool Read(std::span<const uint8_t> bytes, LogicalDriveInfo& out);
};

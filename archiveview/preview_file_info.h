#pragma once

#include <cstddef>
#include <cstdint>

// What the program tells the archive and text preview about one found file: its size and where
// its clusters lie. Filled by the caller and read by the library only during the call; the
// cluster array stays the caller's. Packed, with real pointers: the record never leaves the
// process, but both sides must agree on every offset.
#pragma pack(push, 1)
struct PreviewFileInfo {
    uint64_t fileSize;
    // 0x80 and up: physical disks; lower values: logical drives by letter index.
    uint8_t driveCode;
    // 7 (NTFS): clusters count from the volume's first sector; any other value (FAT): the
    // first data cluster is number 2.
    uint8_t partitionType;
    uint8_t sectorsPerCluster;
    // In file order; 0xFFFFFFFF marks a cluster that reads as zeros (a hole, or data past the
    // file's valid length).
    const uint32_t* clusters;
    uint32_t clusterCount;
    // FAT: the first sector of cluster 2; NTFS: the volume's first sector.
    uint64_t dataStartSector;
    // Nonzero: the drive is the disk-image file named by the call, read by path.
    uint32_t isImageFile;
    // Nonzero: the dialog opens without reading the file.
    uint32_t skipRead;
};
#pragma pack(pop)

static_assert(offsetof(PreviewFileInfo, fileSize) == 0);
static_assert(offsetof(PreviewFileInfo, driveCode) == 8);
static_assert(offsetof(PreviewFileInfo, partitionType) == 9);
static_assert(offsetof(PreviewFileInfo, sectorsPerCluster) == 10);
static_assert(offsetof(PreviewFileInfo, clusters) == 11);
static_assert(offsetof(PreviewFileInfo, clusterCount) == 19);
static_assert(offsetof(PreviewFileInfo, dataStartSector) == 23);
static_assert(offsetof(PreviewFileInfo, isImageFile) == 31);
static_assert(offsetof(PreviewFileInfo, skipRead) == 35);
static_assert(sizeof(PreviewFileInfo) == 39);

// How ShowFilePreview shows the file.
inline constexpr uint8_t kPreviewKindText = 0;
inline constexpr uint8_t kPreviewKindArchive = 2;
inline constexpr uint8_t kPartitionTypeNtfs = 7;
inline constexpr uint32_t kPreviewSparseCluster = 0xFFFFFFFF;

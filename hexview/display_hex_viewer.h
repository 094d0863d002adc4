#pragma once

#include <cstdint>

#define MORWICK_HEXVIEW_EXPORT __attribute__((visibility("default")))

// The hex viewer library's entry class, the one thing it exports. The caller owns the object;
// each call records the caller's instance, shows one modal "Hex Viewer" dialog on the calling
// (GUI) thread and returns when it closes. Arguments are only read during the call. Text is
// UTF-16, null-terminated.
class MORWICK_HEXVIEW_EXPORT DisplayHexViewer {
public:
    // Source kinds of OpenPhysicalDisk.
    static constexpr uint8_t kPhysicalDisk = 0;
    static constexpr uint8_t kPartition = 1;
    static constexpr uint8_t kImageFile = 2;

    // Sectors `firstSector` to `lastSector` (inclusive) of drive `drive`, or for kImageFile of
    // the image file named `name`. `sourceInfo` is the drive's PhysicalDiskInfo (kind 0) or
    // LogicalDriveInfo (kind 1), or null.
    void OpenPhysicalDisk(void* callerInstance, const char16_t* name, uint8_t drive,
                          int64_t firstSector, int64_t lastSector, uint8_t sourceKind,
                          const void* sourceInfo);

    // One file: `clusterCount` cluster numbers at `clusters`, NTFS numbers for partition type
    // 7 (sector = cluster x spc + data start), FAT numbers otherwise (the first data cluster
    // is 2). 0xFFFFFFFF marks a hole. Bytes from `validLength` on show as zeros. With
    // `fromImage` the volume lies in the image file `imagePath`.
    void OpenTheFile(void* callerInstance, const char16_t* fileName, uint8_t drive,
                     int32_t clusterCount, int64_t fileSize, int64_t validLength,
                     const uint32_t* clusters, uint8_t partitionType, int64_t dataStartSector,
                     uint32_t sectorsPerCluster, int32_t fromImage, const char16_t* imagePath);

    void* m_hCallerInstance = nullptr;
};

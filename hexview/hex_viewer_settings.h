#pragma once

#include <cstdint>
#include <span>
#include <string>

struct LogicalDriveInfo;
struct PhysicalDiskInfo;

// What the viewer shows, filled by the two entry points before the dialog runs; the dialog and
// the view only read it. Disk mode shows a range of sectors of a drive or an image file; file
// mode shows one file through its cluster list. Every sector and byte count is 64-bit.
struct HexViewerSettings {
    enum class Mode : uint8_t {
        Disk = 0,
        File = 1,
    };
    // What a disk-mode range lies on.
    enum class SourceKind : uint8_t {
        PhysicalDisk = 0,
        Partition = 1,
        ImageFile = 2,
    };
    static constexpr uint8_t kNtfsPartitionType = 7;
    static constexpr uint32_t kSectorBytes = 512;

    Mode mode = Mode::Disk;
    // Disk mode: the range's first sector; file mode 0.
    uint64_t firstSector = 0;
    // File mode: cluster count x sectors per cluster.
    uint64_t allocatedSectors = 0;
    uint8_t drive = 0;
    // File mode: the caller's cluster numbers, valid while the dialog runs. A sparse marker
    // (0xFFFFFFFF) is a hole of zeros.
    std::span<const uint32_t> clusters;
    uint64_t dataStartSector = 0;
    uint32_t sectorsPerCluster = 0;
    uint8_t partitionType = 0;
    // The largest sector position of the view's scroll range.
    uint64_t lastScrollPosition = 0;
    // Bytes shown: the range's sectors x 512, or the file size.
    uint64_t size = 0;
    // File mode: bytes from here on were never written by the file system and show as zeros.
    uint64_t validLength = UINT64_MAX;
    uint64_t goToOffset = 0;
    std::u16string name;
    SourceKind sourceKind = SourceKind::PhysicalDisk;
    // Reads go to `imagePath` (file mode) or to the name (disk mode, image source).
    bool imageFlag = false;
    std::u16string imagePath;
    const PhysicalDiskInfo* physical = nullptr;
    const LogicalDriveInfo* logical = nullptr;

    // The scroll range of a disk range: one position per sector plus the empty one after it.
    static HexViewerSettings ForDisk(std::u16string name, uint8_t drive, uint64_t firstSector,
                                     uint64_t lastSector, SourceKind kind);
    // A file of `clusters`; an unusable geometry (no clusters, no sectors per cluster) leaves
    // nothing to show but the size.
    static HexViewerSettings ForFile(std::u16string name, uint8_t drive,
                                     std::span<const uint32_t> clusters, uint64_t fileSize,
                                     uint64_t validLength, uint8_t partitionType,
                                     uint64_t dataStartSector, uint32_t sectorsPerCluster,
                                     bool fromImage, std::u16string imagePath);
};

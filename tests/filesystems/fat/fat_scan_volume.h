#pragma once

#include "diskio/records/drive_node.h"
#include "filesystems/fat/fat_file_system.h"
#include "tests/support/scan_harness.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// A FAT fixture mapped as drive C: with the FAT reader over it.
class FatScanVolume : public ScannedVolume<CFatFileSystem> {
public:
    explicit FatScanVolume(const std::string& fixture, uint8_t partitionType = 4)
        : ScannedVolume(fixture, partitionType, 0) {}

    // Makes the drive one of `kind` (`found` fills a rebuilt volume's geometry) and sets the
    // reader up over it.
    void SetUp(DriveKind kind = DriveKind::LogicalDrive, uint8_t partitionType = 4,
               FoundVolumeFields found = {});

    // The bytes of the item's cluster list, cut to its size; nullopt when a read fails.
    std::optional<std::vector<uint8_t>> ReadData(const FoundItem& item);
    // Their SHA-256, or "unreadable".
    std::string DataHash(const FoundItem& item);

    // The number after `label` in the manifest's header, as in "Child is cluster 5".
    std::optional<uint32_t> HeaderNumber(const std::string& label) const;
};

// Every live, non-empty file of the manifest is found at its path with its size and bytes;
// paths starting with `prefixToDrop` are not asked for.
void ExpectManifestFiles(FatScanVolume& volume, const std::string& prefixToDrop = "");

// A folder named by its first cluster, "00000005".
std::string ClusterName(uint64_t cluster);

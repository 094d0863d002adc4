#pragma once

#include "diskio/records/drive_node.h"
#include "filesystems/fat/fat_file_system.h"
#include "tests/support/fixture_manifest.h"
#include "tests/support/scan_harness.h"

#include <cstdint>
#include <filesystem>
#include <map>
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

// Each file of the manifest that `moved` names (by its path without the leading '/') is found
// at the path it maps to, with its size and bytes.
void ExpectMovedFiles(FatScanVolume& volume, const std::map<std::string, std::string>& moved);

// A folder named by its first cluster, "00000005".
std::string ClusterName(uint64_t cluster);

// Whether our path is the listing's (sleuthkit's or the manifest's), name by name: equal, or a
// deleted 8.3 name whose lost first character we show as 'X' (sleuthkit shows '_', the
// manifest the true letter), or a name sleuthkit cut short.
bool PathsMatch(const std::string& ours, const std::string& theirs, bool deleted);

// The cluster list of every file of the manifest gives its bytes: the live ones by their
// chains, the deleted ones as consecutive clusters from their first.
void ExpectContents(FatScanVolume& scanned, const std::vector<ManifestEntry>& manifest);

// The "key value" lines of a fixture's ".geometry" file.
std::map<std::string, uint64_t> ReadGeometryFile(const std::filesystem::path& path);

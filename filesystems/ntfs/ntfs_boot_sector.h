#pragma once

#include <cstdint>
#include <optional>
#include <span>

// What the reader takes from an NTFS boot sector, once every field it depends on has been
// checked against the volume: the cluster size, and where the $MFT and its mirror begin
// (partition-relative sectors).
struct NtfsBootSector {
    // Why a sector gave no boot sector. Anything but Usable leaves the result unset.
    enum class Check {
        Usable,
        NotNtfs,     // no signature, or no "NTFS" name
        SectorSize,  // sectors other than 512 bytes
        ClusterSize, // not a power of two up to the largest allowed, or larger than the volume
        RecordSize,  // file records other than the 1024 bytes the reader walks
        MftLocation, // the $MFT or its mirror does not lie inside the volume
    };

    uint16_t sectorsPerCluster = 0;
    uint64_t mftStartSector = 0;
    uint64_t mftMirrorSector = 0;

    // Parses and checks one sector. `largestCluster` is the largest sectors-per-cluster value
    // taken (128 for the primary sector, 512 for the backups); `totalSectors` is the volume's.
    static Check Parse(std::span<const uint8_t> sector, uint64_t totalSectors,
                       uint32_t largestCluster, NtfsBootSector& out);
};

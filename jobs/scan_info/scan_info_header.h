#pragma once

#include "filesystems/fat/fat_volume_record.h"
#include "filesystems/ntfs/ntfs_volume_record.h"

#include <cstdint>

// What the 1024-byte header of a scan-information file says: which reader the file restores
// (none for a file of only a drive list), that reader's saved volume, the lengths of the tables
// that follow it, and how many drive nodes and found items the body holds.
struct ScanInfoHeader {
    enum class Content : uint8_t {
        DriveList, // neither sectors-per-cluster field is set
        Fat,       // byte 14 (sectors per cluster) is set
        Ntfs,      // byte 14 is 0 and the word at 49 is set
    };

    Content content = Content::DriveList;
    // Content::Fat. fat.sectorsPerFat is also the number of 512-byte FAT sectors stored, and
    // fat.mapSize the bytes of the cluster-usage map stored after them.
    FatVolumeRecord fat;
    // Content::Ntfs. ntfs.clusterCount is also the bytes of the cluster map stored after a
    // record table of ntfs.recordTableCount entries.
    NtfsVolumeRecord ntfs;
    uint32_t mftRunCount = 0;
    uint32_t mftRunTableBytes = 0; // mftRunCount x 14
    bool holdsMftRuns = false;     // byte 51
    // Both layouts.
    uint64_t foundBytes = 0;
    uint32_t itemCount = 0; // item records in the body, the root included
    uint16_t nodeCount = 0;
};

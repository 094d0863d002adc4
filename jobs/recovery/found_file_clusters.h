#pragma once

#include "filesystems/cluster_list.h"

#include <cstdint>
#include <string>

class CFatFileSystem;
class CNtfsFileSystem;
struct FoundItem;

// Where one found file lies, for the viewer libraries that read it themselves through a
// 32-bit cluster list: taken from recovery's own readers (FatFileData, NtfsFileData), so a
// viewer shows the clusters that recovery would write.
//
// Sector of list entry i and sector r within it: NTFS numbering (partitionType 7) gives
// cluster x spc + dataStartSector + r, FAT numbering (cluster - 2) x spc + dataStartSector + r.
// dataStartSector counts in the numbering of `drive` for DiskReadWrite, or from the start of
// the image file when `fromImage` is set. Items of a raw search list their absolute sectors
// as NTFS-numbered clusters of one sector from sector 0.
struct FoundFileClusters {
    enum class Status {
        Ok,
        NoVolume,   // no reader of the item's volume, or one that reads from memory
        NoData,     // the data cannot be located (resident, unknown record, no geometry)
        BeyondList, // a sector or cluster past 32 bits, or more clusters than a list holds
    };
    static constexpr uint8_t kNtfsNumbering = 7;
    static constexpr uint8_t kFatNumbering = 2;
    // More entries than this are refused: a list crosses into the libraries whole.
    static constexpr uint64_t kMaxClusters = uint64_t{1} << 25;

    Status status = Status::NoVolume;
    // The clusters with holes (ClusterList::kSparseCluster), byteLength the file size and
    // validLength the bytes the file system initialised.
    ClusterList list;
    uint8_t partitionType = kFatNumbering;
    uint64_t dataStartSector = 0;
    uint32_t sectorsPerCluster = 0;
    // An NTFS-compressed file: the list holds its clusters as they lie, packed.
    bool compressed = false;
    uint8_t drive = 0;
    bool fromImage = false;
    std::string imagePath;
};

// The cluster list of a found FAT item (a file in a deleted folder is read as recovery reads
// it, from consecutive clusters).
FoundFileClusters FatFoundFileClusters(CFatFileSystem& volume, const FoundItem& item,
                                       bool folderDeleted);
FoundFileClusters NtfsFoundFileClusters(CNtfsFileSystem& volume, const FoundItem& item);

// The clusters of a found FAT folder: its chain by the volume's linking mode, or only its first
// cluster when the folder is deleted or lies in a deleted folder (its chain is gone). A first
// cluster below 2 (the root of FAT12/16, the synthetic folders of a search) lies in no cluster: an
// empty list. The list's length is what the clusters hold.
FoundFileClusters FatFoundFolderClusters(CFatFileSystem& volume, const FoundItem& folder,
                                         bool deleted);

// A copy of a file's bytes in a file of its own, read as an image of one-sector clusters
// 0, 1, 2... from its first sector: for files whose bytes lie in no cluster list of the volume.
FoundFileClusters CopiedFileClusters(const std::string& copyPath, uint64_t size);

#pragma once

#include <cstdint>
#include <memory>

class RecoveredFileData;
class SectorSource;
struct FoundItem;

// What a scanned volume's reader offers the jobs, the raw search and the previews, whatever its
// file system: clusters of whole sectors over one sector source, a map of the clusters in use,
// the bytes of a found item and the scan's counters. Sector numbers are those of ReadSectors.
// The readers keep everything else (their set-up, scans and stored records) to themselves.
class ClusterVolume {
public:
    // The counters of the scan, or of the loaded scan information.
    struct FoundCounts {
        uint32_t found = 0;
        uint32_t files = 0;
        uint64_t bytes = 0;
    };

    virtual ~ClusterVolume() = default;

    virtual const SectorSource& Source() const = 0;
    // 0 before the geometry is known.
    virtual uint16_t SectorsPerCluster() const = 0;
    // The first sector of a cluster; UINT64_MAX for a number that is no cluster of the volume.
    virtual uint64_t ClusterToSector(uint64_t cluster) const = 0;
    // One past the last sector ReadSectors reads.
    virtual uint64_t EndSector() const = 0;
    // One past the last cluster number of the volume; 0 when it is not known.
    virtual uint64_t EndCluster() const = 0;
    // Whether the cluster map leaves the cluster unused (so is every cluster the map does not
    // hold).
    virtual bool IsClusterFree(uint64_t cluster) const = 0;
    // Nonzero on success; a read reaching past the volume fails and zero-fills.
    virtual int ReadSectors(uint64_t sector, uint32_t sectorCount, void* buffer) const = 0;
    virtual int ReadClusters(uint32_t cluster, uint16_t sectorInCluster, void* buffer,
                             uint16_t sectorCount) const = 0;
    // The item's bytes as recovery writes them; `folderDeleted` says the item lies in a deleted
    // folder (its chain is not trusted then). The volume must outlive the object.
    virtual std::unique_ptr<RecoveredFileData> FileData(const FoundItem& item,
                                                        bool folderDeleted) = 0;

    virtual uint32_t FoundCount() const = 0;
    virtual uint64_t FoundBytes() const = 0;
    virtual FoundCounts Counts() const = 0;
    virtual void RestoreCounts(const FoundCounts& counts) = 0;
};

#pragma once

#include "diskio/sources/block_buffer.h"
#include "diskio/sources/sector_source.h"
#include "filesystems/carving/raw_folder_placer.h"
#include "filesystems/carving/signature_search.h"
#include "filesystems/cluster_list.h"
#include "filesystems/cluster_volume.h"
#include "filesystems/fat/fat_allocation_table.h"
#include "filesystems/fat/fat_boot_info.h"
#include "filesystems/fat/fat_cluster_usage_map.h"
#include "filesystems/fat/fat_directory_reader.h"
#include "filesystems/fat/fat_folder_candidates.h"
#include "filesystems/fat/fat_found_folders.h"
#include "filesystems/fat/fat_orphan_folders.h"
#include "filesystems/fat/fat_start_tallies.h"
#include "filesystems/fat/fat_type.h"
#include "filesystems/fat/fat_volume_record.h"
#include "filesystems/found_item.h"
#include "filesystems/job_reporter.h"
#include "platform/jobs/job_window.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <unordered_set>
#include <vector>

class ActiveSignatureSearch;
struct DriveNode;
struct ScanEnvironment;

// Reader of one FAT12, FAT16 or FAT32 volume, on a drive, in an image file or in memory:
// geometry, the chosen allocation table, the cluster-usage map, the scan's counters and
// per-scan lists. Set up once (from a drive, from a sector source, from scan information or
// over a raw range), then scanned once; it stays usable for recovery and previews afterwards.
// The reader owns its sector source, whose one handle stays open for all its reads; reads never
// go past the volume. The environment (window, flags, drive) belongs to the application and
// outlives the reader.
class CFatFileSystem : public ClusterVolume {
public:
    enum LinkingMode : uint8_t {
        kLinkFat1 = 0,
        kLinkFat2 = 1,
        kLinkContiguous = 2,
    };
    enum ClusterUse : uint8_t {
        kClusterUnused = FatClusterUsageMap::kUnused,
        kClusterAllocated = FatClusterUsageMap::kAllocated,
        kClusterClaimed = FatClusterUsageMap::kClaimed,
    };
    static constexpr uint64_t kLargeFileBytes = 0x13FFFFF; // above this: the large-file dialog
    static constexpr uint64_t kLostFoldersId = 1;

    explicit CFatFileSystem(ScanEnvironment& environment);

    // --- set-up --------------------------------------------------------------------------
    // False when the selected node is no volume.
    bool SetVolumeFromDrive(uint8_t imageFlag);
    // The same set-up over a volume window of `source` (sector 0 is the boot sector), for a
    // volume that is no drive of the device table: tests and fuzz targets read from memory.
    void SetVolumeFromSource(const SectorSource& source, uint8_t partitionType);
    void SetVolumeFromScanInfo(const FatVolumeRecord& record);
    // What SetVolumeFromScanInfo takes back: this reader's volume as a scan-information file
    // stores it.
    FatVolumeRecord ScanInfoRecord() const;
    // After SetVolumeFromScanInfo: the FAT copy (empty for none; cut to the sectors the table
    // passes hold) and the cluster-usage map a file stored. The cluster limit is the one the
    // map was built for (one less than its size), within what the table or the data area number.
    void RestoreTables(std::vector<uint8_t> fatCopy, std::vector<uint8_t> clusterMap);
    // The counters a loaded scan's items give.
    void RestoreCounts(uint32_t foundCount, int32_t fileCount, uint64_t foundBytes);
    // The same for the counters a job keeps, the file count held to the reader's range.
    void RestoreCounts(const FoundCounts& counts) override;
    FoundCounts Counts() const override;
    void SetScanRange(uint8_t imageFlag, uint64_t firstSector, uint64_t lastSector);

    // --- reading (nonzero on success; a read reaching past the volume fails) -------------
    uint64_t ClusterToSector(uint64_t cluster) const override;
    int ReadCluster(uint32_t cluster, uint16_t sectorOffset, void* buffer,
                    uint16_t sectorCount) const;
    int ReadClusters(uint32_t cluster, uint16_t sectorInCluster, void* buffer,
                     uint16_t sectorCount) const override {
        return ReadCluster(cluster, sectorInCluster, buffer, sectorCount);
    }
    int ReadSectors(uint64_t sector, uint32_t sectorCount, void* buffer) const override;
    const SectorSource& Source() const override { return m_source; }
    // A FatFileData over this volume.
    std::unique_ptr<RecoveredFileData> FileData(const FoundItem& item, bool folderDeleted) override;

    // --- boot sector ---------------------------------------------------------------------
    void ApplyBootInfo(const FatBootInfo& info);
    int CheckFatSignatures();

    // --- allocation table ----------------------------------------------------------------
    void ChooseLinkingMode();
    void SetLinkingMode(uint8_t mode);
    void LoadFat();
    int CompareFatCopies(uint32_t& mismatchIndex, std::vector<uint8_t>& fat1,
                         std::vector<uint8_t>& fat2);
    uint32_t CountFatErrors(int copy);
    // The next cluster of `cluster` in the loaded FAT; nullopt when the entry lies outside it.
    std::optional<uint32_t> FatEntry(uint32_t cluster) const;
    uint32_t EndMark() const;
    uint32_t BadClusterMark() const;

    // --- chains and cluster lists --------------------------------------------------------
    std::vector<uint32_t> GetClusterChain(uint32_t firstCluster) const;
    ClusterList GetFileClusters(uint32_t firstCluster, uint64_t size, bool deleted) const;
    void GetLargeFileClusters(uint32_t firstCluster, const FoundItem& item);
    void BuildClusterMap();
    void MarkClusterClaimed(uint32_t cluster);
    void ClaimFileClusters(uint32_t firstCluster, const FoundItem* item, bool single);
    uint8_t ClusterUsage(uint32_t cluster) const;
    // Claims the chain from `firstCluster`, at most `limit` clusters, ending at the end mark,
    // outside the FAT or at a cluster met before; optionally stepping the large-file progress.
    void ClaimChain(uint32_t firstCluster, uint64_t limit, bool reportSteps);

    // --- directory entries ---------------------------------------------------------------
    // Turns the 32-byte entry at `where` into an item; false for what is no item.
    bool EntryToFoundItem(const EntryLocation& where, FoundItem& item, std::u16string& name);
    // 0 no directory entry, 1 an entry that can be an item, 2 a label or an entry below
    // cluster 2.
    int CheckEntry(std::span<const uint8_t> entry, uint32_t clusterLimit);

    // --- scans (standard: fat_file_system_scan.cpp; advance: fat_file_system_advance.cpp) --
    void Scan();
    void AdvanceScan();
    // The advance scan's lost-folder search alone (every cluster read for folder heads, then
    // the lost, root, broken and signature passes), over the geometry, table and map set up.
    void FindLostFolders();

    // --- raw search (fat_file_system_raw.cpp) ---------------------------------------------
    // Every sector of the range set by SetScanRange that starts a file of a type `search`
    // matches becomes a deleted file, sent in a folder named after its extension. Blocks that
    // cannot be read are read again sector by sector; unreadable sectors are logged, never
    // matched. Ends early on a stop request.
    void RawScan(const ActiveSignatureSearch& search);
    // Sends one file of the raw search, whose first sector is `firstSector`, in the folder
    // named after its extension ("JPG", then "JPG 1", "JPG 2" ... as each fills with 2500
    // files), making that folder when it is new.
    void AddRawMatch(const SignatureMatch& match, uint64_t firstSector);
    // One past the last sector ReadSectors reads, in its own numbering (drive sectors after
    // SetScanRange, volume sectors otherwise).
    uint64_t EndSector() const override;
    uint64_t EndCluster() const override { return m_clusterLimit; }
    bool IsClusterFree(uint64_t cluster) const override {
        return cluster > UINT32_MAX ||
               ClusterUsage(static_cast<uint32_t>(cluster)) == kClusterUnused;
    }

    // --- geometry and state --------------------------------------------------------------
    ::FatType Type() const { return m_table.Type(); }
    // The stored code of the type: 1, 4 or 11 (0 before it is known).
    uint8_t TypeCode() const { return FatTypeCode(m_table.Type()); }
    uint16_t SectorsPerCluster() const override { return m_sectorsPerCluster; }
    uint32_t SectorsPerFat() const { return m_sectorsPerFat; }
    // The FAT sectors the table passes read and hold: the sectors per FAT, but never more than
    // the volume's clusters can need (stored or rebuilt geometry may say anything).
    uint32_t FatTableSectors() const;
    uint32_t ReservedSectors() const { return m_reservedSectors; }
    uint32_t RootFolderSectors() const { return m_rootFolderSectors; }
    uint32_t RootCluster() const { return m_rootCluster; }
    uint32_t ClusterLimit() const { return m_clusterLimit; }
    uint64_t FirstSector() const { return m_source.FirstSector(); }
    uint64_t LastSector() const { return m_lastSector; }
    uint64_t TotalSectors() const { return m_totalSectors; }
    uint8_t Drive() const { return m_drive; }
    uint8_t LinkingModeValue() const { return m_linkingMode; }
    bool ImageFlag() const { return m_source.IsImage(); }
    // Set up over a range of absolute sectors for a raw search: items hold a first sector.
    bool ReadsAbsoluteSectors() const { return m_source.IsAbsolute(); }
    uint32_t FoundCount() const override { return m_foundCount; }
    int32_t FileCount() const { return m_fileCount; }
    uint64_t FoundBytes() const override { return m_foundBytes; }
    uint32_t MapSize() const { return m_usage.Size(); }
    bool HasFat() const { return !m_table.Empty(); }
    const std::vector<uint8_t>& FatCopy() const { return m_table.Bytes(); }
    const std::vector<uint8_t>& ClusterUsageMap() const { return m_usage.Bytes(); }
    // Bytes of the data area: what lies after the reserved sectors, both FATs and the root.
    uint64_t DataAreaSectors() const;
    uint32_t BytesPerCluster() const { return m_sectorsPerCluster * 512u; }

private:
    // A deleted folder met in a walk, sent later by AddDeletedFolders.
    struct DeletedFolder {
        uint64_t firstCluster = 0;
        uint64_t parentId = 0;
        uint32_t entryOffset = 0;     // offset of its entry in the holding cluster or root
        uint32_t holdingCluster = 0;  // 0: the fixed root folder
        uint32_t previousCluster = 0; // for long names; 0 when none
        uint32_t clusterBeforePrevious = 0;
    };
    struct RawHit {
        uint32_t cluster = 0;
        SignatureMatch match;
    };

    // Shared by both scans (fat_file_system.cpp).
    JobWindow* Window() const { return m_reporter.Window(); }
    void LogRow(const std::u16string& activity, const std::u16string& description,
                const std::u16string& status, int image) const {
        m_reporter.LogRow(activity, description, status, image);
    }
    bool Stopped() const { return m_reporter.Stopped(); }
    void Send(JobMessage message) const { m_reporter.Send(message); }
    // The set-up every entry shares once the source and window are known.
    void StartSetUp();
    // Sends an item with the first-item steps, counting it; a file adds its size.
    void SendFoundItem(FoundItem& item, const std::u16string& name);
    void SendUpdatedItem(const FoundItem& item, const std::u16string& name);
    void SetTitleWithMode();
    void ShowMessage(const std::u16string& text, MessageBoxIcon icon) const {
        m_reporter.ShowMessage(text, icon);
    }
    void FreeScanLists();
    uint64_t NextEntryId();
    const DriveNode* SelectedDrive() const;
    // Node kind 3, or an image of such a volume: read through the found-volume geometry.
    bool IsRebuiltVolume() const;
    bool IsDeletedFolder(uint64_t firstCluster) const;
    // The folder-entry reader over this volume's present geometry.
    FatDirectoryReader Directory() const;

    // Standard scan (fat_file_system_scan.cpp).
    bool ReadBootGeometry();
    void BuildDirectoryTree();
    void WalkRootCluster(uint32_t rootCluster);
    void WalkFixedRoot();
    void WalkFolder(uint64_t parentId, uint32_t firstCluster, bool deleted, bool claim);
    // Returns whether the cluster was productive: it held an accepted entry, a long-name
    // part, or a "." / ".." entry.
    bool WalkEntries(std::span<const uint8_t> buffer, uint64_t parentId, uint32_t holdingCluster,
                     uint32_t previousCluster, uint32_t clusterBeforePrevious, bool deleted,
                     bool claim);
    void AddDeletedFolders(bool claim);

    // Advance scan (fat_file_system_advance.cpp).
    bool FindFolderCandidates();
    void GeometryFromCandidates();
    // Tries the layouts the tallies imply in turn, leaving the geometry of the last one tried;
    // true when one is accepted.
    bool TryTallies(const std::vector<FatStartTally>& tallies);
    // The sectors per cluster of the boot sector (or its backup) when its layout places the
    // single candidate's cluster at its sector; 0 otherwise.
    uint32_t LoneCandidateVote(const FatFolderCandidates::Candidate& candidate);
    void AdvanceTreePass();
    // Both lost-folder searches start the counters and ids over.
    void StartLostFolderSearch();
    // A folder found by its "." and ".." entries: sent under the root, or kept as an orphan.
    void AddFolderFromHead(uint32_t cluster, uint32_t parentCluster);
    void FindLostFoldersInRange();
    // Every cluster of the volume that starts a folder: "." naming itself, then "..".
    std::vector<uint32_t> FolderHeadClusters();
    void AddLostFolders();
    void AddRootFiles();
    void AddBrokenFolders();
    void AddRawDataFolder();
    void TakeRebuiltGeometry();

    // --- raw search (fat_file_system_raw.cpp) ---------------------------------------------
    // Reads `count` sectors from `first` into `block`; when that fails, sector by sector,
    // marking and logging the sectors that cannot be read (zero-filled). `readable` gets one
    // flag per sector.
    void ReadRawBlock(uint64_t first, uint32_t count, BlockBuffer& block,
                      std::vector<uint8_t>& readable);
    // The raw search's extension folders: "JPG", then "JPG 1", "JPG 2" ... once full.
    RawFolderPlacer m_rawFolders{u"%s %d"};
    uint32_t m_rawErrorRows = 0;
    // --- end of raw search ----------------------------------------------------------------

    ScanEnvironment& m_environment;
    JobReporter m_reporter;
    SectorSource m_source;

    // Geometry.
    uint8_t m_drive = 0;
    uint8_t m_sectorsPerCluster = 0;
    uint32_t m_sectorsPerFat = 0;
    uint32_t m_rootCluster = 0;
    uint64_t m_lastSector = 0;
    uint64_t m_totalSectors = 0;
    uint32_t m_rootFolderSectors = 0;
    uint32_t m_reservedSectors = 0;
    uint32_t m_clusterLimit = 0;
    uint8_t m_linkingMode = kLinkFat1;
    bool m_rebuiltGeometry = false;

    // The chosen allocation table (which also keeps the volume's FAT type) and the
    // cluster-usage map built from it.
    FatAllocationTable m_table;
    FatClusterUsageMap m_usage;

    // Counters of the current scan.
    uint64_t m_nextEntryId = 2;
    uint32_t m_foundCount = 0;
    uint32_t m_progressCount = 0;
    int32_t m_fileCount = 0;
    uint64_t m_foundBytes = 0;
    bool m_lostFolderSearchRan = false;
    bool m_geometrySearchChoseMode = false;

    // Per-scan lists.
    FatFoundFolders m_foundFolders;
    std::vector<DeletedFolder> m_deletedFolders;
    FatOrphanFolders m_orphanFolders;
    FatFolderCandidates m_folderCandidates;
    std::vector<RawHit> m_rawHits;
    // Folder clusters walked in this scan (each is walked once, whatever points at it) and
    // the nesting of the walk in progress.
    std::unordered_set<uint32_t> m_walkedClusters;
    int m_walkDepth = 0;
};

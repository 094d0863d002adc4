#pragma once

#include "diskio/sources/sector_source.h"
#include "filesystems/cluster_list.h"
#include "filesystems/cluster_volume.h"
#include "filesystems/found_item.h"
#include "filesystems/job_reporter.h"
#include "filesystems/ntfs/ntfs_attribute_locator.h"
#include "filesystems/ntfs/ntfs_boot_sector.h"
#include "filesystems/ntfs/ntfs_record_entry.h"
#include "filesystems/ntfs/ntfs_run_entry.h"
#include "filesystems/ntfs/ntfs_volume_record.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

struct DriveNode;
struct ScanEnvironment;

// The three time stamps of $STANDARD_INFORMATION, as FILETIMEs (UTC).
struct NtfsTimes {
    uint64_t created = 0;
    uint64_t modified = 0;
    uint64_t mftChanged = 0;
};

// A found item's data as the volume stores it: resident in its record, or in runs.
struct NtfsDataRuns {
    bool resident = false;
    std::vector<uint8_t> residentData;              // resident: the content itself
    std::vector<NtfsRunEntry> runs;                 // plain non-resident data
    std::vector<NtfsCompressedRunEntry> compressed; // compressed data
    bool isCompressed = false;
    uint64_t dataSize = 0;        // bytes of the file
    uint64_t initializedSize = 0; // bytes the file system wrote; the rest reads as zeros
};

// Reader of one NTFS volume on a drive, in an image file or in memory: the boot sector, the $MFT
// located through its own run list, 1024-byte file records with their update-sequence fix-up, the
// attributes that matter, run lists, and the cluster list of a found item. Set up once, then
// scanned once (ntfs_file_system_scan.cpp); it stays usable for recovery and previews. Every
// read goes through the reader's one SectorSource, bounded by the volume; every walk over a
// record stays inside its 1024 bytes. The environment belongs to the application and outlives
// the reader.
class CNtfsFileSystem : public ClusterVolume {
public:
    static constexpr size_t kRecordSize = 1024;
    static constexpr uint32_t kRootRecord = 5;
    static constexpr uint64_t kLostFoldersId = 0xFFFFFF;
    // Attribute lists, index allocations and run tables of damaged records can claim any
    // size: no more than this is ever read for one of them.
    static constexpr uint64_t kMaxAttributeListBytes = 4ull << 20;
    // Records of the largest $MFT taken (a 256 GiB $MFT), whatever its runs and sizes claim.
    static constexpr uint64_t kMaxMftRecords = uint64_t{1} << 28;

    using Record = std::array<uint8_t, kRecordSize>;

    explicit CNtfsFileSystem(ScanEnvironment& environment);

    // --- set-up --------------------------------------------------------------------------
    // False (nothing set) for a drive node that is no volume.
    bool SetVolumeFromDrive(uint8_t imageFlag);
    // The same set-up over a source of the caller's: the volume is `totalSectors` sectors from
    // the source's sector `firstSector`.
    void SetVolumeFromSource(SectorSource source, uint64_t firstSector, uint64_t totalSectors);
    void SetVolumeFromScanInfo(const NtfsVolumeRecord& record);
    // What SetVolumeFromScanInfo takes back: this reader's volume as a scan-information file
    // stores it.
    NtfsVolumeRecord ScanInfoRecord() const;
    // After SetVolumeFromScanInfo: the tables a file stored. The $MFT runs (none with a record
    // table) give the $MFT's sectors again; the cluster map holds one byte per cluster, nonzero
    // in use, cut to the cluster count.
    void RestoreTables(std::vector<NtfsRunEntry> mftRuns, std::vector<NtfsRecordEntry> recordTable,
                       std::span<const uint8_t> clusterMap);
    // The cluster map as a file stores it: one byte per cluster, 1 in use.
    std::vector<uint8_t> ClusterMapBytes() const;
    // The counters a loaded scan's items give.
    void RestoreCounts(uint32_t foundCount, uint32_t fileCount, uint64_t foundBytes);
    void RestoreCounts(const FoundCounts& counts) override {
        RestoreCounts(counts.found, counts.files, counts.bytes);
    }
    FoundCounts Counts() const override { return {m_foundCount, m_fileCount, m_foundBytes}; }

    // --- reading (partition-relative sectors; nonzero on success; never past the volume) --
    int ReadSectors(uint64_t sector, uint32_t sectorCount, void* buffer) const override;
    int ReadBytes(uint64_t sector, void* buffer, uint32_t byteCount) const;
    int ReadClusters(uint32_t cluster, uint16_t sectorInCluster, void* buffer,
                     uint16_t sectorCount) const override;
    // Cluster 0 is the volume's first sector; UINT64_MAX when the sector would not fit.
    uint64_t ClusterToSector(uint64_t cluster) const override;
    uint64_t EndSector() const override { return m_totalSectors; }
    // A last cluster the volume ends inside counts.
    uint64_t EndCluster() const override;
    bool IsClusterFree(uint64_t cluster) const override { return ClusterUsage(cluster) == 0; }
    const SectorSource& Source() const override { return m_source; }
    // An NtfsFileData over this volume (no NTFS item lies in a deleted folder's chain).
    std::unique_ptr<RecoveredFileData> FileData(const FoundItem& item, bool) override;
    const JobReporter& Reporter() const { return m_reporter; }

    // --- volume structures ---------------------------------------------------------------
    // The first usable boot sector of the volume (sector 0, then the backups in the last two
    // sectors), checked against the volume; nothing is assigned. `rejected` tells why the last
    // NTFS boot sector met was refused (NotNtfs when none was met).
    std::optional<NtfsBootSector> FindBootSector(NtfsBootSector::Check* rejected = nullptr) const;
    // FindBootSector, then takes its cluster size and $MFT locations; 0 (nothing taken) without.
    int ReadBootSector();
    int LoadMftRuns();
    // The record's sector, and in `secondSector` the sector of its second half when the
    // record straddles two runs (else 0). 0 when the record lies beyond the run table.
    uint64_t MftRecordToSector(uint32_t record, uint64_t& secondSector) const;
    // Reads record `record` through the $MFT runs and applies the fix-up; false when it is
    // unreadable or no file record.
    bool ReadRecord(uint32_t record, Record& out) const;
    // Reads the record at `sector` (and its second half at `secondSector` when nonzero).
    bool ReadRecordAt(uint64_t sector, uint64_t secondSector, Record& out) const;

    // --- record parsing (on a record after its fix-up) -----------------------------------
    // Checks "FILE" and the update-sequence offset, and restores the last two bytes of both
    // sectors; false for anything else.
    static bool ApplyFixup(Record& record);
    int LocateFileData(const Record& record, NtfsAttributeLocator& locator) const;
    int LocateFolderData(const Record& record, NtfsAttributeLocator& locator) const;
    static std::u16string GetLongName(const Record& record);
    static std::u16string GetShortName(const Record& record);
    static bool GetParentRecord(const Record& record, uint32_t& parent);
    static bool GetStandardTimes(const Record& record, NtfsTimes& times);
    // Sizes of a non-resident $DATA: data size, initialized size and allocated size.
    static bool GetDataSizes(const Record& record, uint64_t& dataSize, uint64_t& initialized,
                             uint64_t& allocated);
    // Appends the run list at the locator to `table`; returns its length in sectors. A list
    // that ends abnormally gives 0 and, unless `keep`, leaves nothing appended.
    uint64_t DecodeRuns(const Record& record, const NtfsAttributeLocator& locator,
                        std::vector<NtfsRunEntry>& table, bool keep) const;
    // The same at a given cluster size (the cluster-size vote counts in clusters).
    static uint64_t DecodeRunList(const Record& record, size_t offset, uint16_t sectorsPerCluster,
                                  std::vector<NtfsRunEntry>& table, bool keep);
    uint64_t DecodeCompressedRuns(const Record& record, const NtfsAttributeLocator& locator,
                                  std::vector<NtfsCompressedRunEntry>& table) const;
    // The records named by the record's $ATTRIBUTE_LIST for its $DATA and $INDEX_ALLOCATION.
    std::vector<uint32_t> ReadAttributeList(const Record& record);
    // The flags byte of a record: 0 deleted file, 1 file, 2 deleted folder, 3 folder.
    static uint8_t RecordFlags(const Record& record) { return record[22]; }

    // --- cluster lists -------------------------------------------------------------------
    bool ReadDataRuns(const FoundItem& item, NtfsDataRuns& out);
    // Sparse runs appear as ClusterList::kSparseCluster; the valid length is the initialized
    // size. Compressed items have none (recovery decompresses them itself).
    ClusterList GetFileClusters(const FoundItem& item);
    ClusterList GetContiguousClusters(uint32_t firstCluster, uint64_t size) const;
    // Absolute cluster of each run, in order; nullopt for a sparse run.
    static std::vector<std::optional<uint64_t>>
    RunStartClusters(std::span<const NtfsRunEntry> runs);

    // --- scans (ntfs_file_system_scan.cpp) ------------------------------------------------
    void Scan();
    void AdvanceScan();

    // --- geometry and state --------------------------------------------------------------
    uint16_t SectorsPerCluster() const override { return m_sectorsPerCluster; }
    uint64_t MftStartSector() const { return m_mftStartSector; }
    uint64_t MftMirrorSector() const { return m_mftMirrorSector; }
    uint64_t MftSectors() const { return m_mftSectors; }
    uint32_t MftRecordCount() const { return static_cast<uint32_t>(m_mftSectors / 2); }
    const std::vector<NtfsRunEntry>& MftRuns() const { return m_mftRuns; }
    uint64_t FirstSector() const { return m_firstSector; }
    uint64_t LastSector() const { return m_lastSector; }
    uint64_t TotalSectors() const { return m_totalSectors; }
    uint8_t Drive() const { return m_source.Drive(); }
    bool ImageFlag() const { return m_source.IsImage(); }
    uint32_t FoundCount() const override { return m_foundCount; }
    uint32_t FileCount() const { return m_fileCount; }
    uint64_t FoundBytes() const override { return m_foundBytes; }
    uint32_t ClusterCount() const { return m_clusterCount; }
    // The advance scan's map of $Bitmap: 1 for a cluster in use; 0 for a free one and for any
    // cluster the map does not hold (none before that scan).
    uint8_t ClusterUsage(uint64_t cluster) const;
    const std::vector<NtfsRecordEntry>& RecordTable() const { return m_recordTable; }
    uint32_t RecordTableBase() const { return m_recordTableBase; }

private:
    friend class NtfsScanRun;    // the scans' working state, ntfs_file_system_scan.cpp
    friend class NtfsMftProbe;   // the lost-drive search's reading of loose $MFT records
    friend class NtfsTestAccess; // tests only

    const DriveNode* SelectedDrive() const;
    void SetUpVolume(SectorSource source, uint64_t firstSector, uint64_t lastSector,
                     uint64_t totalSectors);
    // The attribute walk shared by the locators; `folder` picks the folder variant.
    int LocateData(const Record& record, NtfsAttributeLocator& locator, bool folder) const;

    // reader helpers
    // One attribute of a record as the walk meets it; `length` is as stored.
    struct AttributeSpan {
        size_t offset = 0;
        size_t length = 0;
        uint8_t type = 0;
    };
    static constexpr size_t kMaxAttributes = 30;
    // Decoded runs kept for one item or for the $MFT: far more than any sound volume needs.
    static constexpr size_t kMaxRunEntries = size_t{1} << 20;
    // The attributes in record order: at most `limit`, ending before type 0xFF, before an
    // offset past the record or after an attribute whose length is 0.
    static std::vector<AttributeSpan> WalkAttributes(const Record& record,
                                                     size_t limit = kMaxAttributes);
    // Resident content at offset 24 and not indexed: the locators' rule.
    static bool HoldsResidentContent(const Record& record, size_t offset);
    // The content of the resident attribute at `offset`, bounded by the attribute and the record.
    static std::span<const uint8_t> ResidentContent(const Record& record, size_t offset);
    // The $FILE_NAME name of the attribute, clamped to the attribute and the record.
    static std::u16string FileNameOf(const Record& record, const AttributeSpan& attribute);
    // Run-list offsets of every non-resident attribute of `type` with no name (any name for an
    // index allocation), in record order.
    static std::vector<uint16_t> ExtentRunLists(const Record& record, uint8_t type);
    // Records named by the entries of an attribute list's content.
    static std::vector<uint32_t> ListedRecords(std::span<const uint8_t> list, size_t nodeLimit);
    // Reads up to `byteLimit` bytes of the data the runs describe; sparse runs read as zeros.
    bool ReadRunData(std::span<const NtfsRunEntry> runs, uint64_t byteLimit,
                     std::vector<uint8_t>& out);
    // A record of an attribute list: through the record table when there is one (by record
    // number), else through the $MFT runs.
    bool ReadListedRecord(uint32_t recordNumber, Record& out);
    // Appends the runs of the records an attribute list names; the first record's locator
    // decides whether the item is compressed. Returns the sectors decoded.
    uint64_t DecodeListedRuns(const std::vector<uint32_t>& records, uint8_t type,
                              NtfsDataRuns& out);
    // end of reader helpers

    ScanEnvironment& m_environment;
    JobReporter m_reporter;
    // Every read of the volume goes through it; it keeps its device open between reads.
    SectorSource m_source;

    uint16_t m_sectorsPerCluster = 0;
    uint64_t m_firstSector = 0;
    uint64_t m_lastSector = 0;
    uint64_t m_totalSectors = 0;
    uint64_t m_mftStartSector = 0;
    uint64_t m_mftMirrorSector = 0;
    uint64_t m_mftSectors = 0;
    std::vector<NtfsRunEntry> m_mftRuns;
    std::vector<std::optional<uint64_t>> m_mftStarts; // RunStartClusters(m_mftRuns)

    // Built by the scans.
    std::vector<bool> m_visited;    // one bit per MFT record
    std::vector<bool> m_clusterMap; // one bit per cluster: set in use
    uint32_t m_clusterCount = 0;
    std::vector<NtfsRecordEntry> m_recordTable;
    uint32_t m_recordTableBase = 0;
    bool m_advance = false;

    uint32_t m_foundCount = 0;
    uint32_t m_sentCount = 0;
    uint32_t m_fileCount = 0;
    uint64_t m_foundBytes = 0;
};

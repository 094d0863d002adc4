#pragma once

#include "filesystems/found_item.h"
#include "filesystems/job_reporter.h"
#include "filesystems/ntfs/ntfs_file_system.h"
#include "filesystems/ntfs/ntfs_record_entry.h"
#include "filesystems/ntfs/ntfs_run_entry.h"
#include "filesystems/progress_bracket.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

// One scan of an NTFS volume: the standard scan (the folder tree through the volume's own
// indexes, then the deleted and lost records of the $MFT) and the advance scan (cluster size by
// vote, the free-cluster search, every file record of the partition numbered and hung on a tree
// rebuilt from parent references, then the signature finds). It holds the lists a scan needs and
// writes the results into the reader (counters, record table, cluster map). Runs on the scan
// worker thread; reports only through the reader's JobReporter. Every walk is bounded: records are
// walked once, folder recursion stops at kMaxFolderDepth, every list is as long as the volume.
class NtfsScanRun {
public:
    static constexpr int kMaxFolderDepth = 64;
    static constexpr uint32_t kRawFilesPerFolder = 2500;
    static constexpr size_t kMaxExtensionLength = 14;
    static constexpr uint32_t kCollectionBlockSectors = 1600;

    // A file the signature search recognised in a free cluster.
    struct RawFind {
        std::u16string extension;
        uint64_t firstCluster = 0;
        uint64_t size = 0;
    };

    explicit NtfsScanRun(CNtfsFileSystem& volume);
    NtfsScanRun(const NtfsScanRun&) = delete;
    NtfsScanRun& operator=(const NtfsScanRun&) = delete;

    // The standard scan; falls back to the advance scan when the volume's structures are
    // unusable, and tells the user when nothing was found at all.
    void Scan();
    void AdvanceScan();

    // The steps of the advance scan, in the order AdvanceScan runs them.
    // Sectors per cluster voted by the file records met in the partition; 0 without a vote.
    uint16_t EstimateSectorsPerCluster();
    // The cluster map from $Bitmap and, with the signature search on, the finds of every free
    // cluster.
    void FreeClusterSearch();
    // Passes one free cluster's first sector to the signature search, once per cluster; true
    // when it made a find.
    bool MatchFreeCluster(uint64_t cluster, std::span<const uint8_t> firstSector);
    // Where $MFTMirr lies, from record 1's $DATA (either copy, as the vote met it) or else from
    // a boot sector that agrees with the voted cluster size; nullopt when neither tells.
    std::optional<std::pair<uint64_t, uint64_t>> MirrorExtent() const;
    // Reads the partition for file records into the reader's record table; records inside the
    // mirror's extent are copies and are left out.
    void CollectRecords();
    // The tree from the record table, the lost folders and the raw-data folders.
    void BuildTreeFromRecords();

    const std::vector<RawFind>& RawFinds() const { return m_rawFinds; }

    // Restores the last two bytes of every sector of an INDX block from its update-sequence
    // array; false for what is no index block.
    static bool ApplyIndexFixup(std::span<uint8_t> block);
    // The number a record keeps in its header (records whose update-sequence array lies at
    // 0x30); nullopt for older records.
    static std::optional<uint32_t> HeaderRecordNumber(const CNtfsFileSystem::Record& record);
    // The folder an index entry's key names as parent, when the entry at `offset` has a key.
    static std::optional<uint32_t> EntryParent(std::span<const uint8_t> buffer, size_t offset);

private:
    // A record the deleted-item pass found unreached, with its parent.
    struct PendingRecord {
        uint32_t record = 0;
        uint32_t parent = 0;
        bool done = false;
    };
    // A folder record of the advance collection.
    struct DirectoryFolder {
        size_t tableIndex = 0;
        bool added = false;
    };
    // Where the collection stands in numbering the records it finds.
    struct Numbering {
        uint64_t counter = 0;
        uint64_t itemCounter = 0;
        bool started = false;
        size_t sinceAgreement = 0; // first table index no self-numbered record confirmed
    };

    // --- reporting ------------------------------------------------------------------------
    // Sends an item with the first-item steps; counts it, and a file's size. False for a
    // folder whose id a sent folder has.
    bool SendItem(FoundItem& item, const std::u16string& name);
    void ResetCounters();
    // Steps the bar the first item made, when there is one.
    void StepItemProgress() const;

    // --- records ------------------------------------------------------------------------
    bool IsVisited(uint32_t record) const;
    void MarkVisited(uint32_t record);
    uint32_t RecordCount() const;
    bool IsKnown(uint64_t folderId) const;
    // Fills an item from a record (after its fix-up): name (from `names`, the record holding
    // its $FILE_NAME), times, flags, size. False for a record that gives no item.
    bool FillItemFromRecord(const CNtfsFileSystem::Record& record,
                            const CNtfsFileSystem::Record& names, uint64_t entryId, FoundItem& item,
                            std::u16string& name);
    // An extension record holds attributes of another record; it is never an item itself.
    static bool IsExtensionRecord(const CNtfsFileSystem::Record& record);
    // The record whose $ATTRIBUTE_LIST names another record as the holder of its first
    // $FILE_NAME (a record whose attributes overflowed): that record's number.
    std::optional<uint32_t> ListedNameRecord(const CNtfsFileSystem::Record& record);
    std::vector<uint8_t> AttributeListBytes(const CNtfsFileSystem::Record& record);
    // The parent of record `number` and, in `names`, the record that holds its $FILE_NAME
    // (itself or an extension record read through the $MFT). False without a parent.
    bool ParentOf(uint32_t number, const CNtfsFileSystem::Record& record,
                  CNtfsFileSystem::Record& names, uint32_t& parent);
    uint64_t FileDataSize(const FoundItem& item);
    // Reads record `record` and sends it below `parentId`; true when sent.
    bool AddRecordItem(uint32_t record, uint64_t parentId);
    // "Lost Folder(s)" once, then the folder standing for a missing parent; returns its id.
    uint64_t EnsureLostParent(uint32_t parent);
    void EnsureLostFolders();

    // --- standard scan ------------------------------------------------------------------
    bool PrepareGeometry();
    void StandardScan();
    void WalkFolder(uint32_t record, int depth);
    std::vector<NtfsRunEntry> IndexAllocationRuns(uint32_t record,
                                                  const CNtfsFileSystem::Record& bytes,
                                                  const NtfsAttributeLocator& locator);
    void WalkIndexBlocks(const std::vector<NtfsRunEntry>& runs,
                         const std::optional<std::vector<uint8_t>>& bitmap, uint32_t folder,
                         int depth);
    // Adds the entries from `offset`; `limit` is the last offset an entry may start at.
    void AddIndexEntries(std::span<const uint8_t> buffer, size_t offset, size_t limit,
                         bool rootEntries, uint32_t folder, int depth);
    void AddIndexEntry(std::span<const uint8_t> entry, uint32_t record, const std::u16string& name,
                       uint32_t folder, int depth);
    void DeletedItemPass();
    void AddDeletedFolders();
    void AddDeletedFiles();
    void RootRecordPass();

    // --- advance scan -------------------------------------------------------------------
    // Keeps the first run of record 1's $DATA, in clusters, when `bytes` is record 1.
    void NoteMirrorRun(std::span<const uint8_t> bytes);
    bool ReadClusterBitmap(std::vector<uint8_t>& bitmap);
    void SearchFreeClusters();
    void TakeRecord(uint64_t sector, std::span<const uint8_t> bytes, Numbering& numbering,
                    std::vector<NtfsRecordEntry>& table);
    std::optional<uint32_t> OwnRecordNumber(const CNtfsFileSystem::Record& record);
    void Renumber(std::vector<NtfsRecordEntry>& table, size_t from, size_t to, uint64_t next);
    // Gives records whose $FILE_NAME lies in an extension record their parents, once the
    // extension records are in the table.
    void ResolvePendingNames(std::vector<NtfsRecordEntry>& table);
    bool FillItemFromEntry(size_t tableIndex, FoundItem& item, std::u16string& name);
    // Sends a folder of the directory list below `parentId`, or, with no parent id, below the
    // folder standing for its lost parent; then its files and subfolders.
    void AddTreeFolder(size_t directoryIndex, std::optional<uint64_t> parentId, int depth);
    void AddTreeChildren(uint32_t recordNumber, uint64_t parentId, int depth);
    void AddTreeFile(size_t tableIndex, std::optional<uint64_t> parentId);
    void AddLostTreeFolders();
    void AddLeftoverFiles();
    void AddRawData();
    bool IdTaken(uint64_t id) const;
    uint64_t NextFreeId(uint64_t& next) const;

    CNtfsFileSystem& m_volume;
    const JobReporter& m_reporter;
    uint32_t m_progressMaximum = 0;
    // The bar of the found items: made with the first item, gone at the end of the scan.
    std::optional<ProgressBracket> m_itemProgress;

    // Folder ids whose children have a home in the tree: sent folders and synthetic ones.
    std::unordered_set<uint64_t> m_knownFolders;
    std::unordered_set<uint64_t> m_sentIds;
    std::unordered_set<uint64_t> m_folderIds;
    // Folder record number -> the id its children go under: every folder of the advance scan,
    // and lost parents of the standard scan whose number an item has.
    std::unordered_map<uint32_t, uint64_t> m_folderIdOfRecord;
    bool m_lostFoldersSent = false;
    // Folder records walked by the standard scan (each once).
    std::unordered_set<uint32_t> m_walkedFolders;
    std::vector<PendingRecord> m_deletedFolders;
    std::vector<PendingRecord> m_deletedFiles;
    std::unordered_set<uint32_t> m_listedRecords; // records of both deleted lists

    // Advance scan.
    std::vector<DirectoryFolder> m_directory;
    std::unordered_map<uint32_t, size_t> m_directoryByRecord;
    std::unordered_map<size_t, size_t> m_directoryOfEntry;            // table index -> m_directory
    std::unordered_map<uint32_t, std::vector<size_t>> m_fileChildren; // parent -> table
    std::unordered_map<uint32_t, std::vector<size_t>> m_folderChildren; // parent -> m_directory
    // The $MFTMirr run as record 1 gives it (first cluster, clusters), and the sectors it
    // covers (first sector, sector count) once the cluster size is known.
    std::optional<std::pair<uint64_t, uint64_t>> m_mirrorRun;
    std::optional<std::pair<uint64_t, uint64_t>> m_mirror;
    std::vector<uint8_t> m_fileAdded;
    std::vector<bool> m_examinedClusters;
    std::vector<RawFind> m_rawFinds;
    // Table index of a record -> table index of the extension record holding its $FILE_NAME.
    std::unordered_map<size_t, size_t> m_nameHolders;
    // Table index of a record -> number of the record its attribute list names for the name.
    std::vector<std::pair<size_t, uint32_t>> m_pendingNames;
    uint32_t m_readErrorRows = 0;
};

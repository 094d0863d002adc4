#pragma once

#include "diskio/records/drive_node.h"
#include "diskio/sources/sector_source.h"
#include "filesystems/fat/fat_start_tallies.h"
#include "filesystems/job_reporter.h"
#include "platform/jobs/job_messages.h"

#include <cstdint>
#include <list>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

class JobRunner;
class JobWindow;
class ScanState;
struct JobFlags;

// The lost-drive search: one physical disk or disk image searched for FAT and NTFS volumes the
// partition table no longer shows. The standard search tests boot sectors where partitions
// usually begin (the first track, 255-head and 16-head cylinders); the advance search reads
// every sector once, in large blocks through one open handle, for boot sectors, $MFT records
// and FAT folder clusters, and rebuilds FAT volumes whose boot sectors are gone.
//
// Every accepted volume becomes a drive node (kind 2 from a boot sector, kind 3 rebuilt) kept
// by the job and sent with WM_ADD_DRIVE_ITEM; the window copies it into the drive list on the
// GUI thread. The job reads the drive list only between its synchronous messages and never
// changes it. Reads are clamped to the disk; a failed read is zero-filled, never matched on,
// and its region is logged.
class CThreadForSearchVolume {
public:
    struct Parameters {
        JobWindow* notifyWindow = nullptr;
        bool advance = false;
        // 1 when started from the disk-image dialog, 0 from the disk dialog; kept as given.
        int32_t searchMode = 0;
    };

    // The disk searched: its code (the first byte of its detail) or 255 for an image file, the
    // image path, its size and where its sectors come from.
    struct Disk {
        static constexpr uint8_t kImageDisk = 255;
        uint8_t drive = 0;
        std::u16string imagePath;
        uint64_t sectors = 0;
        SectorSource source;
        bool IsImage() const { return drive == kImageDisk; }
    };

    // The disk a node of the drive list stands for: hard and removable disks by their code,
    // images of a disk by their file. Nothing for any other node.
    static std::optional<Disk> DiskOfNode(const DriveNode& node);

    // Over the application's state: the disk is the selected drive node, the volumes already
    // known are the state's drive list.
    explicit CThreadForSearchVolume(ScanState& state);
    // Over a given disk and list (tests and fuzz targets); `flags` gives the stop request.
    CThreadForSearchVolume(Disk disk, const std::list<DriveNode>& listed, JobFlags& flags);

    void SetParameters(const Parameters& parameters) { m_parameters = parameters; }
    const Parameters& GetParameters() const { return m_parameters; }

    // Hands a copy of this job to the runner; false when a job runs already.
    bool Start(JobRunner& runner) const;
    // The job on the calling thread; the number of volumes accepted.
    uint32_t Run();

    // The two searches (Run calls one).
    void SearchDisk();
    void SearchNtfsVolumes();

    // Boot-sector tests of a sector read at `sector`: 1 when a volume was accepted (and kept
    // with the given kind), else 0.
    int TestFatVolume(std::span<const uint8_t> bootSector, uint64_t sector, DriveKind kind);
    int TestNtfsVolume(std::span<const uint8_t> bootSector, uint64_t sector, DriveKind kind);
    // 1 when the drive list or this run already holds a volume of this partition type at this
    // first sector on the same disk (the same image file for images).
    int IsVolumeListed(uint8_t partitionType, uint64_t firstSector) const;
    // Reads sectors of the disk; 0 (and zeros) when any of them lies past the disk or fails.
    int ReadSectors(uint64_t sector, uint32_t sectorCount, void* buffer) const;

    // The volumes this run accepted, in order. Addresses stay valid for the job's life.
    const std::list<DriveNode>& Accepted() const { return m_accepted; }
    const Disk& SearchedDisk() const { return m_disk; }

private:
    struct FolderCandidate {
        uint64_t sector = 0;
        uint32_t cluster = 0;
    };
    // A run of sectors that could not be read, logged once it ends.
    struct UnreadableRegion {
        uint64_t first = 0;
        uint64_t count = 0;
    };

    void Begin(uint64_t progressMaximum);
    void End();
    // Status text and progress step of one probe; false once a stop is asked for.
    bool Step(uint64_t sector);
    JobReporter Reporter() const;
    void NoteUnreadable(uint64_t sector, uint32_t sectorCount) const;
    void FlushUnreadable() const;

    // Found volumes of this disk, listed or accepted: names count on from them.
    uint32_t VolumesOnDisk() const;
    // Keeps a new volume with its number and name ("%s %d (%s : %s)", or with `detail` as a
    // third part); null (and a log row) when no drive number is left.
    DriveNode* AcceptVolume(DriveKind kind, LogicalDriveInfo info, uint32_t wordId,
                            const std::u16string& detail);
    // The "Logical Drive" row and WM_ADD_DRIVE_ITEM of an accepted volume.
    void ReportVolume(const DriveNode& node);

    // Standard search.
    void StandardProbe(uint64_t sector, bool trustSignature);
    void ProbeCylinder(uint64_t sector);
    bool HoldsMftRecord(uint64_t sector) const;

    // Advance search.
    void TestMftRecord(std::span<const uint8_t> record, uint64_t sector);
    void TestAdvanceBootSector(std::span<const uint8_t> boot, uint64_t sector);
    void NoteFolderCandidate(uint64_t sector, uint32_t cluster);
    void TallyFolderCandidate(const FolderCandidate& candidate, uint32_t sectorsPerCluster);
    void DropSingleTallies();
    void NoteFatSignature(uint64_t sector);
    void RebuildFatVolumes();
    // Where a listed FAT volume of this disk keeps its data area; nothing for others.
    std::optional<uint64_t> DataStartOf(const DriveNode& node) const;
    bool DataStartKnown(uint64_t dataStart) const;

    ScanState* m_state = nullptr;
    Parameters m_parameters;
    Disk m_disk;
    const std::list<DriveNode>* m_listed = nullptr;
    JobFlags* m_flags = nullptr;
    std::list<DriveNode> m_accepted;
    // The number each accepted volume's name carries, by its drive number.
    std::map<uint8_t, uint32_t> m_volumeNumbers;
    mutable UnreadableRegion m_unreadable;
    mutable uint32_t m_unreadableRows = 0;

    // The advance search's tables.
    std::unordered_set<uint64_t> m_mirrorCopies;
    std::optional<FolderCandidate> m_previousCandidate;
    bool m_previousTallied = false;
    FatStartTallies m_tallies;
    std::map<std::pair<uint64_t, uint32_t>, std::vector<uint32_t>> m_folderClusters;
    size_t m_keptClusters = 0;
    bool m_memoryRowLogged = false;
    std::vector<uint64_t> m_fatSignatures;
};

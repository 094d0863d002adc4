#pragma once

#include "diskio/records/drive_node.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

class JobRunner;
class JobWindow;
class ScanState;

// The scan job: one standard or advance scan of the selected volume, FAT or NTFS, or a raw
// search for known file types over a region of sectors. Built over the application's scan
// state, given its parameters, then started on the JobRunner; every run starts afresh from its
// parameters and the state. It frees the previous reader and the per-scan lists, makes the new
// reader the state's current volume, reports only through the notify window, and ends with
// ResetScanFlags and, when nothing was found, WM_NOTHING_FOUND.
class CThreadForFileSystem {
public:
    struct Parameters {
        bool advanceScan = false;
        // Scan with the other file system than the partition type says: FAT for type 7, NTFS
        // for any other.
        bool otherFileSystem = false;
        // Handed unchanged to the reader's set-up (its image flag).
        uint8_t setupOption = 0;
        JobWindow* notifyWindow = nullptr;
        // A raw search over the region instead of a file-system scan.
        bool rawSearch = false;
        uint64_t regionFirstSector = 0;
        uint64_t regionLastSector = 0;
    };

    static constexpr uint8_t kNtfsPartitionType = 7;

    explicit CThreadForFileSystem(ScanState& state);

    void SetParameters(const Parameters& parameters) { m_parameters = parameters; }
    const Parameters& GetParameters() const { return m_parameters; }

    // Hands a copy of this job, parameters and all, to the runner; the object may go at once.
    // False when the runner refuses (a job runs already).
    bool Start(JobRunner& runner) const;

    // The job itself, on the calling thread. Returns the number of items found.
    uint32_t Run();

    // Makes the header file's records the active signature list (every record is loaded
    // selected) and drops the user list. A file that cannot be read leaves both lists as they
    // were; nothing is reported. Without folders: the data folder and the user's folder.
    void LoadHeaderList();
    void LoadHeaderList(const std::filesystem::path& dataFolder,
                        const std::filesystem::path& userFolder);

    // The OK of the file-types dialog: the selected records of the user list become the active
    // list, the user list is dropped and the signatures count as loaded, so that the choice
    // stands even when it is empty. Returning to the drive list clears the mark.
    static void SelectSignatures(ScanState& state);

    // Whether a scan of these parameters over a node of this kind needs the signatures: an
    // advance scan, a raw search, or a rebuilt volume, a CD/DVD drive or an image of a disk or
    // of a CD/DVD.
    static bool NeedsSignatures(const Parameters& parameters, DriveKind kind);
    // Whether a file-system scan reads the volume as NTFS.
    static bool UsesNtfsReader(uint8_t partitionType, bool otherFileSystem);

    // The last sector a raw search of the node may read (its total count less one), or nullopt
    // when the node gives no size.
    static std::optional<uint64_t> SourceLastSector(const DriveNode& node);

private:
    uint32_t RunRawSearch(const DriveNode& node);
    uint32_t RunFileSystemScan(const DriveNode& node);
    void LogNotStarted(uint32_t reasonId) const;

    ScanState& m_state;
    Parameters m_parameters;
};

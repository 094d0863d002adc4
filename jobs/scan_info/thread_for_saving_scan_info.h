#pragma once

#include "filesystems/job_reporter.h"

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

class JobRunner;
class JobWindow;
class ScanState;
struct JobMessage;
struct LoadedScanInfo;
struct NtfsRecordEntry;
struct NtfsRunEntry;
struct ScanInfoHeader;

// The scan-information job: saves the current scan (the reader's state and tables, the drive
// list and every found item, which the window writes on request) to a ".DAT" file, or loads
// such a file back so that recovery can go on without scanning again. It holds the state's
// scan-information lock for its whole run and always ends with the state's
// scanInfoJobRunning flag clear and its job flags reset, whatever happened.
//
// Saving writes into a temporary file in the target's folder and renames it into place only
// when every byte is written; only an Overwrite answer replaces an existing file. Loading takes
// the whole file apart and checks it before the window drops the current scan; a refused file
// leaves the views and the drive list as they were.
class CThreadForSavingScanInfo {
public:
    enum class Mode : uint32_t {
        Load = 0,
        Save = 1,
    };

    struct Parameters {
        std::filesystem::path filePath;
        Mode mode = Mode::Save;
        JobWindow* notifyWindow = nullptr;
        // Saving under a file mask: the entries of the whole scan, root included (0: no mask).
        // The file holds only what the mask shows, and the log says so.
        uint64_t unmaskedEntries = 0;
    };

    explicit CThreadForSavingScanInfo(ScanState& state);

    void SetParameters(const Parameters& parameters) { m_parameters = parameters; }
    const Parameters& GetParameters() const { return m_parameters; }

    // Hands a copy of this job to the runner; false when the runner refuses (the caller clears
    // scanInfoJobRunning then).
    bool Start(JobRunner& runner) const;

    // The job itself, on the calling thread. True when the file was saved or loaded whole.
    bool Run();

    // Each writes the file at `path` from the current reader; nonzero on success.
    int SaveFatScanInfo(const std::filesystem::path& path);
    int SaveNtfsScanInfo(const std::filesystem::path& path);
    // Loads the open file `fd`; true when it was loaded whole.
    bool LoadScanInfo(int fd);

private:
    bool RunSave();
    bool RunLoad();
    int WriteScanFile(const std::filesystem::path& path, const ScanInfoHeader& header,
                      std::span<const uint8_t> fatCopy, std::span<const uint8_t> clusterMap,
                      std::span<const NtfsRecordEntry> recordTable,
                      std::span<const NtfsRunEntry> mftRuns);
    // Sends the items after the root as a scan does; true when a stop request ended it.
    bool ReplayItems(const LoadedScanInfo& file);
    JobReporter Reporter() const;

    ScanState& m_state;
    Parameters m_parameters;
    // The user answered Overwrite: the saved file may replace the existing one.
    bool m_replace = false;
    // Entry records the last save wrote, root included.
    uint32_t m_itemsWritten = 0;
};

#pragma once

#include "filesystems/job_reporter.h"
#include "jobs/recovery/ftp_settings.h"
#include "platform/jobs/job_messages.h"
#include "platform/jobs/name_clash_decision.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class CRecoveredZip;
class FtpClient;
class JobRunner;
class JobWindow;
class LocalDestination;
class RecoveredFileData;
class RecoveredFileSink;
class RecoveryDestination;
class ScanState;
struct FoundItem;

// The recovery job: writes the found files of the current volume (all of them, or the marked
// ones) to a local folder, a folder on an FTP server, or zip archives. It walks the found tree
// from its root through WM_GET_CHILD_ITEMS, recreates the folders, and writes each file piece
// by piece as it reads it from the volume, with a progress bar for the whole job and one per
// file, a log row per file, the stop question in the middle of a file, and the name-clash
// question when a target exists.
//
// Everything it writes stays inside the destination: names from the disk are made safe, local
// files are opened relative to their folder without following links and never over an
// existing file unless the user said so. A file counts as recovered only when every byte came
// from the disk and reached the destination. A local destination on the disk being read is
// written only after the person's Yes.
//
// Every file that could not be written counts as not recovered (its folder could not be made,
// its target could not be created, a write or the close failed, the server refused it, its
// archive could not be completed); the end row and a message box give the count, and a
// recovery that recovered nothing never ends "completed". Recover Selected leaves marked every
// file it did not save.
class CThreadForSavingFiles {
public:
    enum class Target : uint8_t {
        LocalFolder = 0,
        FtpServer = 1,
        CdDvdDrive = 2,
    };
    // Which entries Recover All takes.
    enum class EntryChoice : uint8_t {
        ExcludeDeleted = 0,
        IncludeDeleted = 1,
        OnlyDeleted = 2,
    };

    struct Parameters {
        bool zip = false;
        bool singleArchive = false;
        // Recover All; otherwise the marked entries only.
        bool allFiles = true;
        EntryChoice entryChoice = EntryChoice::ExcludeDeleted;
        Target target = Target::LocalFolder;
        // A local folder, or a folder on the FTP server ("/data").
        std::u16string destination;
        FtpSettings ftp;
        JobWindow* notifyWindow = nullptr;
        uint64_t rootTreeItem = 0;
        uint64_t rootId = 0;
        bool rootDeleted = false;
        // Files the overall progress bar counts.
        uint32_t progressMaximum = 0;
        // Where the system lists disks and partitions, to tell whether a local destination
        // lies on the disk being read.
        std::filesystem::path sysfsRoot = "/sys";
    };

    static constexpr char16_t kArchiveName[] = u"Recovered Data.zip";
    // Folders nested deeper than this are not entered (a damaged tree could be endless).
    static constexpr int kMaxDepth = 256;
    // Names "Copy<n>_<name>" tried before a rename gives up.
    static constexpr uint32_t kMaxCopyNumber = 100000;
    // A file's progress bar has at most this many steps: each one is a message the window
    // handles while the job waits.
    static constexpr uint32_t kMaxFileSteps = 100;

    explicit CThreadForSavingFiles(ScanState& state);
    ~CThreadForSavingFiles();
    CThreadForSavingFiles(const CThreadForSavingFiles&) = delete;
    CThreadForSavingFiles& operator=(const CThreadForSavingFiles&) = delete;

    void SetParameters(const Parameters& parameters) { m_parameters = parameters; }

    // Starts a job of these parameters on the runner; false when the runner refuses.
    bool Start(JobRunner& runner) const;
    // The whole job, on the calling thread.
    void Run();

private:
    enum class FileOutcome {
        Saved,
        Skipped,
        // Could not be written: counted as not recovered.
        Failed,
        // Stopped by the user before or while it was written.
        Stopped,
    };
    struct NameChoice {
        bool write = false;
        bool skipped = false;
        std::u16string name;
        bool overwrite = false;
    };

    // Asks before a local destination on the disk being read is written; false on No.
    bool MayWriteDestination();
    bool OpenDestination();
    void LogEnd();
    void CloseDestination();
    void RecoverIntoSingleZip();
    bool RecoverTree(const FoundItem* folder, uint64_t treeItem, uint64_t folderId,
                     const std::u16string& name, bool deleted, int depth);
    bool RecoverFolderItems(const std::vector<ChildItem>& children, bool deleted);
    // Files the recovery would have taken from these entries and the folders below them.
    uint32_t CountFiles(const std::vector<ChildItem>& children, int depth);
    // One file of the current FAT or NTFS volume; Saved when its target was opened and took
    // every byte read (read errors aside), and the user did not stop it half way.
    FileOutcome SaveVolumeFile(const FoundItem& item, const std::u16string& name,
                               bool folderDeleted);
    FileOutcome SaveFile(const FoundItem& item, const std::u16string& name,
                         std::unique_ptr<RecoveredFileData> data);
    // Opens where the file goes; null when nothing is to be written. Sets `skipped` when the
    // user chose to skip it and `failure` when it could not be opened.
    std::unique_ptr<RecoveredFileSink> OpenTarget(const FoundItem& item, const std::u16string& name,
                                                  bool& skipped, std::u16string& failure);
    NameChoice ResolveNameClash(const std::u16string& name);
    std::u16string ProposeCopyName(const std::u16string& name);
    void SetRecoveredFileTime(const FoundItem& item, RecoveredFileSink& sink) const;
    bool Admits(const FoundItem& item, const std::u16string& name) const;
    void MarkFileSaved(const ChildItem& child);
    // Runs an unmark now, or, while files go into the single archive, once the archive is
    // complete: a file is saved only when its archive is.
    void Unmark(std::function<void()> unmark);
    void SendMarkedTotals() const;
    JobReporter Reporter() const;
    void LogFileResult(FileOutcome outcome, bool complete, const std::u16string& failure);
    void NoteDestinationLost();

    ScanState& m_state;
    Parameters m_parameters;

    // Per run.
    bool m_ntfs = false;
    uint8_t m_partitionType = 0;
    std::unique_ptr<FtpClient> m_ftp;
    std::unique_ptr<LocalDestination> m_local;
    std::unique_ptr<RecoveryDestination> m_ftpDestination;
    RecoveryDestination* m_destination = nullptr;
    std::unique_ptr<CRecoveredZip> m_archive;
    std::vector<std::u16string> m_folderNames;
    std::optional<NameClashDecision> m_standingAnswer;
    bool m_destinationLost = false;
    bool m_lostReported = false;
    bool m_failed = false;
    uint32_t m_savedFiles = 0;
    uint32_t m_failedFiles = 0;
    // Saved into the single archive, which still has to be completed.
    uint32_t m_archivedFiles = 0;
    std::vector<std::function<void()>> m_deferredUnmarks;
};

#pragma once

#include "diskio/inventory/drive_list_store.h"
#include "filesystems/carving/active_signature_search.h"
#include "filesystems/scan_environment.h"
#include "filesystems/signatures/signature_lists.h"
#include "jobs/mask/file_mask.h"
#include "jobs/recovery/ftp_settings.h"
#include "platform/jobs/job_flags.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

class CFatFileSystem;
class ClusterVolume;
class CNtfsFileSystem;
class SettingsStore;
struct DriveNode;

// The state of a scan that the whole program shares: the drive list, the drive the user opened,
// the current volume reader, the signature lists, the job flags, the persisted settings and the
// selection totals. The application object owns one and hands it to the jobs it starts.
//
// Threads: flags, settings and totals that a job and the GUI both touch are atomics, read and
// written one at a time. Everything else (the drive list, the volume, the lists) is changed by
// the GUI thread only while no job runs, and by a job only while it runs; the window learns of
// a job's changes through its synchronous messages.
//
// Invariants: at most one volume reader exists, FAT or NTFS. Every reader is built over
// Environment(), which lives as long as this object; the reader is destroyed first.
// "RR" is bound to the sector layer's read-attempt setting for this object's lifetime.
class ScanState {
public:
    // Setting names and defaults.
    static constexpr std::string_view kLanguageName = "LANG";
    static constexpr std::string_view kSaveLogName = "LS";
    static constexpr std::string_view kSignatureSearchName = "SC";
    static constexpr std::string_view kReadAttemptsName = "RR";
    static constexpr std::string_view kLogPathName = "LPath";
    static constexpr uint32_t kDefaultLanguage = 0;
    static constexpr uint32_t kDefaultSaveLog = 0;
    static constexpr uint32_t kDefaultSignatureSearch = 1;
    // The sector layer treats 0 as one attempt.
    static constexpr uint32_t kDefaultReadAttempts = 0;
    // The log folder had a buffer of 260 units with its terminator.
    static constexpr size_t kMaxLogPathUnits = 259;

    // A name the scan corrected after sending its item, kept until the window applies it.
    struct ItemName {
        uint64_t entryId = 0;
        std::u16string name;
    };

    ScanState();
    ~ScanState();
    ScanState(const ScanState&) = delete;
    ScanState& operator=(const ScanState&) = delete;

    // --- drives ------------------------------------------------------------------------------
    DriveListStore driveList;
    // The node the user last opened in the drive tree; null for none. Volume readers read it.
    const DriveNode* SelectedDrive() const { return m_environment.selectedDrive; }
    void SetSelectedDrive(const DriveNode* node) { m_environment.selectedDrive = node; }

    // --- the current volume ------------------------------------------------------------------
    CFatFileSystem* FatVolume() const;
    CNtfsFileSystem* NtfsVolume() const;
    // The current reader, whichever it is; null for none.
    ClusterVolume* Volume() const;
    bool HasVolume() const;
    // Frees the current reader and makes a new one over Environment().
    CFatFileSystem& NewFatVolume();
    CNtfsFileSystem& NewNtfsVolume();
    void FreeVolume();
    // Makes a reader built elsewhere (over Environment()) the current volume, freeing the old.
    void AdoptVolume(std::unique_ptr<CFatFileSystem> volume);
    void AdoptVolume(std::unique_ptr<CNtfsFileSystem> volume);
    // Items the current reader found; 0 without a reader.
    uint32_t VolumeFoundCount() const;

    // What the readers see of this state. Its flags are `jobFlags` and its signature search is
    // `activeSearch`; a job sets the window, the "SC" choice and the drive before it scans.
    ScanEnvironment& Environment() { return m_environment; }
    const ScanEnvironment& Environment() const { return m_environment; }

    // --- job flags ---------------------------------------------------------------------------
    // jobRunning belongs to the JobRunner: it is set until the job's thread has ended.
    JobFlags jobFlags;
    std::atomic<bool> scanPhase{false};
    std::atomic<bool> resultsAvailable{false};
    std::atomic<bool> parentAvailable{false};
    std::atomic<bool> someSelected{false};
    std::atomic<bool> allSelected{false};
    std::atomic<bool> scanInfoSaved{false};
    std::atomic<bool> findDone{false};
    // The window waits for this to clear before it frees the drive list.
    std::atomic<bool> scanInfoJobRunning{false};
    // Held by the scan-information job for its whole run, so a second save or load waits for
    // the first. The window never takes it: it waits on scanInfoJobRunning, handling events.
    std::mutex scanInfoLock;

    // --- selection totals --------------------------------------------------------------------
    std::atomic<uint32_t> selectedFolders{0};
    std::atomic<uint32_t> selectedFiles{0};
    std::atomic<uint64_t> selectedBytes{0};

    // --- signatures --------------------------------------------------------------------------
    SignatureLists signatureLists;
    ActiveSignatureSearch activeSearch;
    std::atomic<bool> signaturesLoaded{false};

    // --- per-scan lists ----------------------------------------------------------------------
    std::vector<ItemName> pendingNames;
    // Extensions of the file filter; filterExclude: recovery skips them instead of taking only
    // them.
    std::vector<std::u16string> filterExtensions;
    std::atomic<bool> filterExclude{false};

    // --- the file mask -----------------------------------------------------------------------
    // The conditions of the last File Mask; GUI thread only (the mask steps run there).
    FileMaskSettings fileMask;
    // The progress maximum of a mask run: the entries it walks.
    std::atomic<uint32_t> maskEntryCount{0};
    // Set by the window's mask step while more kept entries remain to be filtered.
    std::atomic<bool> maskStepsLeft{false};

    // --- recovery ----------------------------------------------------------------------------
    // The FTP server the user last gave; GUI thread only (a job gets a copy).
    FtpSettings ftpSettings;

    // --- settings ----------------------------------------------------------------------------
    std::atomic<uint32_t> language{kDefaultLanguage};               // "LANG", 0 English .. 4
    std::atomic<uint32_t> saveLogOnClose{kDefaultSaveLog};          // "LS"
    std::atomic<uint32_t> signatureSearch{kDefaultSignatureSearch}; // "SC"
    std::atomic<uint32_t> readAttempts{kDefaultReadAttempts};       // "RR", 1 to 6
    std::u16string logPath;                                         // "LPath", GUI thread only

    // --- the file list -----------------------------------------------------------------------
    // Kept between fills and scans. Sort column: 0 name, 1 type, 2 size, 3 modified, 4 created,
    // 5 accessed, 6 file id. View style: 0 large icon, 1 details, 2 small icon, 3 list.
    std::atomic<uint8_t> sortColumn{0};
    std::atomic<bool> sortAscending{false};
    std::atomic<uint32_t> viewStyle{1};

    // Takes "LANG", "LS", "SC", "RR" and "LPath" from a loaded store; a value the store lacks,
    // or holds with the other type, leaves its field as it was. "LPath" is cut to its limit.
    void LoadSettings(const SettingsStore& store);
    // Writes "LANG", "LS", "RR" and "LPath" into the store and saves its file. "SC" is not
    // written: the choice lasts until the program ends. False when the file was not saved.
    bool SaveSettings(SettingsStore& store) const;

    // --- ends of jobs and scans --------------------------------------------------------------
    // Ends a job's flags: clears the stop request, stoppable and parent available, and sets
    // results available when the current reader found at least one item (else leaves it).
    // Job running is left to the runner.
    void ResetScanFlags();
    // Empties the user signature list, the pending names and the filter extensions.
    void FreeFoundLists();

private:
    using VolumeReader = std::variant<std::monostate, std::unique_ptr<CFatFileSystem>,
                                      std::unique_ptr<CNtfsFileSystem>>;

    // Declared before the reader, which refers to it.
    ScanEnvironment m_environment;
    VolumeReader m_volume;
};

#include "jobs/recovery/thread_for_saving_files.h"

#include "filesystems/fat/fat_file_system.h"
#include "filesystems/found_item.h"
#include "filesystems/ntfs/ntfs_file_system.h"
#include "filesystems/recovered_file_data.h"
#include "filesystems/scan_log.h"
#include "jobs/mask/file_filter.h"
#include "jobs/recovery/ftp_destination.h"
#include "jobs/recovery/local_destination.h"
#include "jobs/recovery/recovered_name.h"
#include "jobs/recovery/recovered_zip.h"
#include "jobs/scan/scan_state.h"
#include "jobs/recovery/source_disk_question.h"
#include "jobs/scan/totals_text.h"
#include "jobs/recovery/zip/zip_entry_sink.h"
#include "platform/time/file_time.h"
#include "platform/text/format_text.h"
#include "platform/ftp/ftp_client.h"
#include "platform/jobs/job_runner.h"
#include "platform/jobs/job_window.h"
#include "platform/resources/program_string.h"
#include "platform/resources/string_table.h"
#include "platform/text/utf_conversion.h"
#include "resources/string_ids.h"

#include <algorithm>
#include <filesystem>
#include <utility>

namespace {

constexpr uint8_t kFat32PartitionType = 11;
constexpr char16_t kRootName[] = u"#Root";

// The text of `formatId` in the current language with `args` put in.
template <typename... Args> std::u16string Formatted(uint32_t formatId, const Args&... args) {
    return FormatText(StringTable::Program().Get(formatId), args...);
}

uint64_t SaturatingSubtract(uint64_t from, uint64_t amount) {
    return from > amount ? from - amount : 0;
}

// The steps of a file's progress bar, from the steps its data counts: at most kMaxFileSteps,
// and all of them once all the data's steps are done.
class FileProgress {
public:
    explicit FileProgress(uint32_t dataSteps)
        : m_dataSteps(dataSteps),
          m_maximum(std::min(dataSteps, CThreadForSavingFiles::kMaxFileSteps)) {}

    uint32_t Maximum() const { return m_maximum; }
    // How many bar steps `done` more data steps make.
    uint32_t Advance(uint32_t done) {
        m_done = std::min<uint64_t>(m_dataSteps, m_done + done);
        const uint32_t reached =
            m_dataSteps == 0 ? 0 : static_cast<uint32_t>(m_done * m_maximum / m_dataSteps);
        const uint32_t steps = reached - m_shown;
        m_shown = reached;
        return steps;
    }

private:
    uint32_t m_dataSteps;
    uint32_t m_maximum;
    uint64_t m_done = 0;
    uint32_t m_shown = 0;
};

} // namespace

CThreadForSavingFiles::CThreadForSavingFiles(ScanState& state) : m_state(state) {}

CThreadForSavingFiles::~CThreadForSavingFiles() = default;

bool CThreadForSavingFiles::Start(JobRunner& runner) const {
    return runner.Start([state = &m_state, parameters = m_parameters]() {
        CThreadForSavingFiles job(*state);
        job.SetParameters(parameters);
        job.Run();
    });
}

// ---------------------------------------------------------------------------------------------
// The job

void CThreadForSavingFiles::Run() {
    JobFlags& flags = m_state.jobFlags;
    flags.stopRequested = false;
    m_state.parentAvailable = false;
    m_standingAnswer.reset();

    m_ntfs = m_state.NtfsVolume() != nullptr;
    if (CFatFileSystem* fat = m_state.FatVolume())
        m_partitionType = fat->TypeCode();
    if (!m_state.HasVolume()) {
        Reporter().LogRow(ProgramString(kRecoveringFileActivityId), ProgramString(kNoVolumeId),
                          ProgramString(kFailedId), ScanLog::kImageAborted);
        flags.stoppable = false;
        return;
    }
    // Asked before the job can be stopped: nothing is under way yet.
    if (!MayWriteDestination())
        return;
    flags.stoppable = true;
    if (!OpenDestination()) {
        CloseDestination();
        flags.stoppable = false;
        m_state.parentAvailable = false;
        return;
    }

    ScanLog::Started(m_parameters.notifyWindow, ProgramString(kRecoveringFileActivityId));
    Reporter().Send(
        MakeCreateProgress(ProgramString(kSavingLabelId), m_parameters.progressMaximum));
    if (m_parameters.zip && m_parameters.singleArchive &&
        m_parameters.target == Target::LocalFolder) {
        RecoverIntoSingleZip();
    } else {
        RecoverTree(nullptr, m_parameters.rootTreeItem, m_parameters.rootId, u"",
                    m_parameters.rootDeleted, 0);
    }
    Reporter().Send(MakeScanTotals());
    Reporter().Send(MakeDestroyProgress(0));

    LogEnd();
    CloseDestination();
    m_state.parentAvailable = false;
    flags.stoppable = false;
}

void CThreadForSavingFiles::LogEnd() {
    const uint32_t failed = m_failedFiles;
    const bool stopped = m_state.jobFlags.stopRequested.load();
    if (m_destinationLost || stopped) {
        // The end row says why the job ended; the count goes on a row of its own before it.
        if (failed > 0)
            Reporter().LogRow(u"", Formatted(kNotRecoveredId, static_cast<int32_t>(failed)), u"",
                              ScanLog::kImageAborted);
        if (m_destinationLost)
            Reporter().LogRow(u"", ProgramString(kConnectionLostTextId),
                              ProgramString(kFailedOnId) + ScanLog::NowText(),
                              ScanLog::kImageAborted);
        else
            ScanLog::Ended(m_parameters.notifyWindow, u"", true);
    } else if (failed > 0 || m_failed) {
        // A recovery that recovered nothing never says "completed".
        const bool nothing = m_savedFiles == 0;
        Reporter().LogRow(u"",
                          Formatted(nothing ? kFailedNotRecoveredId : kCompletedNotRecoveredId,
                                    static_cast<int32_t>(failed)),
                          ProgramString(nothing ? kFailedOnId : kCompletedOnId) +
                              ScanLog::NowText(),
                          nothing ? ScanLog::kImageAborted : ScanLog::kImagePartial);
    } else {
        ScanLog::Ended(m_parameters.notifyWindow, u"", false);
    }
    if (failed > 0)
        Reporter().ShowMessage(Formatted(kNotRecoveredBoxId, static_cast<int32_t>(failed)),
                               MessageBoxIcon::Warning);
}

bool CThreadForSavingFiles::MayWriteDestination() {
    if (m_parameters.target != Target::LocalFolder)
        return true;
    const ClusterVolume* volume = m_state.Volume();
    if (volume == nullptr)
        return true;
    const SectorSource* source = &volume->Source();
    const SourceDiskQuestion question{
        std::filesystem::path(Utf16ToUtf8(m_parameters.destination)),
        source->UnderlyingPath(),
        m_parameters.sysfsRoot,
        Formatted(kDestinationOnSourceDiskQuestionId, m_parameters.destination),
        ProgramString(kRecoveringFileActivityId),
        Formatted(kDestinationOnSourceDiskId, m_parameters.destination)};
    return MayWriteOnSourceDisk(m_parameters.notifyWindow, question);
}

bool CThreadForSavingFiles::OpenDestination() {
    switch (m_parameters.target) {
    case Target::LocalFolder: {
        std::u16string error;
        m_local = LocalDestination::Open(
            std::filesystem::path(Utf16ToUtf8(m_parameters.destination)), error);
        if (!m_local) {
            Reporter().LogRow(ProgramString(kRecoveringFileActivityId),
                              Formatted(kNoLocalFolderId, error), ProgramString(kFailedId),
                              ScanLog::kImageAborted);
            Reporter().ShowMessage(Formatted(kNoLocalFolderId, error), MessageBoxIcon::Error);
            return false;
        }
        m_destination = m_local.get();
        return true;
    }
    case Target::FtpServer: {
        m_ftp = std::make_unique<FtpClient>();
        std::optional<FtpEndpoint> endpoint = FtpEndpoint::Parse(
            m_parameters.ftp.server, m_parameters.ftp.user, m_parameters.ftp.password);
        if (!endpoint || !m_ftp->Connect(*endpoint)) {
            Reporter().ShowMessage(ProgramString(kConnectFailedTextId), MessageBoxIcon::Error);
            return false;
        }
        const std::u16string root =
            m_parameters.destination.empty() ? u"/" : m_parameters.destination;
        std::u16string error;
        m_ftpDestination = FtpDestination::Open(*m_ftp, root, error);
        if (!m_ftpDestination) {
            Reporter().LogRow(ProgramString(kRecoveringFileActivityId),
                              Formatted(kNoServerFolderId, error), ProgramString(kFailedId),
                              ScanLog::kImageAborted);
            Reporter().ShowMessage(Formatted(kNoServerFolderId, error), MessageBoxIcon::Error);
            return false;
        }
        m_destination = m_ftpDestination.get();
        return true;
    }
    case Target::CdDvdDrive:
        // Nothing can be written there: every file is logged as skipped.
        return true;
    }
    return false;
}

void CThreadForSavingFiles::CloseDestination() {
    m_archive.reset();
    m_destination = nullptr;
    m_ftpDestination.reset();
    m_local.reset();
    if (m_ftp)
        m_ftp->Disconnect();
    m_ftp.reset();
}

void CThreadForSavingFiles::RecoverIntoSingleZip() {
    if (!m_local) {
        m_failed = true;
        return;
    }
    // Without its archive no file of the recovery can be written.
    const auto failAll = [this] {
        m_failed = true;
        JobMessage request = MakeGetChildItems(m_parameters.rootId, m_parameters.allFiles);
        Reporter().Ask(request);
        if (ChildItemsRequest* answer = request.Get<ChildItemsRequest>())
            m_failedFiles += CountFiles(answer->result, 0);
    };
    NameChoice choice = ResolveNameClash(kArchiveName);
    if (!choice.write) {
        Reporter().LogRow(u"", kArchiveName,
                          ProgramString(choice.skipped ? kRecoverySkippedId : kFailedId),
                          ScanLog::kImageAborted);
        if (!choice.skipped)
            failAll();
        return;
    }
    const int fd = m_local->OpenFileDescriptor(choice.name, choice.overwrite);
    auto archive = std::make_unique<CRecoveredZip>();
    if (fd < 0 || !archive->OpenFd(fd, choice.name)) {
        Reporter().LogRow(
            u"", Formatted(kCannotCreateRecoveredFileId, choice.name, m_local->LastError()),
            ProgramString(kFailedId), ScanLog::kImageAborted);
        failAll();
        return;
    }
    m_archive = std::move(archive);
    RecoverTree(nullptr, m_parameters.rootTreeItem, m_parameters.rootId, u"",
                m_parameters.rootDeleted, 0);
    const bool closed = m_archive->Close();
    if (!closed) {
        // An archive without its directory holds nothing a person can open: every file written
        // into it is lost, and stays marked.
        Reporter().LogRow(u"", Formatted(kCannotCompleteId, choice.name, m_archive->LastError()),
                          ProgramString(kFailedId), ScanLog::kImageAborted);
        m_failed = true;
        m_failedFiles += m_archivedFiles;
        m_savedFiles -= m_archivedFiles;
    }
    m_archive.reset();
    std::vector<std::function<void()>> unmarks = std::move(m_deferredUnmarks);
    m_deferredUnmarks.clear();
    if (closed)
        for (const std::function<void()>& unmark : unmarks)
            unmark();
}

bool CThreadForSavingFiles::RecoverTree(const FoundItem* folder, uint64_t treeItem,
                                        uint64_t folderId, const std::u16string& name, bool deleted,
                                        int depth) {
    const bool isRoot = folder == nullptr;
    const std::u16string safeName = isRoot ? std::u16string() : SanitiseRecoveredName(name);
    if (depth > kMaxDepth) {
        Reporter().LogRow(u"", Formatted(kTooDeepId, safeName), ProgramString(kFailedId),
                          ScanLog::kImageAborted);
        m_failed = true;
        JobMessage request = MakeGetChildItems(folderId, m_parameters.allFiles);
        Reporter().Ask(request);
        if (ChildItemsRequest* answer = request.Get<ChildItemsRequest>())
            m_failedFiles += CountFiles(answer->result, depth);
        return false;
    }

    JobMessage request = MakeGetChildItems(folderId, m_parameters.allFiles);
    Reporter().Ask(request);
    std::vector<ChildItem> children;
    if (ChildItemsRequest* answer = request.Get<ChildItemsRequest>())
        children = std::move(answer->result);

    // The single archive keeps folders as the path of each entry; every other destination
    // recreates them. The root is the destination itself.
    bool entered = false;
    if (!isRoot) {
        if (m_archive) {
            m_folderNames.push_back(safeName);
        } else if (m_destination != nullptr && !m_destinationLost) {
            if (!m_destination->EnterFolder(safeName)) {
                if (m_destination->Lost()) {
                    NoteDestinationLost();
                } else {
                    Reporter().LogRow(
                        u"", Formatted(kCannotCreateFolderId, safeName, m_destination->LastError()),
                        ProgramString(kFailedId), ScanLog::kImageAborted);
                    m_failedFiles += CountFiles(children, depth);
                    return false;
                }
            } else {
                entered = true;
            }
        }
    }

    const bool selected = !m_parameters.allFiles;
    const std::u16string checkName = folderId == 0 ? std::u16string(kRootName) : name;
    if (selected) {
        Reporter().Send(MakeSetFileCheck(checkName, folderId, treeItem, true));
        Reporter().Send(MakeSetFolderCheck(treeItem, true));
    }

    bool result = RecoverFolderItems(children, deleted);
    for (const ChildItem& child : children) {
        if (Reporter().Stopped())
            break;
        if (!child.item || !child.item->IsFolder())
            continue;
        if (!RecoverTree(child.item.get(), child.item->treeItem, child.item->entryId, child.name,
                         child.item->deleted != 0, depth + 1))
            result = false;
    }

    // A folder stays marked while any of its marked files could not be saved.
    if (selected && !Reporter().Stopped() && result) {
        Unmark([this, checkName, folderId, treeItem] {
            Reporter().Send(MakeSetFileCheck(checkName, folderId, treeItem, false));
            Reporter().Send(MakeSetFolderCheck(treeItem, false));
            uint32_t folders = m_state.selectedFolders.load();
            if (folders != 0) {
                m_state.selectedFolders = folders - 1;
                SendMarkedTotals();
            }
        });
    }

    if (entered)
        m_destination->LeaveFolder();
    if (!isRoot && m_archive && !m_folderNames.empty())
        m_folderNames.pop_back();
    return result;
}

bool CThreadForSavingFiles::RecoverFolderItems(const std::vector<ChildItem>& children,
                                               bool deleted) {
    bool result = true;
    for (const ChildItem& child : children) {
        if (Reporter().Stopped())
            break;
        if (!child.item || child.item->IsFolder())
            continue;
        if (!Admits(*child.item, child.name))
            continue;
        const FileOutcome outcome = SaveVolumeFile(*child.item, child.name, deleted);
        if (outcome == FileOutcome::Saved) {
            ++m_savedFiles;
            if (m_archive)
                ++m_archivedFiles;
        } else if (outcome == FileOutcome::Failed) {
            ++m_failedFiles;
        }
        if (!m_parameters.allFiles) {
            if (outcome == FileOutcome::Saved)
                Unmark([this, child] { MarkFileSaved(child); });
            else
                result = false;
        }
    }
    return result;
}

uint32_t CThreadForSavingFiles::CountFiles(const std::vector<ChildItem>& children, int depth) {
    uint32_t files = 0;
    for (const ChildItem& child : children) {
        if (!child.item)
            continue;
        if (!child.item->IsFolder()) {
            files += Admits(*child.item, child.name) ? 1 : 0;
            continue;
        }
        // The same bound as the walk: a damaged tree could be endless.
        if (depth >= kMaxDepth)
            continue;
        JobMessage request = MakeGetChildItems(child.item->entryId, m_parameters.allFiles);
        Reporter().Ask(request);
        if (ChildItemsRequest* answer = request.Get<ChildItemsRequest>())
            files += CountFiles(answer->result, depth + 1);
    }
    return files;
}

bool CThreadForSavingFiles::Admits(const FoundItem& item, const std::u16string& name) const {
    if (!MatchesFileFilter(name, m_state.filterExtensions, m_state.filterExclude.load()))
        return false;
    if (!m_parameters.allFiles)
        return item.checkState == 2;
    switch (m_parameters.entryChoice) {
    case EntryChoice::ExcludeDeleted:
        return item.deleted == 0;
    case EntryChoice::IncludeDeleted:
        return true;
    case EntryChoice::OnlyDeleted:
        return item.deleted != 0;
    }
    return false;
}

void CThreadForSavingFiles::MarkFileSaved(const ChildItem& child) {
    m_state.selectedBytes = SaturatingSubtract(m_state.selectedBytes.load(), child.item->size);
    m_state.selectedFiles =
        static_cast<uint32_t>(SaturatingSubtract(m_state.selectedFiles.load(), 1));
    Reporter().Send(MakeSetFileCheck(child.name, child.item->entryId, child.item->treeItem, false));
    SendMarkedTotals();
}

void CThreadForSavingFiles::Unmark(std::function<void()> unmark) {
    if (m_archive)
        m_deferredUnmarks.push_back(std::move(unmark));
    else
        unmark();
}

void CThreadForSavingFiles::SendMarkedTotals() const {
    Reporter().Send(MakeSetStatusText2(
        TotalsText(StringTable::Program().Get(kMarkedWordId), m_state.selectedBytes.load(),
                   m_state.selectedFiles.load(), m_state.selectedFolders.load())));
}

// ---------------------------------------------------------------------------------------------
// One file

CThreadForSavingFiles::FileOutcome CThreadForSavingFiles::SaveVolumeFile(const FoundItem& item,
                                                                         const std::u16string& name,
                                                                         bool folderDeleted) {
    ClusterVolume* volume = m_state.Volume();
    return SaveFile(item, name,
                    volume != nullptr ? volume->FileData(item, folderDeleted) : nullptr);
}

CThreadForSavingFiles::FileOutcome
CThreadForSavingFiles::SaveFile(const FoundItem& item, const std::u16string& name,
                                std::unique_ptr<RecoveredFileData> data) {
    if (Reporter().Stopped())
        return FileOutcome::Stopped;
    Reporter().Send(MakeStepProgress(0));

    FileProgress progress(data ? data->PieceCount() : 0);
    Reporter().Send(MakeCreateProgress2(ProgramString(kFileProgressLabelId), progress.Maximum()));
    Reporter().LogRow(u"", name, ProgramString(kStartedId), ScanLog::kImageStarted);

    bool skipped = false;
    std::u16string failure;
    std::unique_ptr<RecoveredFileSink> sink;
    if (m_parameters.target == Target::CdDvdDrive) {
        skipped = true;
    } else if (!data || !data->Available()) {
        failure = ProgramString(kDataNotFoundId);
    } else {
        sink = OpenTarget(item, name, skipped, failure);
    }
    if (!sink && m_destination != nullptr && m_destination->Lost()) {
        NoteDestinationLost();
        failure = ProgramString(kConnectionLostTextId);
    }

    bool opened = sink != nullptr;
    bool complete = opened;
    bool writeFailed = false;
    bool aborted = false;
    bool saveThenAbort = false;
    if (opened) {
        RecoveredFileData::Piece piece;
        while (data->Next(piece)) {
            if (Reporter().Stopped()) {
                JobMessage question = MakeSaveErrorAction(name);
                Reporter().Ask(question);
                const SaveErrorActionRequest* answer = question.Get<SaveErrorActionRequest>();
                const auto choice = answer != nullptr
                                        ? answer->answer
                                        : SaveErrorActionRequest::Answer::AbortImmediately;
                if (choice == SaveErrorActionRequest::Answer::AbortImmediately) {
                    complete = false;
                    aborted = true;
                    break;
                }
                saveThenAbort = choice == SaveErrorActionRequest::Answer::SaveFileAndAbort;
                m_state.jobFlags.stopRequested = false;
                m_state.jobFlags.stoppable = true;
            }
            if (piece.failed) {
                complete = false;
                Reporter().LogRow(
                    u"", ProgramString(kReadErrorTextId),
                    Formatted(piece.error.isSector ? kErrorReadingSectorId : kClusterReadErrorId,
                              static_cast<long long>(piece.error.number)),
                    ScanLog::kImageReadError);
            }
            if (!sink->Write(piece.data, piece.length)) {
                complete = false;
                writeFailed = true;
                break;
            }
            for (uint32_t step = progress.Advance(piece.steps); step > 0; --step)
                Reporter().Send(MakeStepProgress(1));
        }
        if (complete && !data->Complete())
            complete = false;
        SetRecoveredFileTime(item, *sink);
        if (!sink->Close()) {
            complete = false;
            writeFailed = true;
        }
        if (m_destination != nullptr && m_destination->Lost())
            NoteDestinationLost();
        // What a failed write left (the start of a file; nothing of a zip entry, which is cut
        // off whole) is no recovered file.
        if (writeFailed)
            failure = m_destinationLost ? ProgramString(kConnectionLostTextId)
                                        : ProgramString(kNotWrittenId);
    }

    Reporter().Send(MakeDestroyProgress(1));
    // Only the stop request: the stop command stays available while the job ends.
    if (saveThenAbort)
        m_state.jobFlags.stopRequested = true;
    FileOutcome outcome = FileOutcome::Saved;
    if (writeFailed || (!opened && !skipped))
        outcome = FileOutcome::Failed;
    else if (skipped)
        outcome = FileOutcome::Skipped;
    else if (aborted)
        outcome = FileOutcome::Stopped;
    LogFileResult(outcome, complete, failure);
    return outcome;
}

std::unique_ptr<RecoveredFileSink> CThreadForSavingFiles::OpenTarget(const FoundItem& item,
                                                                     const std::u16string& name,
                                                                     bool& skipped,
                                                                     std::u16string& failure) {
    if (m_destinationLost) {
        failure = ProgramString(kConnectionLostTextId);
        return nullptr;
    }
    const std::u16string safeName = SanitiseRecoveredName(name);
    const CRecoveredZip::EntryInfo info{item.size, item.attributes};

    if (m_archive) {
        std::u16string entryName;
        for (const std::u16string& folder : m_folderNames)
            entryName += folder + u"\\";
        entryName += safeName;
        auto sink = ZipEntrySink::InArchive(*m_archive, entryName, info);
        if (!sink)
            failure = Formatted(kCannotAddToArchiveId, entryName, m_archive->LastError());
        return sink;
    }
    if (m_destination == nullptr) {
        failure = ProgramString(kNoDestinationId);
        return nullptr;
    }

    const bool zipEach = m_parameters.zip && m_parameters.target == Target::LocalFolder;
    // The archive's name is cut to what Linux takes with its ".zip" kept.
    NameChoice choice =
        ResolveNameClash(zipEach ? SanitiseRecoveredName(name + u".zip") : safeName);
    if (!choice.write) {
        skipped = choice.skipped;
        if (!skipped)
            failure = m_destination->Lost() ? ProgramString(kConnectionLostTextId)
                                            : Formatted(kNoFreeNameId, safeName);
        return nullptr;
    }
    if (zipEach) {
        const int fd = m_local->OpenFileDescriptor(choice.name, choice.overwrite);
        auto archive = std::make_unique<CRecoveredZip>();
        if (fd < 0 || !archive->OpenFd(fd, choice.name)) {
            failure = Formatted(kCannotCreateRecoveredFileId, choice.name, m_local->LastError());
            return nullptr;
        }
        auto sink = ZipEntrySink::OwnArchive(std::move(archive), safeName, info);
        if (!sink)
            failure = Formatted(kCannotAddToOwnArchiveId, safeName);
        return sink;
    }
    std::unique_ptr<RecoveredFileSink> sink =
        m_destination->CreateFile(choice.name, choice.overwrite);
    if (!sink) {
        if (m_destination->Lost())
            NoteDestinationLost();
        failure = Formatted(kCannotCreateRecoveredFileId, choice.name, m_destination->LastError());
    }
    return sink;
}

CThreadForSavingFiles::NameChoice
CThreadForSavingFiles::ResolveNameClash(const std::u16string& name) {
    NameChoice choice;
    choice.name = name;
    // A renamed name is checked again; the bound keeps a stubborn answer from looping forever.
    for (int round = 0; round < 64; ++round) {
        if (!m_destination->Exists(choice.name)) {
            choice.write = !m_destination->Lost();
            return choice;
        }
        NameClashDecision decision;
        std::u16string typed;
        if (m_standingAnswer) {
            decision = *m_standingAnswer;
        } else {
            JobMessage question = MakeFileExists(choice.name, ProposeCopyName(choice.name));
            Reporter().Ask(question);
            const FileExistsRequest* answer = question.Get<FileExistsRequest>();
            decision = answer != nullptr ? answer->decision : NameClashDecision::Skip;
            if (answer != nullptr)
                typed = answer->newName;
        }
        switch (decision) {
        case NameClashDecision::SkipAll:
        case NameClashDecision::RenameAll:
        case NameClashDecision::OverwriteAll:
            m_standingAnswer = decision;
            break;
        default:
            break;
        }
        switch (decision) {
        case NameClashDecision::Skip:
        case NameClashDecision::SkipAll:
            choice.skipped = true;
            return choice;
        case NameClashDecision::Overwrite:
        case NameClashDecision::OverwriteAll:
            choice.overwrite = true;
            choice.write = true;
            return choice;
        case NameClashDecision::RenameAll: {
            std::u16string copy = ProposeCopyName(choice.name);
            if (copy.empty())
                return choice;
            choice.name = copy;
            break;
        }
        case NameClashDecision::Rename:
            if (typed.empty()) {
                choice.skipped = true;
                return choice;
            }
            choice.name = SanitiseRecoveredName(typed);
            break;
        }
    }
    return choice;
}

std::u16string CThreadForSavingFiles::ProposeCopyName(const std::u16string& name) {
    const std::u16string_view copy = StringTable::Program().Get(kCopyWordId);
    for (uint32_t n = 1; n <= kMaxCopyNumber; ++n) {
        std::u16string candidate =
            SanitiseRecoveredName(FormatText(u"%s%d_%s", copy, static_cast<int32_t>(n), name));
        if (!m_destination->Exists(candidate))
            return candidate;
        if (m_destination->Lost())
            break;
    }
    return {};
}

void CThreadForSavingFiles::SetRecoveredFileTime(const FoundItem& item,
                                                 RecoveredFileSink& sink) const {
    std::optional<timespec> modified;
    std::optional<timespec> accessed;
    if (m_ntfs) {
        modified = FileTimeToTimespec(item.NtfsModifiedTime());
        accessed = FileTimeToTimespec(item.NtfsChangedTime());
    } else {
        modified = DosLocalTimeToTimespec(static_cast<uint16_t>(item.modifiedTime),
                                          static_cast<uint16_t>(item.modifiedDate));
        if (m_partitionType == kFat32PartitionType)
            accessed = DosLocalTimeToTimespec(0, static_cast<uint16_t>(item.lastAccess));
    }
    if (modified)
        sink.SetTimes(*modified, accessed);
}

// ---------------------------------------------------------------------------------------------
// Rows and messages

void CThreadForSavingFiles::LogFileResult(FileOutcome outcome, bool complete,
                                          const std::u16string& failure) {
    switch (outcome) {
    case FileOutcome::Saved:
    case FileOutcome::Stopped:
        Reporter().LogRow(u"", u"", ProgramString(complete ? kRecoveredId : kPartialId),
                          complete ? ScanLog::kImageCompleted : ScanLog::kImagePartial);
        break;
    case FileOutcome::Skipped:
        Reporter().LogRow(u"", u"", ProgramString(kRecoverySkippedId), ScanLog::kImageAborted);
        break;
    case FileOutcome::Failed:
        Reporter().LogRow(u"", failure, ProgramString(kFailedId), ScanLog::kImageAborted);
        break;
    }
}

void CThreadForSavingFiles::NoteDestinationLost() {
    m_destinationLost = true;
    if (m_lostReported || m_parameters.notifyWindow == nullptr)
        return;
    m_lostReported = true;
    Reporter().ShowMessage(ProgramString(kConnectionLostTextId), MessageBoxIcon::Error);
}

JobReporter CThreadForSavingFiles::Reporter() const {
    return JobReporter(m_parameters.notifyWindow, &m_state.jobFlags);
}

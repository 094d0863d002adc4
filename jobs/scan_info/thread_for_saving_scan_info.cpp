#include "jobs/scan_info/thread_for_saving_scan_info.h"

#include "diskio/sources/block_buffer.h"
#include "diskio/inventory/disk_identify.h"
#include "diskio/sources/disk_read_write.h"
#include "filesystems/fat/fat_file_system.h"
#include "filesystems/ntfs/ntfs_file_system.h"
#include "filesystems/scan_log.h"
#include "jobs/scan_info/scan_file_target.h"
#include "jobs/scan_info/scan_file_writer.h"
#include "jobs/scan_info/scan_info_file.h"
#include "jobs/scan_info/scan_info_header_serializer.h"
#include "jobs/scan/scan_state.h"
#include "platform/text/format_text.h"
#include "platform/jobs/job_runner.h"
#include "platform/jobs/job_window.h"
#include "platform/resources/program_string.h"
#include "platform/resources/string_table.h"
#include "platform/text/utf_conversion.h"
#include "resources/string_ids.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <exception>
#include <limits>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr size_t kReadBlock = size_t{1} << 20;

std::u16string PathText(const std::filesystem::path& path) {
    return Utf8ToUtf16(path.string());
}

// Whole-file read in large blocks; false on any error or a file that changes size under it.
bool ReadWholeFile(int fd, BlockBuffer& out) {
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || status.st_size < 0)
        return false;
    const uint64_t size = static_cast<uint64_t>(status.st_size);
    if (size > std::numeric_limits<size_t>::max() / 2)
        return false;
    out.assign(static_cast<size_t>(size), 0);
    size_t done = 0;
    while (done < out.size()) {
        const size_t piece = std::min(kReadBlock, out.size() - done);
        const ssize_t n = ::pread(fd, out.data() + done, piece, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// Whether today's disk of this number is the one the scan was saved from, as far as its size
// and, where both name them, its model and serial number tell.
bool SameDiskToday(const DriveNode& node) {
    const PhysicalDiskInfo* saved = node.Physical();
    if (saved == nullptr)
        return true;
    const DeviceHandle device = OpenDiskDevice(node.number);
    if (!device.IsOpen() || device.SizeInBytes() / 512 != saved->totalSectors)
        return false;
    if (saved->identify) {
        DiskIdentifyInfo today;
        if (ReadDiskIdentify(node.number, today) != 0 &&
            (today.model != saved->identify->model ||
             today.serialNumber != saved->identify->serialNumber))
            return false;
    }
    return true;
}

} // namespace

CThreadForSavingScanInfo::CThreadForSavingScanInfo(ScanState& state) : m_state(state) {}

bool CThreadForSavingScanInfo::Start(JobRunner& runner) const {
    return runner.Start([state = &m_state, parameters = m_parameters]() {
        CThreadForSavingScanInfo job(*state);
        job.SetParameters(parameters);
        job.Run();
    });
}

bool CThreadForSavingScanInfo::Run() {
    // A second save or load waits for the first.
    const std::lock_guard<std::mutex> lock(m_state.scanInfoLock);
    // Menus and closing wait on these: they end cleared on every path.
    struct EndOfRun {
        ScanState& state;
        ~EndOfRun() {
            state.ResetScanFlags();
            state.scanInfoJobRunning = false;
        }
    } endOfRun{m_state};

    JobFlags& flags = m_state.jobFlags;
    flags.stopRequested = false;
    m_state.parentAvailable = false;
    m_state.Environment().window = m_parameters.notifyWindow;
    try {
        if (m_parameters.mode == Mode::Save)
            return RunSave();
        return RunLoad();
    } catch (const std::exception&) {
        Reporter().LogRow(
            ProgramString(m_parameters.mode == Mode::Save ? kSavingActivityId : kOpeningActivityId),
            PathText(m_parameters.filePath), ProgramString(kProcessFailedId),
            ScanLog::kImageAborted);
        return false;
    }
}

// ---------------------------------------------------------------------------------------------
// Saving

bool CThreadForSavingScanInfo::RunSave() {
    m_state.jobFlags.stoppable = false;
    JobWindow* window = m_parameters.notifyWindow;
    const std::optional<ScanFileTarget> target = ScanFileTarget::Resolve(
        m_parameters.filePath,
        [window](const std::filesystem::path& existing, std::u16string& newName) {
            if (window == nullptr)
                return ScanFileExistsRequest::Answer::Cancel;
            JobMessage question = MakeScanFileExists(PathText(existing));
            window->Send(question);
            const auto* answer = question.Get<ScanFileExistsRequest>();
            if (answer == nullptr)
                return ScanFileExistsRequest::Answer::Cancel;
            newName = answer->newName;
            return answer->answer;
        });
    if (!target)
        return false;
    m_replace = target->replace;

    const std::u16string activity = ProgramString(kSavingActivityId);
    Reporter().Send(MakeCreateProgress(ProgramString(kSavingLabelId), m_state.VolumeFoundCount()));
    Reporter().LogRow(activity, PathText(target->path), ScanLog::ProcessStarted(),
                      ScanLog::kImageStarted);
    int saved = 0;
    if (m_state.FatVolume() != nullptr)
        saved = SaveFatScanInfo(target->path);
    else if (m_state.NtfsVolume() != nullptr)
        saved = SaveNtfsScanInfo(target->path);
    Reporter().Send(MakeDestroyProgress(0));
    if (saved == 0) {
        Reporter().LogRow(activity, PathText(target->path), ProgramString(kProcessFailedId),
                          ScanLog::kImageAborted);
        return false;
    }
    m_state.scanInfoSaved = true;
    std::u16string note;
    if (m_parameters.unmaskedEntries != 0) {
        // Counted without the root, as the person counts files and folders.
        const uint64_t whole = m_parameters.unmaskedEntries - 1;
        const uint64_t kept = m_itemsWritten > 0 ? m_itemsWritten - 1u : 0u;
        note = FormatText(StringTable::Program().Get(kMaskedEntriesId), kept, whole);
    }
    Reporter().LogRow(u"", note, ScanLog::ProcessCompleted(), ScanLog::kImageCompleted);
    return true;
}

int CThreadForSavingScanInfo::SaveFatScanInfo(const std::filesystem::path& path) {
    const CFatFileSystem* fat = m_state.FatVolume();
    if (fat == nullptr)
        return 0;
    ScanInfoHeader header;
    header.content = ScanInfoHeader::Content::Fat;
    header.fat = fat->ScanInfoRecord();
    header.foundBytes = fat->FoundBytes();
    return WriteScanFile(path, header, fat->FatCopy(), fat->ClusterUsageMap(), {}, {});
}

int CThreadForSavingScanInfo::SaveNtfsScanInfo(const std::filesystem::path& path) {
    const CNtfsFileSystem* ntfs = m_state.NtfsVolume();
    if (ntfs == nullptr)
        return 0;
    if (ntfs->MftStartSector() > std::numeric_limits<uint32_t>::max() ||
        ntfs->MftMirrorSector() > std::numeric_limits<uint32_t>::max()) {
        Reporter().LogRow(ProgramString(kSavingActivityId), ProgramString(kDoesNotFitId),
                          ProgramString(kProcessFailedId), ScanLog::kImageAborted);
        return 0;
    }
    ScanInfoHeader header;
    header.content = ScanInfoHeader::Content::Ntfs;
    header.ntfs = ntfs->ScanInfoRecord();
    // Whether the file holds the run table: a reader loaded with a record table has none, so
    // this is what stays the same through a load and a second save.
    header.holdsMftRuns = ntfs->RecordTable().empty() && !ntfs->MftRuns().empty();
    header.foundBytes = ntfs->FoundBytes();
    const std::vector<uint8_t> clusterMap = ntfs->ClusterMapBytes();
    return WriteScanFile(path, header, {}, clusterMap, ntfs->RecordTable(), ntfs->MftRuns());
}

int CThreadForSavingScanInfo::WriteScanFile(const std::filesystem::path& path,
                                            const ScanInfoHeader& header,
                                            std::span<const uint8_t> fatCopy,
                                            std::span<const uint8_t> clusterMap,
                                            std::span<const NtfsRecordEntry> recordTable,
                                            std::span<const NtfsRunEntry> mftRuns) {
    const std::u16string activity = ProgramString(kSavingActivityId);
    ScanFileWriter writer;
    if (!writer.Open(path)) {
        Reporter().ShowMessage(ProgramString(kCannotOpenFileId) + PathText(path),
                               MessageBoxIcon::Error);
        return 0;
    }
    const auto failed = [&](int error) {
        Reporter().LogRow(activity,
                          FormatText(StringTable::Program().Get(kCannotWriteScanFileId),
                                     PathText(path), Utf8ToUtf16(std::strerror(error))),
                          ProgramString(kProcessFailedId), ScanLog::kImageAborted);
        return 0;
    };

    const ScanInfoFile::WriteResult prefix = ScanInfoFile::WritePrefix(
        header, fatCopy, clusterMap, recordTable, mftRuns, m_state.driveList.nodes,
        [&writer](std::span<const uint8_t> bytes) { return writer.Append(bytes); });
    if (prefix == ScanInfoFile::WriteResult::DoesNotFit) {
        Reporter().LogRow(activity, ProgramString(kDoesNotFitId), ProgramString(kProcessFailedId),
                          ScanLog::kImageAborted);
        return 0;
    }
    if (prefix != ScanInfoFile::WriteResult::Written)
        return failed(errno);

    // The window hands over the entries, the root first; each record written counts one item.
    uint32_t items = 0;
    for (bool first = true;; first = false) {
        JobMessage write = MakeWriteTreeToFile(first);
        Reporter().Ask(write);
        Reporter().Send(MakeStepProgress(0));
        const auto* result = write.Get<WriteTreePayload>();
        if (result == nullptr)
            return failed(EIO);
        if (!result->record.empty()) {
            if (!writer.Append(result->record))
                return failed(errno);
            if (items == std::numeric_limits<uint32_t>::max())
                return failed(EOVERFLOW);
            ++items;
        }
        if (!result->more)
            break;
    }
    m_itemsWritten = items;
    // The count says how many records the file holds, so a saved, loaded and saved again scan
    // gives the same file.
    std::array<uint8_t, 4> count{};
    for (size_t i = 0; i < count.size(); ++i)
        count[i] = static_cast<uint8_t>(items >> (8 * i));
    if (!writer.WriteAt(ScanInfoHeaderSerializer::kOffsetItemCount, count))
        return failed(errno);
    if (!writer.Commit(m_replace))
        return failed(errno);
    return 1;
}

// ---------------------------------------------------------------------------------------------
// Loading

bool CThreadForSavingScanInfo::RunLoad() {
    const int fd = ::open(m_parameters.filePath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        Reporter().ShowMessage(ProgramString(kUnableToOpenId), MessageBoxIcon::Error);
        return false;
    }
    const bool loaded = LoadScanInfo(fd);
    ::close(fd);
    return loaded;
}

bool CThreadForSavingScanInfo::LoadScanInfo(int fd) {
    const std::u16string activity = ProgramString(kOpeningActivityId);
    BlockBuffer bytes;
    if (!ReadWholeFile(fd, bytes)) {
        Reporter().ShowMessage(ProgramString(kUnableToOpenId), MessageBoxIcon::Error);
        return false;
    }
    // Everything is taken apart and checked before the current scan is dropped.
    LoadedScanInfo file;
    if (ScanInfoFile::Parse(bytes.Span(), file) != ScanInfoFile::Refusal::None) {
        Reporter().ShowMessage(ProgramString(kNotValidId), MessageBoxIcon::Error);
        return false;
    }
    bytes = BlockBuffer();

    std::unique_ptr<CFatFileSystem> fat;
    std::unique_ptr<CNtfsFileSystem> ntfs;
    if (file.header.content == ScanInfoHeader::Content::Fat) {
        fat = std::make_unique<CFatFileSystem>(m_state.Environment());
        fat->SetVolumeFromScanInfo(file.header.fat);
        fat->RestoreTables(std::move(file.fatCopy), std::move(file.clusterMap));
    } else if (file.header.content == ScanInfoHeader::Content::Ntfs) {
        ntfs = std::make_unique<CNtfsFileSystem>(m_state.Environment());
        ntfs->SetVolumeFromScanInfo(file.header.ntfs);
        ntfs->RestoreTables(std::move(file.mftRuns), std::move(file.recordTable), file.clusterMap);
    }

    Reporter().Send(MakeResetScan());
    ScanLog::Started(m_parameters.notifyWindow, activity);
    // The drive list and the reader change hands on the GUI thread, in one step.
    Reporter().Send(MakeRunOnGuiThread([this, &file, &fat, &ntfs]() {
        DriveListStore& list = m_state.driveList;
        list.Free();
        list.nodes = std::move(file.nodes);
        for (const DriveNode& node : list.nodes) {
            if (node.kind == DriveKind::HardDisk)
                ++list.hardDiskCount;
            else if (node.kind == DriveKind::RemovableDisk)
                ++list.removableDiskCount;
        }
        if (fat)
            m_state.AdoptVolume(std::move(fat));
        else if (ntfs)
            m_state.AdoptVolume(std::move(ntfs));
    }));
    // Drive numbers are the saving machine's.
    for (const DriveNode& node : m_state.driveList.nodes)
        if (node.kind == DriveKind::HardDisk && !SameDiskToday(node))
            Reporter().LogRow(
                activity,
                FormatText(StringTable::Program().Get(kOtherDiskId), int{node.number} - 0x80), u"",
                ScanLog::kImageAborted);

    bool stopped = false;
    if (file.header.content != ScanInfoHeader::Content::DriveList && !file.items.empty())
        stopped = ReplayItems(file);
    Reporter().Send(MakeDestroyProgress(0));
    Reporter().Send(MakeCollapseRoot(0));

    if (stopped) {
        ScanLog::Ended(m_parameters.notifyWindow, activity, true);
        return false;
    }
    if (file.partial) {
        Reporter().LogRow(activity,
                          FormatText(StringTable::Program().Get(kScanFileEndsEarlyId),
                                     static_cast<unsigned>(file.items.size()),
                                     static_cast<unsigned>(file.header.itemCount)),
                          ScanLog::CompletedNow(), ScanLog::kImagePartial);
        return false;
    }
    ScanLog::Ended(m_parameters.notifyWindow, activity, false);
    m_state.scanInfoSaved = true;
    return true;
}

bool CThreadForSavingScanInfo::ReplayItems(const LoadedScanInfo& file) {
    Reporter().Send(MakeSetPaneWidths(345, 340));
    Reporter().Send(MakeCreateProgress(u"", file.header.itemCount));
    Reporter().Send(MakeAddTreeRoot(0));
    uint32_t found = 1;
    uint32_t files = 0;
    uint64_t bytes = 0;
    const std::u16string_view entriesFound = StringTable::Program().Get(kEntriesFoundCountId);
    bool stopped = false;
    for (size_t i = 1; i < file.items.size(); ++i) {
        if (m_state.jobFlags.stopRequested.load()) {
            stopped = true;
            break;
        }
        const ScanInfoItem& entry = file.items[i];
        ++found;
        if (!entry.item.IsFolder()) {
            ++files;
            bytes += entry.item.size;
        }
        Reporter().Send(MakeAddFoundItem(&entry.item, entry.name));
        Reporter().Send(MakeSetProgressText(FormatText(entriesFound, found)));
    }
    // A whole file keeps the total its saver counted, so saving it again gives the same bytes.
    if (!stopped && !file.partial)
        bytes = file.header.foundBytes;
    if (ClusterVolume* volume = m_state.Volume())
        volume->RestoreCounts({found, files, bytes});
    return stopped;
}

// ---------------------------------------------------------------------------------------------
// Messages

JobReporter CThreadForSavingScanInfo::Reporter() const {
    return JobReporter(m_parameters.notifyWindow, &m_state.jobFlags);
}

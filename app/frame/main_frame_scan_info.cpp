#include "app/dialogs/common/file_dialog_start.h"
#include "app/frame/main_frame.h"

#include "app/frame/log_actions.h"

#include "app/morwick_wrenfal_app.h"
#include "app/program_text.h"
#include "app/views/left_view.h"
#include "filesystems/scan_log.h"
#include "jobs/scan_info/scan_file_writer.h"
#include "jobs/scan_info/scan_info_file.h"
#include "jobs/scan/scan_state.h"
#include "jobs/recovery/thread_for_saving_files.h"
#include "jobs/scan_info/thread_for_saving_scan_info.h"
#include "resources/string_ids.h"

#include <QFileDialog>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <limits>

namespace {

constexpr int kImageStarted = ScanLog::kImageStarted;
constexpr int kImageFailed = ScanLog::kImageAborted;

// A file opened for reading and mapped whole, so that its checks read it in place however
// large it is; anything but a regular file counts as not opened.
class ReadOnlyFile {
public:
    ReadOnlyFile() = default;
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;
    ~ReadOnlyFile() {
        if (m_data != nullptr) {
            ::munmap(m_data, m_size);
        }
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }

    bool Open(const std::filesystem::path& path) {
        // Non-blocking, so that a pipe given the name is refused instead of waited for.
        m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
        struct stat status {};
        if (m_fd < 0 || ::fstat(m_fd, &status) != 0 || !S_ISREG(status.st_mode) ||
            status.st_size < 0 ||
            static_cast<uint64_t>(status.st_size) > std::numeric_limits<size_t>::max()) {
            return false;
        }
        m_size = static_cast<size_t>(status.st_size);
        if (m_size == 0) {
            return true;
        }
        void* data = ::mmap(nullptr, m_size, PROT_READ, MAP_PRIVATE, m_fd, 0);
        if (data == MAP_FAILED) {
            m_size = 0;
            return false;
        }
        m_data = data;
        return true;
    }

    std::span<const uint8_t> Bytes() const { return {static_cast<const uint8_t*>(m_data), m_size}; }

private:
    int m_fd = -1;
    void* m_data = nullptr;
    size_t m_size = 0;
};

ScanFileExistsRequest::Answer ToRequestAnswer(CScanFileExistsDlg::Answer answer) {
    switch (answer) {
    case CScanFileExistsDlg::Answer::Rename:
        return ScanFileExistsRequest::Answer::Rename;
    case CScanFileExistsDlg::Answer::Overwrite:
        return ScanFileExistsRequest::Answer::Overwrite;
    case CScanFileExistsDlg::Answer::Cancel:
        break;
    }
    return ScanFileExistsRequest::Answer::Cancel;
}

uint8_t CountKind(const std::list<DriveNode>& nodes, DriveKind kind) {
    const auto count = std::count_if(nodes.begin(), nodes.end(),
                                     [kind](const DriveNode& node) { return node.kind == kind; });
    return static_cast<uint8_t>(
        std::min<std::ptrdiff_t>(count, std::numeric_limits<uint8_t>::max()));
}

} // namespace

QString CMainFrame::ScanInfoFileName(const QString& chosen) {
    if (chosen.endsWith(QStringLiteral(".DAT"), Qt::CaseInsensitive)) {
        return chosen;
    }
    return chosen + QStringLiteral(".DAT");
}

QString CMainFrame::ProposedScanInfoName() {
    return QString::fromUtf16(kTitle) + QLatin1Char(' ') + ProgramText(kScanWordId);
}

ScanFileExistsRequest::Answer CMainFrame::AskScanFileExists(const QString& path, bool isLog,
                                                            std::u16string& newName) {
    const FileExistsChoice choice = AskFileExists(path, isLog);
    newName = choice.newPath.toStdU16String();
    return ToRequestAnswer(choice.answer);
}

ScanFileTarget::Ask CMainFrame::FileExistsQuestion(bool isLog) {
    return [this, isLog](const std::filesystem::path& existing, std::u16string& newName) {
        return AskScanFileExists(QString::fromStdString(existing.string()), isLog, newName);
    };
}

void CMainFrame::ShowScanFileMessage(uint32_t id, const QString& after) {
    AskUser(ProgramText(id) + after, QString::fromUtf16(kTitle), MessageBoxIcon::Error,
            MessageBoxButtons::Ok, true);
}

bool CMainFrame::SavePrompt() {
    if (!m_state.resultsAvailable.load() || m_state.scanInfoSaved.load()) {
        return true;
    }
    switch (AskUser(ProgramText(kSavePromptId), QString::fromUtf16(kTitle),
                    MessageBoxIcon::Question, MessageBoxButtons::YesNoCancel, true)) {
    case MessageBoxAnswer::No:
        return true;
    case MessageBoxAnswer::Yes: {
        const bool jobStarted = !JobRunning();
        OnSaveScanInformation();
        WaitForScanInformationJob();
        if (jobStarted) {
            WaitForJobThread();
        }
        // A cancelled or failed save ends the command: the results stay.
        return m_state.scanInfoSaved.load();
    }
    default:
        return false;
    }
}

void CMainFrame::WaitForScanInformationJob() {
    while (m_state.scanInfoJobRunning.load()) {
        if (CMorwickWrenfalApp::PumpMessages() == 0) {
            break;
        }
    }
}

void CMainFrame::WaitForJobThread() {
    while (m_runner.IsRunning()) {
        if (CMorwickWrenfalApp::PumpMessages() == 0) {
            break;
        }
    }
}

void CMainFrame::OnSaveScanInformation() {
    if (JobRunning()) {
        return;
    }
    const QString chosen = AskSaveScanPath(ProposedScanInfoName());
    if (chosen.isEmpty()) {
        return;
    }
    const std::filesystem::path path = ScanInfoFileName(chosen).toStdString();
    if (!m_state.resultsAvailable.load() || !ShowsFolderTree()) {
        SaveDriveListOnly(path);
        ApplyButtonRules();
        return;
    }
    // The job asks its own file-exists question and sets scan information saved when the
    // whole file is in place.
    StartScanInfoJob(path, CThreadForSavingScanInfo::Mode::Save);
}

void CMainFrame::StartScanInfoJob(const std::filesystem::path& path,
                                  CThreadForSavingScanInfo::Mode mode) {
    m_state.scanInfoJobRunning = true;
    CThreadForSavingScanInfo job(m_state);
    CThreadForSavingScanInfo::Parameters parameters{path, mode, &m_jobWindow};
    if (mode == CThreadForSavingScanInfo::Mode::Save && m_store.HasOriginal()) {
        parameters.unmaskedEntries = m_store.Original().size();
    }
    job.SetParameters(parameters);
    if (!job.Start(m_runner)) {
        m_state.scanInfoJobRunning = false;
    }
    ApplyButtonRules();
}

void CMainFrame::SaveDriveListOnly(const std::filesystem::path& chosen) {
    const std::optional<ScanFileTarget> target =
        ScanFileTarget::Resolve(chosen, FileExistsQuestion(false));
    if (!target) {
        return;
    }
    const QString path = QString::fromStdString(target->path.string());
    m_log->AddLogMessage(ProgramText(kSavingActivityId), path,
                         ProgramText(kProcessStartedId), kImageStarted);
    const std::vector<uint8_t> bytes = ScanInfoFile::BuildDriveListFile(m_state.driveList.nodes);
    ScanFileWriter writer;
    if (!writer.Open(target->path) || !writer.Append(bytes) || !writer.Commit(target->replace)) {
        ShowScanFileMessage(kCannotOpenFileId, path);
        m_log->AddLogMessage(QString(), QString(),
                             ProgramText(kProcessFailedId), kImageFailed);
        return;
    }
    m_state.scanInfoSaved = true;
    m_log->AddLogMessage(QString(), QString(), ProgramText(kProcessCompletedId),
                         kImageStarted);
}

void CMainFrame::OpenDriveUsingScanInformation() {
    if (JobRunning() || !SavePrompt()) {
        return;
    }
    const QString chosen = AskOpenScanPath();
    if (chosen.isEmpty()) {
        return;
    }
    const std::filesystem::path path = chosen.toStdString();
    ScanInfoHeader header;
    {
        ReadOnlyFile file;
        if (!file.Open(path)) {
            ShowScanFileMessage(kUnableToOpenId);
            return;
        }
        if (ScanInfoFile::ParseHeader(file.Bytes(), header) != ScanInfoFile::Refusal::None) {
            ShowScanFileMessage(kNotValidId);
            return;
        }
        if (header.content == ScanInfoHeader::Content::DriveList) {
            if (!OpenDriveListFile(file.Bytes())) {
                ShowScanFileMessage(kNotValidId);
            }
            ApplyButtonRules();
            return;
        }
    }
    // A scan: the job takes the whole file apart and refuses it before anything is dropped.
    StartScanInfoJob(path, CThreadForSavingScanInfo::Mode::Load);
}

bool CMainFrame::OpenDriveListFile(std::span<const uint8_t> file) {
    LoadedScanInfo loaded;
    if (ScanInfoFile::Parse(file, loaded) != ScanInfoFile::Refusal::None) {
        return false;
    }
    // Nothing may point at the nodes about to go: not the selected drive, not the drive tree.
    m_state.SetSelectedDrive(nullptr);
    m_leftView->RefreshMode();
    m_state.driveList.Free();
    m_state.driveList.nodes = std::move(loaded.nodes);
    m_state.driveList.hardDiskCount = CountKind(m_state.driveList.nodes, DriveKind::HardDisk);
    m_state.driveList.removableDiskCount =
        CountKind(m_state.driveList.nodes, DriveKind::RemovableDisk);
    // The folder tree, if one was shown, goes with its results: what is shown is the loaded
    // drive list.
    DropShownResults();
    ShowDrives();
    ShowChildPane();
    return true;
}

QString CMainFrame::AskSaveScanPath(const QString& proposed) {
    return QFileDialog::getSaveFileName(this, ProgramText(kSaveScanTitleId),
                                        FileDialogStart(proposed), QStringLiteral("(*.DAT)"));
}

QString CMainFrame::AskOpenScanPath() {
    return QFileDialog::getOpenFileName(this, ProgramText(kOpenScanTitleId), FileDialogStart(),
                                        ProgramText(kScanFileWordId) + QStringLiteral("(*.DAT)"));
}

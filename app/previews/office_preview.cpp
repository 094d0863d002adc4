#include "app/previews/office_preview.h"

#include "app/previews/access_preview_dlg.h"
#include "app/previews/office_preview_dlg.h"
#include "app/previews/office_preview_texts.h"
#include "app/dialogs/common/wait_cursor.h"
#include "app/dialogs/common/wait_cursor_lift.h"
#include "app/program_text.h"
#include "preview/child_process.h"
#include "preview/mdb_tools_table_source.h"
#include "preview/office_converter.h"

#include <QApplication>
#include <QEventLoop>
#include <QTimer>

#include <array>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int kPollIntervalMs = 20;
constexpr size_t kSignatureBytes = 8;

bool g_busy = false;

class BusyMark {
public:
    BusyMark() { g_busy = true; }
    ~BusyMark() { g_busy = false; }
    BusyMark(const BusyMark&) = delete;
    BusyMark& operator=(const BusyMark&) = delete;
};

bool IsCompoundFile(const std::filesystem::path& path) {
    std::array<uint8_t, kSignatureBytes> head{};
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool read = ::read(fd, head.data(), head.size()) == static_cast<ssize_t>(head.size());
    ::close(fd);
    return read && StartsWithCompoundSignature(head, kSignatureBytes);
}

} // namespace

COfficePreview::COfficePreview(const OfficePreviewSetup& setup, QWidget* parent)
    : m_setup(setup), m_parent(parent) {}

bool COfficePreview::Busy() {
    return g_busy;
}

bool COfficePreview::IsAppRunning(OfficeKind kind, bool terminate) const {
    if (m_setup.isAppRunning) {
        return m_setup.isAppRunning(kind, terminate);
    }
    // Our helpers end with their preview; none is left to end here.
    return ChildProcess::RunningCount() > 0;
}

bool COfficePreview::WaitWhileRunning(OfficeKind kind) {
    while (IsAppRunning(kind, false)) {
        const MessageBoxAnswer answer = AskPreviewUser(
            m_setup, m_parent, ProgramText(office_preview_text::RunningPromptId(kind)),
            MessageBoxButtons::RetryCancel, MessageBoxIcon::Warning);
        if (answer == MessageBoxAnswer::Cancel) {
            return false;
        }
    }
    return true;
}

void COfficePreview::EndApplication(OfficeKind kind) {
    for (int round = 0; round < kMaxTerminateRounds && IsAppRunning(kind, true); ++round) {
    }
}

int COfficePreview::Preview() {
    if (g_busy) {
        return 1;
    }
    BusyMark busy;
    WaitCursor wait;
    const OfficeKind kind = OfficeKindOfPath(m_path);
    if (IsCompoundKind(kind)) {
        if (!IsCompoundFile(m_path)) {
            return 0;
        }
        return PreviewDocument(kind);
    }
    if (kind == OfficeKind::Access) {
        return PreviewDatabase();
    }
    return 0;
}

int COfficePreview::PreviewDocument(OfficeKind kind) {
    if (!WaitWhileRunning(kind)) {
        return 1;
    }
    OfficeConverter converter(m_setup.converterCommand, m_setup.converterTimeLimit);
    const std::optional<std::filesystem::path> profile = OfficeConverter::SessionProfile();
    if (!converter.Installed() || !profile || !converter.Start(m_path, *profile)) {
        AskPreviewUser(m_setup, m_parent, ProgramText(office_preview_text::NotInstalledId(kind)),
                       MessageBoxButtons::Ok, MessageBoxIcon::Error);
        return 0;
    }
    {
        // The window goes on with its events while the converter works.
        QEventLoop loop;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            if (converter.Poll(0)) {
                loop.quit();
            }
        });
        poll.start(kPollIntervalMs);
        if (!converter.Poll(0)) {
            loop.exec();
        }
    }
    int result = 0;
    if (const std::optional<std::filesystem::path> pdf = converter.Pdf()) {
        {
            COfficePreviewDlg dialog(kind, m_parent);
            dialog.SetFilePath(*pdf);
            dialog.SetTitle(m_title);
            if (dialog.Load()) {
                const WaitCursorLift lift;
                result = dialog.exec() == QDialog::Accepted ? 1 : 0;
            }
        }
        ::unlink(pdf->c_str());
    }
    EndApplication(kind);
    return result;
}

int COfficePreview::PreviewDatabase() {
    if (!WaitWhileRunning(OfficeKind::Access)) {
        return 1;
    }
    std::unique_ptr<AccessTableSource> source;
    if (m_setup.tableSource) {
        source = m_setup.tableSource();
    } else {
        auto tools = std::make_unique<MdbToolsTableSource>();
        tools->SetIdle([] { QApplication::processEvents(); });
        source = std::move(tools);
    }
    if (source == nullptr || !source->Installed()) {
        AskPreviewUser(m_setup, m_parent,
                       ProgramText(office_preview_text::NotInstalledId(OfficeKind::Access)),
                       MessageBoxButtons::Ok, MessageBoxIcon::Error);
        return 0;
    }
    int result = 0;
    {
        CAccessPreviewDlg dialog(*source, m_setup, m_parent);
        dialog.SetFilePath(m_path);
        dialog.SetTitle(m_title);
        if (dialog.Load()) {
            const WaitCursorLift lift;
            result = dialog.exec() == QDialog::Accepted ? 1 : 0;
        }
    }
    EndApplication(OfficeKind::Access);
    return result;
}

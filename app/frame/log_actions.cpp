#include "app/frame/log_actions.h"

#include "app/program_text.h"
#include "app/views/log_pane.h"
#include "controls/sizing_dialog_bar.h"
#include "jobs/scan/scan_state.h"
#include "platform/resources/product_title.h"
#include "resources/string_ids.h"

#include <optional>
#include <utility>

namespace {

// The image of the drive-list rows: aborted or skipped.
constexpr int kSkippedImage = 3;

} // namespace

LogActions::LogActions(CLogPaneDlg& pane, CSizingDialogBar& bar, const QWidget& frame,
                       Questions questions)
    : m_pane(pane), m_bar(bar), m_frame(frame), m_questions(std::move(questions)) {}

void LogActions::AddLogMessage(const QString& activity, const QString& description,
                               const QString& status, int image) {
    m_pane.AddLogMessage(activity, description, status, image);
}

void LogActions::LogDriveListProblems(const std::vector<std::string>& problems) {
    for (const std::string& problem : problems) {
        AddLogMessage(ProgramText(kListingDrivesId), QString::fromStdString(problem),
                      ProgramText(kSkippedStatusId), kSkippedImage);
    }
}

bool LogActions::HasRows() const {
    return m_pane.RowCount() > 0;
}

QString LogActions::ProposedLogName() {
    return QString::fromUtf16(kProductTitle) + QLatin1Char(' ') + ProgramText(kLogNameId);
}

LogActions::SaveLogResult LogActions::SaveLogTo(const std::filesystem::path& file) {
    // A renamed target is asked about again while it exists too; only Overwrite replaces.
    const std::optional<ScanFileTarget> target =
        ScanFileTarget::Resolve(file, m_questions.askFileExists);
    if (!target) {
        return SaveLogResult::Cancelled;
    }
    return m_pane.SaveReport(target->path, QString::fromUtf16(kProductTitle), target->replace)
               ? SaveLogResult::Saved
               : SaveLogResult::NotWritten;
}

bool LogActions::SaveLogOnClose(const ScanState& state) {
    if (state.saveLogOnClose.load() == 0 || state.logPath.empty()) {
        return true;
    }
    const std::filesystem::path folder = QString::fromStdU16String(state.logPath).toStdString();
    const std::filesystem::path file = folder / (ProposedLogName() + ".TXT").toStdString();
    return SaveLogTo(file) != SaveLogResult::Cancelled;
}

void LogActions::OnSaveLog() {
    QString path = m_questions.askSavePath(ProposedLogName());
    if (path.isEmpty()) {
        return;
    }
    if (!path.endsWith(QStringLiteral(".TXT"), Qt::CaseInsensitive)) {
        path += QStringLiteral(".TXT");
    }
    if (SaveLogTo(path.toStdString()) == SaveLogResult::NotWritten) {
        m_questions.showError(ProgramText(kCannotOpenFileId) + path);
    }
}

void LogActions::OnClearLog() {
    m_pane.ClearLog();
}

void LogActions::ToggleLogBar() {
    m_bar.setVisible(!LogBarVisible());
}

bool LogActions::LogBarVisible() const {
    return m_bar.isVisibleTo(&m_frame);
}

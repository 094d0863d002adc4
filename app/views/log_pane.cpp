#include "app/views/log_pane.h"

#include "controls/header_fit.h"
#include "controls/program_pictures.h"

#include "app/program_text.h"
#include "resources/string_ids.h"

#include <QApplication>
#include <QHeaderView>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int kImageRole = Qt::UserRole + 1;
constexpr int kScrollAfterRow = 5;

// The row pictures by image number: 1 start, 3 aborted or skipped, 4 partial, 5 completed or
// recovered, 6 read error; other numbers show none.
QIcon IconForImage(int image) {
    if (image <= 0 || image >= StripPictureCount(PictureStrip::LogRows)) {
        return QIcon();
    }
    return QIcon(StripPicture(PictureStrip::LogRows, image));
}

std::string ReportText(const QString& text) {
    return CLogPaneDlg::CutUtf8(text.toStdString(), CLogPaneDlg::kMaxReportTextBytes);
}

} // namespace

CLogPaneDlg::CLogPaneDlg(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("136"));
    m_list = new QTreeWidget(this);
    m_list->setObjectName(QString::number(kListId));
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setHeaderLabels({ProgramText(kActivityTitleId), ProgramText(kDescriptionTitleId),
                             ProgramText(kStatusTitleId)});
    m_list->header()->resizeSection(0, 290);
    m_list->header()->resizeSection(1, 400);
    m_list->header()->resizeSection(2, 300);
    FitColumnsToTitles();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_list);
}

void CLogPaneDlg::FitColumnsToTitles() {
    WidenSectionsToTitles(*m_list->header());
}

void CLogPaneDlg::AddLogMessage(const QString& activity, const QString& description,
                                const QString& status, int image) {
    const int index = m_list->topLevelItemCount();
    auto* item = new QTreeWidgetItem({activity, description, status});
    item->setData(0, kImageRole, image);
    item->setIcon(0, IconForImage(image));
    m_list->addTopLevelItem(item);
    if (index > kScrollAfterRow) {
        m_list->scrollToItem(item);
    }
    m_logChanged = true;
}

void CLogPaneDlg::ClearLog() {
    m_list->clear();
    m_logChanged = false;
}

int CLogPaneDlg::RowCount() const {
    return m_list->topLevelItemCount();
}

std::vector<CLogPaneDlg::Row> CLogPaneDlg::Rows() const {
    std::vector<Row> rows;
    const int count = m_list->topLevelItemCount();
    rows.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        const QTreeWidgetItem* item = m_list->topLevelItem(i);
        rows.push_back(
            {item->text(0), item->text(1), item->text(2), item->data(0, kImageRole).toInt()});
    }
    return rows;
}

std::string CLogPaneDlg::CutUtf8(const std::string& utf8, size_t maxBytes) {
    if (utf8.size() <= maxBytes) {
        return utf8;
    }
    size_t end = maxBytes;
    // Back off over continuation bytes so a character is never split.
    while (end > 0 && (static_cast<unsigned char>(utf8[end]) & 0xC0u) == 0x80u) {
        --end;
    }
    return utf8.substr(0, end);
}

std::string CLogPaneDlg::FormatReport(const std::vector<Row>& rows, const QString& programTitle) {
    std::string report =
        ProgramText(kReportTitleId).toStdString() + " " + programTitle.toStdString() + "\r\n";
    const std::string indent(kIndent, ' ');
    for (size_t i = 0; i < rows.size(); ++i) {
        const Row& row = rows[i];
        if (!row.activity.isEmpty()) {
            if (i != 0) {
                report += std::string(kSeparatorLength, '-') + "\r\n";
            }
            report += ReportText(row.activity) + "\r\n";
        }
        if (!row.description.isEmpty()) {
            report += indent + ReportText(row.description) + "\r\n";
        }
        if (!row.status.isEmpty()) {
            report += indent + ReportText(row.status) + "\r\n";
        }
    }
    return report;
}

bool CLogPaneDlg::SaveReport(const std::filesystem::path& file, const QString& programTitle,
                             bool replace) const {
    const std::string report = FormatReport(Rows(), programTitle);
    const int fd =
        ::open(file.c_str(),
               O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | (replace ? O_TRUNC : O_EXCL), 0644);
    if (fd < 0) {
        return false;
    }
    size_t written = 0;
    bool ok = true;
    while (written < report.size()) {
        const ssize_t n = ::write(fd, report.data() + written, report.size() - written);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            ok = false;
            break;
        }
        written += static_cast<size_t>(n);
    }
    if (::close(fd) != 0) {
        ok = false;
    }
    return ok;
}

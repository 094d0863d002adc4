#include "app/previews/access_preview_dlg.h"

#include "app/previews/office_preview_texts.h"
#include "app/program_text.h"
#include "platform/text/format_text.h"
#include "preview/jet_header.h"
#include "resources/string_ids.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <array>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kTitlePixels = 12;
constexpr int kWidth = 760;
constexpr int kHeight = 480;
constexpr size_t kHeaderBytes = 4096;
const QColor kTitleBlue(40, 100, 220);
constexpr int kEntryRole = Qt::UserRole + 1;

QString FromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), text.size());
}

// The first page of the file; empty when it cannot be read.
std::vector<uint8_t> FirstPage(const std::filesystem::path& path) {
    std::vector<uint8_t> page(kHeaderBytes);
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        return {};
    }
    size_t got = 0;
    while (got < page.size()) {
        const ssize_t n = ::read(fd, page.data() + got, page.size() - got);
        if (n <= 0) {
            break;
        }
        got += static_cast<size_t>(n);
    }
    ::close(fd);
    page.resize(got);
    return page;
}

} // namespace

CAccessPreviewDlg::CAccessPreviewDlg(AccessTableSource& source, const OfficePreviewSetup& setup,
                                     QWidget* parent)
    : QDialog(parent), m_source(source), m_setup(setup) {
    setObjectName(QString::number(kDialogId));
    setModal(true);
    resize(kWidth, kHeight);

    m_title = new QLabel(this);
    m_title->setObjectName(QString::number(kTitleId));
    m_title->setTextFormat(Qt::PlainText);
    m_title->setAutoFillBackground(true);
    QPalette colours = m_title->palette();
    colours.setColor(QPalette::Window, kTitleBlue);
    colours.setColor(QPalette::WindowText, Qt::white);
    m_title->setPalette(colours);
    QFont courier(QStringLiteral("Courier"));
    courier.setStyleHint(QFont::TypeWriter);
    courier.setPixelSize(kTitlePixels);
    m_title->setFont(courier);
    m_title->setAlignment(Qt::AlignCenter);

    m_tree = new QTreeWidget(this);
    m_tree->setObjectName(QString::number(kTreeId));
    m_tree->setHeaderHidden(true);
    m_tree->setMaximumWidth(220);
    connect(m_tree, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current) { OnSelectionChanged(current); });

    m_caption = new QLabel(this);
    m_caption->setObjectName(QStringLiteral("grid caption"));
    m_caption->setTextFormat(Qt::PlainText);
    m_grid = new QTableWidget(this);
    m_grid->setObjectName(QStringLiteral("grid"));
    // Shown, never edited; it still scrolls.
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);

    m_cutNote = new QLabel(this);
    m_cutNote->setObjectName(QStringLiteral("cut note"));
    m_cutNote->setTextFormat(Qt::PlainText);
    m_cutNote->setWordWrap(true);
    m_cutNote->hide();

    auto* gridColumn = new QVBoxLayout();
    gridColumn->addWidget(m_caption);
    gridColumn->addWidget(m_grid, 1);
    gridColumn->addWidget(m_cutNote);
    auto* body = new QHBoxLayout();
    body->addWidget(m_tree);
    body->addLayout(gridColumn, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_title);
    layout->addLayout(body, 1);
}

CAccessPreviewDlg::~CAccessPreviewDlg() {
    if (m_mode) {
        ::chmod(m_path.c_str(), *m_mode);
    }
}

void CAccessPreviewDlg::SetFilePath(const std::filesystem::path& database) {
    m_path = database;
    struct stat info {};
    if (::lstat(m_path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
        m_mode = info.st_mode & 07777;
        ::chmod(m_path.c_str(), S_IRUSR);
    }
}

void CAccessPreviewDlg::SetTitle(const QString& title) {
    m_title->setText(title);
    setWindowTitle(title);
}

QString CAccessPreviewDlg::GridCaption() const {
    return m_caption->text();
}

QString CAccessPreviewDlg::CutNote() const {
    return m_cutNote->isHidden() ? QString() : m_cutNote->text();
}

MessageBoxAnswer CAccessPreviewDlg::Tell(const QString& text) {
    return AskPreviewUser(m_setup, this, text, MessageBoxButtons::Ok, MessageBoxIcon::Error);
}

bool CAccessPreviewDlg::Load() {
    const JetHeader header = CheckJetHeader(FirstPage(m_path));
    if (header.verdict == JetHeader::Verdict::NotJet) {
        return false;
    }
    if (header.verdict == JetHeader::Verdict::PasswordProtected) {
        Tell(ProgramText(kPasswordProtectedId));
        return false;
    }
    const AccessTableSource::TableList list = m_source.ListTables(m_path);
    if (!list.ok) {
        return false;
    }
    m_tables = ListedTables(list.names);
    m_inSelection = true;
    auto* root = new QTreeWidgetItem(m_tree, {ProgramText(kTablesId)});
    for (size_t i = 0; i < m_tables.size(); ++i) {
        auto* item = new QTreeWidgetItem(root, {FromUtf8(m_tables[i].shown)});
        item->setData(0, kEntryRole, static_cast<qulonglong>(i));
    }
    root->setExpanded(true);
    m_inSelection = false;
    if (root->childCount() > 0) {
        m_tree->setCurrentItem(root->child(0));
    }
    return true;
}

void CAccessPreviewDlg::OnSelectionChanged(QTreeWidgetItem* current) {
    if (m_inSelection || current == nullptr || current->childCount() > 0 ||
        current->parent() == nullptr) {
        return;
    }
    const qulonglong index = current->data(0, kEntryRole).toULongLong();
    if (index >= m_tables.size()) {
        return;
    }
    m_inSelection = true;
    UpdateGridDetails(m_tables[index]);
    m_inSelection = false;
}

void CAccessPreviewDlg::UpdateGridDetails(const AccessTableEntry& table) {
    const AccessTableSource::Table rows = m_source.ReadTable(m_path, table.name);
    if (!rows.ok) {
        Tell(QStringLiteral("UpdateGridDetails") +
             FromUtf8(TableErrorText(rows.error, ProgramText(kPasswordProtectedId).toStdString())));
    }
    m_caption->setText(FromUtf8(table.shown));
    m_grid->clear();
    m_grid->setColumnCount(static_cast<int>(rows.columns.size()));
    m_grid->setRowCount(static_cast<int>(rows.rows.size()));
    QStringList headers;
    for (const std::string& column : rows.columns) {
        headers << FromUtf8(column);
    }
    m_grid->setHorizontalHeaderLabels(headers);
    for (size_t r = 0; r < rows.rows.size(); ++r) {
        for (size_t c = 0; c < rows.rows[r].size() && c < rows.columns.size(); ++c) {
            m_grid->setItem(static_cast<int>(r), static_cast<int>(c),
                            new QTableWidgetItem(FromUtf8(rows.rows[r][c])));
        }
    }
    m_grid->resizeColumnsToContents();
    // A table whose rows stop early is never shown as if whole.
    m_cutNote->setText(
        rows.cut ? QString::fromStdU16String(FormatText(StringTable::Program().Get(kTableCutId),
                                                        static_cast<uint64_t>(rows.rows.size())))
                 : QString());
    m_cutNote->setVisible(rows.cut);
}

void CAccessPreviewDlg::reject() {
    accept();
}

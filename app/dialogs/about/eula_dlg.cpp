#include "app/dialogs/about/eula_dlg.h"

#include "app/dialogs/common/dialog_widgets.h"
#include "app/program_text.h"
#include "platform/settings/data_folder.h"
#include "resources/string_ids.h"

#include <QFile>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int kColumnWidth = 505;

} // namespace

CEulaDlg::CEulaDlg(const std::filesystem::path& eulaFile, QWidget* parent) : QDialog(parent) {
    setObjectName(QString::number(kDialogId));
    setWindowTitle(ProgramText(kEulaCaptionId));
    setAutoFillBackground(true);
    QPalette gray = palette();
    gray.setColor(QPalette::Window, QColor(217, 217, 217));
    setPalette(gray);

    m_list = new QListWidget(this);
    m_list->setObjectName(QString::number(kListId));
    m_list->setMinimumSize(kColumnWidth + 40, 360);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    auto* close = MakeDialogButton(kCloseTextId, kCloseId, this);
    close->setDefault(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list, 1);
    auto* buttons = new QHBoxLayout();
    buttons->addStretch(1);
    buttons->addWidget(close);
    layout->addLayout(buttons);
    connect(close, &QPushButton::clicked, this, &CEulaDlg::accept);

    const std::filesystem::path path = eulaFile.empty() ? DataFolder() / kEulaFileName : eulaFile;
    QFile file(QString::fromStdString(path.string()));
    if (!file.open(QIODevice::ReadOnly)) {
        return;
    }
    const QByteArray text = file.read(static_cast<qint64>(kMaxFileBytes));
    QList<QByteArray> lines = text.split('\n');
    // A final line end starts no line of its own.
    if (!lines.isEmpty() && lines.back().isEmpty()) {
        lines.removeLast();
    }
    for (QByteArray& line : lines) {
        if (line.endsWith('\r')) {
            line.chop(1);
        }
        m_list->addItem(QString::fromUtf8(line));
    }
}

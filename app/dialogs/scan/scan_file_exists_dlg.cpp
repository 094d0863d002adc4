#include "app/dialogs/scan/scan_file_exists_dlg.h"

#include "app/dialogs/common/dialog_help.h"
#include "app/dialogs/common/dialog_widgets.h"
#include "app/program_text.h"
#include "controls/flat_button.h"
#include "resources/string_ids.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

constexpr int kMaxNameLength = 260;

} // namespace

CScanFileExistsDlg::CScanFileExistsDlg(const QString& existingPath, uint8_t diskNumber,
                                       uint8_t driveNumber, bool isLog, QWidget* parent)
    : QDialog(parent), m_proposal(ProposeName(existingPath, diskNumber, driveNumber, isLog)) {
    setObjectName(QStringLiteral("194"));
    setWindowTitle(ProgramText(kNameTakenCaptionId));

    auto* existing = new QLabel(existingPath, this);
    existing->setObjectName(QString::number(kExistingPathId));
    existing->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_newName = new QLineEdit(m_proposal, this);
    m_newName->setObjectName(QString::number(kNewNameId));
    m_newName->setMaxLength(kMaxNameLength);
    m_newName->setMinimumWidth(360);

    m_rename = new CFlatButton(ProgramText(kRenameTextId), this);
    m_rename->setObjectName(QString::number(kRenameId));
    m_rename->setDefault(true);
    m_overwrite = new CFlatButton(ProgramText(kScanFileOverwriteTextId), this);
    m_overwrite->setObjectName(QString::number(kOverwriteId));
    auto* cancel = new CFlatButton(ProgramText(kCancelTextId), this);
    cancel->setObjectName(QString::number(kCancelId));
    auto* help = new CFlatButton(ProgramText(kHelpTextId), this);
    help->setObjectName(QString::number(kHelpId));

    auto* grid = new QGridLayout(this);
    grid->addWidget(MakeBoldLabel(ProgramText(kExistingLabelId), 1013, this), 0, 0);
    grid->addWidget(existing, 0, 1);
    grid->addWidget(MakeBoldLabel(ProgramText(kScanFileNewNameLabelId), 1056, this), 1, 0);
    grid->addWidget(m_newName, 1, 1);
    auto* buttons = new QHBoxLayout();
    buttons->addWidget(help);
    buttons->addStretch(1);
    buttons->addWidget(m_rename);
    buttons->addWidget(m_overwrite);
    buttons->addWidget(cancel);
    grid->addLayout(buttons, 2, 0, 1, 2);

    connect(m_newName, &QLineEdit::textChanged, this, &CScanFileExistsDlg::OnNameChanged);
    connect(m_rename, &QPushButton::clicked, this, [this] {
        m_answer = Answer::Rename;
        m_chosenName = m_newName->text();
        accept();
    });
    connect(m_overwrite, &QPushButton::clicked, this, [this] {
        m_answer = Answer::Overwrite;
        accept();
    });
    connect(cancel, &QPushButton::clicked, this, [this] {
        m_answer = Answer::Cancel;
        reject();
    });
    connect(help, &QPushButton::clicked, this, [this] { ShowDialogHelp(this, kHelpTopic); });
    OnNameChanged(m_newName->text());
    m_newName->setFocus();
}

void CScanFileExistsDlg::OnNameChanged(const QString& text) {
    m_rename->setEnabled(!text.isEmpty());
    m_overwrite->setEnabled(!text.isEmpty());
}

QString CScanFileExistsDlg::ProposeName(const QString& existingPath, uint8_t diskNumber,
                                        uint8_t driveNumber, bool isLog) {
    const qsizetype slash = existingPath.lastIndexOf(QLatin1Char('/'));
    const QString folder = slash >= 0 ? existingPath.left(slash + 1) : QString();
    QString base =
        folder + QStringLiteral("HardDrv") + QString::number(diskNumber) + QLatin1Char('_');
    base += isLog
                ? QStringLiteral("Log")
                : QStringLiteral("LogDrv") + QString::number(driveNumber) + QStringLiteral("_Scan");
    const QString extension = isLog ? QStringLiteral(".TXT") : QStringLiteral(".DAT");
    QString candidate;
    for (int counter = 0; counter < kMaxProposals; ++counter) {
        candidate = base + (counter == 0 ? QString() : QString::number(counter)) + extension;
        if (!QFileInfo::exists(candidate)) {
            break;
        }
    }
    return candidate;
}

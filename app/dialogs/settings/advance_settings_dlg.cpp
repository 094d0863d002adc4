#include "app/dialogs/settings/advance_settings_dlg.h"
#include "app/dialogs/common/file_dialog_start.h"

#include "app/dialogs/common/dialog_help.h"
#include "app/dialogs/common/dialog_widgets.h"
#include "app/program_text.h"
#include "platform/settings/settings_store.h"
#include "resources/string_ids.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QListWidget* MakeList(int id, QWidget* parent) {
    auto* list = new QListWidget(parent);
    list->setObjectName(QString::number(id));
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setMaximumHeight(110);
    return list;
}

QLabel* BoldLabel(uint32_t textId, QWidget* parent) {
    return MakeBoldLabel(ProgramText(textId), parent);
}

} // namespace

CAdvanceSettingsDlg::CAdvanceSettingsDlg(SettingsStore& settings, ScanState& state, QWidget* parent)
    : QDialog(parent), m_settings(settings), m_state(state) {
    setObjectName(QString::number(kDialogId));
    setWindowTitle(ProgramText(kAdvanceSettingsCaptionId));
    PaintWhite(*this);
    m_chooseFolder = [](QWidget* owner, const QString& title, const QString& current) {
        return QFileDialog::getExistingDirectory(owner, title, FileDialogStart(current),
                                                 QFileDialog::ShowDirsOnly);
    };

    const advance_settings::Values values = advance_settings::Load(m_settings, m_state);

    m_saveLog = new QCheckBox(ProgramText(kSaveLogTextId), this);
    m_saveLog->setObjectName(QString::number(kSaveLogId));
    m_saveLog->setChecked(values.saveLog);
    m_signatureSearch = new QCheckBox(ProgramText(kSignatureSearchTextId), this);
    m_signatureSearch->setObjectName(QString::number(kSignatureSearchId));
    m_signatureSearch->setChecked(values.signatureSearch);

    m_logPath = new QLineEdit(QString::fromStdU16String(values.logPath), this);
    m_logPath->setObjectName(QString::number(kLogPathId));
    m_logPath->setMaxLength(kMaxLogPathLength);
    m_logPath->setMinimumWidth(300);
    // The folder edit keeps the gray face of a control; the rest of the dialog is white.
    QPalette gray = m_logPath->palette();
    gray.setColor(QPalette::Base, gray.color(QPalette::Button));
    m_logPath->setPalette(gray);
    m_browse = MakeDialogButton(kBrowseTextId, kBrowseId, this);

    m_readAttempts = MakeList(kReadAttemptsId, this);
    for (uint32_t count = advance_settings::kMinReadAttempts;
         count <= advance_settings::kMaxReadAttempts; ++count) {
        m_readAttempts->addItem(QString::number(count));
    }
    m_readAttempts->setCurrentRow(advance_settings::ReadAttemptsPosition(values.readAttempts));
    m_dateFormat = MakeList(kDateFormatId, this);
    for (const std::u16string_view format : advance_settings::kDateFormats) {
        m_dateFormat->addItem(
            QString::fromUtf16(format.data(), static_cast<qsizetype>(format.size())));
    }

    const OkCancelHelpRow buttons = MakeOkCancelHelpRow(kOkId, kCancelId, kHelpId, this);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_saveLog);
    auto* folderRow = new QHBoxLayout();
    folderRow->addWidget(BoldLabel(kLogFolderTextId, this));
    folderRow->addWidget(m_logPath, 1);
    folderRow->addWidget(m_browse);
    layout->addLayout(folderRow);
    layout->addWidget(m_signatureSearch);
    auto* lists = new QGridLayout();
    lists->addWidget(BoldLabel(kReadAttemptsTextId, this), 0, 0);
    lists->addWidget(BoldLabel(kDateFormatTextId, this), 0, 1);
    lists->addWidget(m_readAttempts, 1, 0);
    lists->addWidget(m_dateFormat, 1, 1);
    layout->addLayout(lists);
    layout->addLayout(buttons.row);

    connect(m_saveLog, &QCheckBox::toggled, this, &CAdvanceSettingsDlg::OnSaveLogToggled);
    connect(m_browse, &QPushButton::clicked, this, &CAdvanceSettingsDlg::OnBrowse);
    connect(buttons.help, &QPushButton::clicked, this,
            [this] { ShowDialogHelp(this, kHelpTopic); });
    connect(buttons.ok, &QPushButton::clicked, this, &CAdvanceSettingsDlg::accept);
    connect(buttons.cancel, &QPushButton::clicked, this, &CAdvanceSettingsDlg::reject);
    OnSaveLogToggled(values.saveLog);
}

void CAdvanceSettingsDlg::OnSaveLogToggled(bool checked) {
    const bool enabled = advance_settings::LogFolderEnabled(checked);
    m_logPath->setEnabled(enabled);
    m_browse->setEnabled(enabled);
}

void CAdvanceSettingsDlg::OnBrowse() {
    const QString folder =
        m_chooseFolder(this, ProgramText(kChooseFolderTitleId), m_logPath->text());
    if (!folder.isEmpty()) {
        m_logPath->setText(folder.left(kMaxLogPathLength));
    }
}

void CAdvanceSettingsDlg::accept() {
    advance_settings::Values values;
    values.saveLog = m_saveLog->isChecked();
    values.signatureSearch = m_signatureSearch->isChecked();
    values.readAttempts = advance_settings::ReadAttemptsAt(m_readAttempts->currentRow());
    values.logPath = m_logPath->text().left(kMaxLogPathLength).toStdU16String();
    m_saved = advance_settings::Store(values, m_settings, m_state);
    QDialog::accept();
}

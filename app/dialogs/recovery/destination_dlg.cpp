#include "app/dialogs/recovery/destination_dlg.h"
#include "app/dialogs/common/file_dialog_start.h"

#include "app/dialogs/common/dialog_help.h"
#include "app/program_text.h"

#include "app/dialogs/recovery/ftp_settings_dlg.h"

#include "controls/flat_button.h"
#include "resources/string_ids.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <string>

namespace {

template <typename Button> Button* MakeButton(const QString& text, int id, QWidget* parent) {
    auto* button = new Button(text, parent);
    button->setObjectName(QString::number(id));
    return button;
}

// The dialog decides every checked state itself, so a click on a checked radio must not be
// undone by Qt's grouping before DestinationChoice has seen it.
QRadioButton* MakeRadio(const QString& text, int id, QWidget* parent) {
    auto* radio = MakeButton<QRadioButton>(text, id, parent);
    radio->setAutoExclusive(false);
    return radio;
}

QLineEdit* MakeEdit(int id, QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::number(id));
    edit->setMaxLength(static_cast<int>(DestinationChoice::kMaxPath));
    edit->setMinimumWidth(300);
    return edit;
}

} // namespace

CDestinationDlg::CDestinationDlg(const ControlIds& ids, const QString& caption,
                                 RecoveryDestinationAnswers& answers, FtpSettings& ftp,
                                 QWidget* parent)
    : QDialog(parent), m_answers(answers), m_ftp(ftp) {
    setObjectName(QString::number(ids.dialog));
    setWindowTitle(caption);

    auto* destination = new QGroupBox(ProgramText(kDestinationTextId), this);
    m_local = MakeRadio(ProgramText(kLocalTextId), ids.local, destination);
    m_localEdit = MakeEdit(ids.localEdit, destination);
    m_browse = MakeButton<QPushButton>(ProgramText(kBrowseTextId), ids.browse, destination);
    m_ftpRadio = MakeRadio(ProgramText(kFtpTextId), ids.ftp, destination);
    m_ftpEdit = MakeEdit(ids.ftpEdit, destination);
    m_ftpOptions =
        MakeButton<QPushButton>(ProgramText(kFtpOptionsTextId), ids.ftpOptions, destination);
    m_cdDvd = MakeRadio(ProgramText(kCdDvdTextId), ids.cdDvd, destination);
    auto* destinationGrid = new QGridLayout(destination);
    destinationGrid->addWidget(m_local, 0, 0, 1, 2);
    destinationGrid->addWidget(m_localEdit, 1, 0);
    destinationGrid->addWidget(m_browse, 1, 1);
    destinationGrid->addWidget(m_ftpRadio, 2, 0, 1, 2);
    destinationGrid->addWidget(m_ftpEdit, 3, 0);
    destinationGrid->addWidget(m_ftpOptions, 3, 1);
    destinationGrid->addWidget(m_cdDvd, 4, 0, 1, 2);

    auto* zip = new QGroupBox(ProgramText(kZipOptionTextId), this);
    m_zip = MakeButton<QCheckBox>(ProgramText(kZipTextId), ids.zip, zip);
    m_eachFile = MakeRadio(ProgramText(kEachFileTextId), ids.eachFile, zip);
    m_singleFile = MakeRadio(ProgramText(kSingleFileTextId), ids.singleFile, zip);
    auto* zipLayout = new QVBoxLayout(zip);
    zipLayout->addWidget(m_zip);
    zipLayout->addWidget(m_eachFile);
    zipLayout->addWidget(m_singleFile);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(destination);
    layout->addWidget(zip);

    if (ids.excludeDeleted != 0) {
        auto* entries = new QGroupBox(ProgramText(kRecoveryOptionTextId), this);
        auto* entriesLayout = new QVBoxLayout(entries);
        const QString texts[3] = {
            ProgramText(kExcludeDeletedTextId),
            ProgramText(kIncludeDeletedTextId),
            ProgramText(kOnlyDeletedTextId),
        };
        const int entryIds[3] = {ids.excludeDeleted, ids.includeDeleted, ids.onlyDeleted};
        for (uint8_t choice = 0; choice < 3; ++choice) {
            m_entries[choice] = MakeRadio(texts[choice], entryIds[choice], entries);
            entriesLayout->addWidget(m_entries[choice]);
            connect(m_entries[choice], &QRadioButton::clicked, this, [this, choice] {
                m_choice.OnEntryChoice(choice);
                ShowControls();
            });
        }
        layout->addWidget(entries);
    }

    m_ok = MakeButton<CFlatButton>(ProgramText(kOkTextId), 1, this);
    m_ok->setDefault(true);
    auto* cancel = MakeButton<CFlatButton>(ProgramText(kCancelTextId), 2, this);
    auto* help = MakeButton<CFlatButton>(ProgramText(kHelpTextId), ids.help, this);
    auto* buttons = new QHBoxLayout();
    buttons->addWidget(help);
    buttons->addStretch(1);
    buttons->addWidget(m_ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);

    connect(m_local, &QRadioButton::clicked, this, [this] {
        m_choice.OnLocal();
        ShowControls();
    });
    connect(m_ftpRadio, &QRadioButton::clicked, this, [this] {
        m_choice.OnFtp();
        ShowControls();
    });
    connect(m_cdDvd, &QRadioButton::clicked, this, [this] {
        m_choice.OnCdDvd();
        ShowControls();
    });
    connect(m_zip, &QCheckBox::clicked, this, [this](bool checked) {
        m_choice.OnZipToggled(checked);
        ShowControls();
    });
    connect(m_eachFile, &QRadioButton::clicked, this, [this] {
        m_choice.OnZipMode(false);
        ShowControls();
    });
    connect(m_singleFile, &QRadioButton::clicked, this, [this] {
        m_choice.OnZipMode(true);
        ShowControls();
    });
    connect(m_localEdit, &QLineEdit::textChanged, this, [this](const QString& text) {
        m_choice.OnEditChanged(DestinationChoice::Edit::Local, text);
        ShowControls();
    });
    connect(m_ftpEdit, &QLineEdit::textChanged, this, [this](const QString& text) {
        m_choice.OnEditChanged(DestinationChoice::Edit::Ftp, text);
        ShowControls();
    });
    connect(m_browse, &QPushButton::clicked, this, &CDestinationDlg::OnBrowse);
    connect(m_ftpOptions, &QPushButton::clicked, this, &CDestinationDlg::OnFtpOptions);
    connect(help, &QPushButton::clicked, this, &CDestinationDlg::OnHelp);
    connect(m_ok, &QPushButton::clicked, this, &CDestinationDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &CDestinationDlg::reject);

    m_answers = m_choice.Cancel();
    ShowControls();
}

void CDestinationDlg::accept() {
    const RecoveryDestinationAnswers answers = m_choice.Accept();
    if (!answers.accepted) {
        return;
    }
    m_answers = answers;
    QDialog::accept();
}

void CDestinationDlg::reject() {
    m_answers = m_choice.Cancel();
    QDialog::reject();
}

void CDestinationDlg::OnBrowse() {
    const QString title = ProgramText(kChooseFolderTitleId);
    const QString folder = QFileDialog::getExistingDirectory(
        this, title, FileDialogStart(m_localEdit->text()), QFileDialog::ShowDirsOnly);
    if (!folder.isEmpty()) {
        m_localEdit->setText(folder);
    }
}

void CDestinationDlg::OnFtpOptions() {
    // The folder belongs to the server about to be chosen: an old one must not survive.
    m_ftpEdit->clear();
    QString folder;
    CFtpSettingsDlg settings(m_ftp, folder, this);
    settings.exec();
    if (!folder.isEmpty()) {
        m_ftpEdit->setText(folder);
    }
}

void CDestinationDlg::OnHelp() {
    ShowDialogHelp(this, kHelpTopic);
}

void CDestinationDlg::ShowControls() {
    const DestinationChoice::Controls& controls = m_choice.GetControls();
    m_local->setChecked(m_choice.Destination() == DestinationChoice::kLocal);
    m_ftpRadio->setChecked(m_choice.Destination() == DestinationChoice::kFtp);
    m_cdDvd->setChecked(m_choice.Destination() == DestinationChoice::kCdDvd);
    m_localEdit->setEnabled(controls.localEditEnabled);
    m_browse->setEnabled(controls.browseEnabled);
    m_ftpEdit->setEnabled(controls.ftpEditEnabled);
    m_ftpOptions->setEnabled(controls.ftpOptionsEnabled);
    m_zip->setEnabled(controls.zipEnabled);
    m_zip->setChecked(controls.zipChecked);
    m_eachFile->setEnabled(controls.zipModeEnabled);
    m_singleFile->setEnabled(controls.zipModeEnabled);
    m_eachFile->setChecked(controls.eachFileChecked);
    m_singleFile->setChecked(controls.singleFileChecked);
    for (uint8_t choice = 0; choice < 3; ++choice) {
        if (m_entries[choice] != nullptr) {
            m_entries[choice]->setChecked(m_choice.EntryChoice() == choice);
        }
    }
    m_ok->setEnabled(controls.okEnabled);
}

#include "app/dialogs/recovery/ftp_settings_dlg.h"

#include "app/dialogs/common/dialog_help.h"
#include "app/dialogs/common/dialog_widgets.h"
#include "app/program_text.h"

#include "app/dialogs/recovery/ftp_folder_dlg.h"
#include "jobs/recovery/ftp_settings.h"

#include "controls/flat_button.h"
#include "resources/string_ids.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

QLineEdit* MakeEdit(int id, QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::number(id));
    edit->setMinimumWidth(260);
    return edit;
}

QPushButton* MakeSettingsButton(const QString& text, int id, QWidget* parent) {
    auto* button = new CFlatButton(text, parent);
    button->setObjectName(QString::number(id));
    return button;
}

} // namespace

CFtpSettingsDlg::CFtpSettingsDlg(FtpSettings& settings, QString& folder, QWidget* parent)
    : QDialog(parent), m_settings(settings), m_folder(folder) {
    setObjectName(QString::number(kDialogId));
    setWindowTitle(ProgramText(kFtpSettingsCaptionId));

    const QString serverHint = ProgramText(kServerHintId);
    auto* serverLabel = MakeBoldLabel(ProgramText(kServerLabelTextId), kServerLabelId, this);
    serverLabel->setToolTip(serverHint);
    m_server = MakeEdit(kServerId, this);
    m_server->setPlaceholderText(ProgramText(kServerPlaceholderId));
    m_server->setToolTip(serverHint);
    m_user = MakeEdit(kUserId, this);
    m_password = MakeEdit(kPasswordId, this);
    m_folderEdit = MakeEdit(kFolderId, this);
    m_folderEdit->setMaxLength(kMaxFolderLength);

    m_browseFtp = MakeSettingsButton(ProgramText(kBrowseFtpTextId), kBrowseFtpId, this);
    m_ok = MakeSettingsButton(ProgramText(kOkTextId), kOkId, this);
    m_ok->setDefault(true);
    auto* cancel = MakeSettingsButton(ProgramText(kCancelTextId), kCancelId, this);
    auto* help = MakeSettingsButton(ProgramText(kHelpTextId), kHelpId, this);

    auto* grid = new QGridLayout(this);
    grid->addWidget(serverLabel, 0, 0);
    grid->addWidget(m_server, 0, 1, 1, 2);
    grid->addWidget(MakeBoldLabel(ProgramText(kUserLabelTextId), kUserLabelId, this), 1, 0);
    grid->addWidget(m_user, 1, 1, 1, 2);
    grid->addWidget(MakeBoldLabel(ProgramText(kPasswordLabelTextId), kPasswordLabelId, this), 2, 0);
    grid->addWidget(m_password, 2, 1, 1, 2);
    grid->addWidget(m_folderEdit, 3, 0, 1, 2);
    grid->addWidget(m_browseFtp, 3, 2);
    auto* buttons = new QHBoxLayout();
    buttons->addWidget(help);
    buttons->addStretch(1);
    buttons->addWidget(m_ok);
    buttons->addWidget(cancel);
    grid->addLayout(buttons, 4, 0, 1, 3);

    for (QLineEdit* edit : {m_server, m_user, m_password}) {
        connect(edit, &QLineEdit::textChanged, this, &CFtpSettingsDlg::UpdateEnabled);
    }
    connect(m_browseFtp, &QPushButton::clicked, this, &CFtpSettingsDlg::OnBrowseFtp);
    connect(help, &QPushButton::clicked, this, &CFtpSettingsDlg::OnHelp);
    connect(m_ok, &QPushButton::clicked, this, &CFtpSettingsDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &CFtpSettingsDlg::reject);
    UpdateEnabled();
}

bool CFtpSettingsDlg::CanLogOn(const QString& server, const QString& user,
                               const QString& password) {
    return !server.isEmpty() && !user.isEmpty() && !password.isEmpty();
}

void CFtpSettingsDlg::accept() {
    if (!m_ok->isEnabled()) {
        return;
    }
    m_settings.server = m_server->text().toStdU16String();
    m_settings.user = m_user->text().toStdU16String();
    m_settings.password = m_password->text().toStdU16String();
    m_folder = m_folderEdit->text().left(kMaxFolderLength);
    QDialog::accept();
}

void CFtpSettingsDlg::UpdateEnabled() {
    const bool complete = CanLogOn(m_server->text(), m_user->text(), m_password->text());
    m_ok->setEnabled(complete);
    m_browseFtp->setEnabled(complete);
    m_folderEdit->setEnabled(complete);
}

void CFtpSettingsDlg::OnBrowseFtp() {
    QString folder;
    CFtpFolderDlg browser(folder, m_server->text(), m_user->text(), m_password->text(), this);
    browser.exec();
    m_folderEdit->setText(folder);
}

void CFtpSettingsDlg::OnHelp() {
    ShowDialogHelp(this, kHelpTopic);
}

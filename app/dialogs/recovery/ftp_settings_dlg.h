#pragma once

#include <QDialog>
#include <QString>

struct FtpSettings;
class QLineEdit;
class QPushButton;

// "FTP settings..": the server ("host" or "host:port"), user name and password a recovery to
// an FTP server logs on with, and the folder on the server, which "Browse FTP.." picks from
// the server's tree. Opens empty; nothing is stored until OK. Controls carry their ids as
// object names.
class CFtpSettingsDlg : public QDialog {
    Q_OBJECT
public:
    // The topic of the user guide Help opens.
    static constexpr uint32_t kHelpTopic = 1330;
    static constexpr int kDialogId = 231;
    static constexpr int kServerId = 1154;
    static constexpr int kUserId = 1155;
    static constexpr int kPasswordId = 1156;
    static constexpr int kFolderId = 1162;
    static constexpr int kServerLabelId = 1159;
    static constexpr int kUserLabelId = 1152;
    static constexpr int kPasswordLabelId = 1153;
    static constexpr int kOkId = 1;
    static constexpr int kCancelId = 2;
    static constexpr int kBrowseFtpId = 1157;
    static constexpr int kHelpId = 1158;
    // The longest folder the caller takes.
    static constexpr int kMaxFolderLength = 260;

    // On OK `settings` receives the server, user name and password and `folder` the folder
    // edit's text. Both must outlive the dialog.
    CFtpSettingsDlg(FtpSettings& settings, QString& folder, QWidget* parent = nullptr);

    // OK, "Browse FTP.." and the folder edit are enabled exactly when this holds.
    static bool CanLogOn(const QString& server, const QString& user, const QString& password);

    void accept() override;

private:
    void UpdateEnabled();
    void OnBrowseFtp();
    void OnHelp();

    FtpSettings& m_settings;
    QString& m_folder;
    QLineEdit* m_server = nullptr;
    QLineEdit* m_user = nullptr;
    QLineEdit* m_password = nullptr;
    QLineEdit* m_folderEdit = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_browseFtp = nullptr;
};

#pragma once

#include "app/dialogs/recovery/destination_choice.h"

#include <QDialog>

struct FtpSettings;
class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

// The body both recovery-destination dialogs share: destination, path and zip controls, OK,
// Cancel and Help, with the rules of DestinationChoice. Controls carry their ids as object
// names; the two dialogs differ only in the ids, the caption and the entry-choice radios.
class CDestinationDlg : public QDialog {
    Q_OBJECT
public:
    // The topic of the user guide Help opens.
    static constexpr uint32_t kHelpTopic = 1330;
    // The template's control ids. An entry id of 0 leaves the entry radios out.
    struct ControlIds {
        int dialog = 0;
        int local = 0;
        int ftp = 0;
        int cdDvd = 0;
        int localEdit = 0;
        int browse = 0;
        int ftpEdit = 0;
        int ftpOptions = 0;
        int zip = 0;
        int eachFile = 0;
        int singleFile = 0;
        int excludeDeleted = 0;
        int includeDeleted = 0;
        int onlyDeleted = 0;
        int help = 0;
    };

    // `answers` is written when the dialog closes: on OK with the path and accepted set, on
    // Cancel and Escape with accepted clear. `ftp` receives the server settings the FTP
    // Options dialog stores. Both must outlive the dialog.
    CDestinationDlg(const ControlIds& ids, const QString& caption,
                    RecoveryDestinationAnswers& answers, FtpSettings& ftp,
                    QWidget* parent = nullptr);

    const DestinationChoice& Choice() const { return m_choice; }

    void accept() override;
    void reject() override;

private:
    void OnBrowse();
    void OnFtpOptions();
    void OnHelp();
    // Shows the enabled and checked states DestinationChoice holds.
    void ShowControls();

    DestinationChoice m_choice;
    RecoveryDestinationAnswers& m_answers;
    FtpSettings& m_ftp;
    QRadioButton* m_local = nullptr;
    QRadioButton* m_ftpRadio = nullptr;
    QRadioButton* m_cdDvd = nullptr;
    QLineEdit* m_localEdit = nullptr;
    QLineEdit* m_ftpEdit = nullptr;
    QPushButton* m_browse = nullptr;
    QPushButton* m_ftpOptions = nullptr;
    QCheckBox* m_zip = nullptr;
    QRadioButton* m_eachFile = nullptr;
    QRadioButton* m_singleFile = nullptr;
    QRadioButton* m_entries[3] = {};
    QPushButton* m_ok = nullptr;
};

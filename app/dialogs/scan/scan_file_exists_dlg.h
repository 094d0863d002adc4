#pragma once

#include <QDialog>
#include <QString>

#include <cstdint>

class QLabel;
class QLineEdit;
class QPushButton;

// Asks what to do when the log (".TXT") or scan-information (".DAT") file the frame is about
// to save exists already: rename (to a free name it proposes in the same folder, which the user
// may edit), overwrite, or cancel. Rename and Overwrite are possible only with a name in the
// edit. Controls carry their ids as object names.
class CScanFileExistsDlg : public QDialog {
    Q_OBJECT
public:
    enum class Answer {
        Cancel,
        Rename,
        Overwrite,
    };

    static constexpr int kNewNameId = 1020;
    static constexpr int kExistingPathId = 1022;
    static constexpr int kRenameId = 1;
    static constexpr int kOverwriteId = 1011;
    static constexpr int kCancelId = 2;
    static constexpr int kHelpId = 1151;
    // The guide's page on saving over an existing log or scan-information file.
    static constexpr uint32_t kHelpTopic = 1450;
    // Candidates tried before the proposal gives up and keeps the last one.
    static constexpr int kMaxProposals = 10000;

    CScanFileExistsDlg(const QString& existingPath, uint8_t diskNumber, uint8_t driveNumber,
                       bool isLog, QWidget* parent = nullptr);

    Answer GetAnswer() const { return m_answer; }
    // The name chosen with Rename (the edit's text).
    QString ChosenName() const { return m_chosenName; }
    QString Proposal() const { return m_proposal; }

    // The first free name in the existing file's folder: HardDrv<disk>_Log[N].TXT for the log,
    // HardDrv<disk>_LogDrv<drive>_Scan[N].DAT otherwise, N left out for the first.
    static QString ProposeName(const QString& existingPath, uint8_t diskNumber, uint8_t driveNumber,
                               bool isLog);

private:
    void OnNameChanged(const QString& text);

    QString m_proposal;
    QString m_chosenName;
    Answer m_answer = Answer::Cancel;
    QLineEdit* m_newName = nullptr;
    QPushButton* m_rename = nullptr;
    QPushButton* m_overwrite = nullptr;
};

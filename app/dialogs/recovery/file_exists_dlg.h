#pragma once

#include "platform/jobs/name_clash_decision.h"

#include <QDialog>
#include <QString>

class QLineEdit;
class QPushButton;

// "File with the same name already exists", asked by a recovery for a file whose name is taken
// at the destination. Shows the name and the free name the job proposes (which the user may
// edit) and answers with one of six decisions; Escape and the close button skip the file.
// Rename needs a name in the edit. Controls carry their ids as object names.
class CFileExistsDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kDialogId = 232;
    static constexpr int kNewNameId = 1004;
    static constexpr int kNameId = 1010;
    static constexpr int kRenameId = 1;
    static constexpr int kRenameAllId = 1005;
    static constexpr int kOverwriteId = 1006;
    static constexpr int kOverwriteAllId = 1007;
    static constexpr int kSkipId = 1008;
    static constexpr int kSkipAllId = 1009;
    // The longest name the edit takes.
    static constexpr int kMaxNameLength = 260;

    CFileExistsDlg(const QString& name, const QString& proposal, QWidget* parent = nullptr);

    NameClashDecision GetDecision() const { return m_decision; }
    // The edit's text when the decision is Rename; empty otherwise.
    QString NewName() const { return m_newNameChosen; }

private:
    void Decide(NameClashDecision decision);

    NameClashDecision m_decision = NameClashDecision::Skip;
    QString m_newNameChosen;
    QLineEdit* m_newName = nullptr;
    QPushButton* m_rename = nullptr;
};

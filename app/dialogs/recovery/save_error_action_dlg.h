#pragma once

#include "platform/jobs/save_error_action_request.h"

#include <QDialog>
#include <QString>

// "Take appropriate action": asked during recovery when the user stopped in the middle of a
// file. Continue saving, finish this file and stop, or stop now; Escape and the close button
// stop now. Controls carry their ids as object names.
class CSaveErrorActionDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kDialogId = 234;
    static constexpr int kContinueId = 1;
    static constexpr int kAbortId = 2;
    static constexpr int kSaveAndAbortId = 1164;
    static constexpr int kTextId = 1165;

    explicit CSaveErrorActionDlg(const QString& fileName, QWidget* parent = nullptr);

    SaveErrorActionRequest::Answer GetAnswer() const { return m_answer; }

    // String 61609 with the file name after its sixth character: "File: <name> is not saved
    // completely. ..."
    static QString MessageText(const QString& fileName);

private:
    void Answer(SaveErrorActionRequest::Answer answer);

    // Escape and the close button leave it as it is: stop now.
    SaveErrorActionRequest::Answer m_answer = SaveErrorActionRequest::Answer::AbortImmediately;
};

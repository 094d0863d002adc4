#include "app/dialogs/common/job_question_dialogs.h"

#include "app/dialogs/recovery/file_exists_dlg.h"
#include "app/dialogs/recovery/save_error_action_dlg.h"

#include <QCoreApplication>
#include <QThread>

namespace {

QString ToQString(const std::u16string& text) {
    return QString::fromStdU16String(text);
}

void AskSaveErrorAction(QWidget* parent, SaveErrorActionRequest& request) {
    CSaveErrorActionDlg dialog(ToQString(request.fileName), parent);
    dialog.exec();
    request.answer = dialog.GetAnswer();
}

void AskFileExists(QWidget* parent, FileExistsRequest& request) {
    CFileExistsDlg dialog(ToQString(request.name), ToQString(request.proposal), parent);
    dialog.exec();
    request.decision = dialog.GetDecision();
    request.newName = dialog.NewName().toStdU16String();
}

} // namespace

bool HandleJobQuestion(QWidget* parent, JobMessage& message) {
    if (message.id != kJobAskSaveErrorAction && message.id != kJobAskFileExists) {
        return false;
    }
    // Widgets live on the GUI thread only.
    const QCoreApplication* application = QCoreApplication::instance();
    if (application == nullptr || QThread::currentThread() != application->thread()) {
        return false;
    }
    // A question without its payload has nowhere to put an answer: nothing is asked.
    if (message.id == kJobAskSaveErrorAction) {
        if (auto* request = message.Get<SaveErrorActionRequest>()) {
            AskSaveErrorAction(parent, *request);
        }
    } else if (auto* request = message.Get<FileExistsRequest>()) {
        AskFileExists(parent, *request);
    }
    return true;
}

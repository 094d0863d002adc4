#include "platform/jobs/job_window.h"

#include <utility>

JobWindow::~JobWindow() = default;

MessageBoxAnswer JobWindow::AskMessageBox(std::u16string text, std::u16string caption,
                                          MessageBoxIcon icon, MessageBoxButtons buttons,
                                          bool topmost) {
    JobMessage message =
        MakeMessageBox(std::move(text), std::move(caption), icon, buttons, topmost);
    Send(message);
    // A handler that replaced the payload gave no answer: treat the box as dismissed.
    const MessageBoxRequest* request = message.Get<MessageBoxRequest>();
    return request != nullptr ? request->answer : MessageBoxRequest::DismissAnswer(buttons);
}

void JobWindow::SetTitle(std::u16string title) {
    JobMessage message = MakeSetWindowTitle(std::move(title));
    Send(message);
}

void JobWindow::AddLogLine(std::u16string activity, std::u16string description,
                           std::u16string status, int image) {
    JobMessage message =
        MakeLogLine(std::move(activity), std::move(description), std::move(status), image);
    Send(message);
}

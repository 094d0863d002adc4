#pragma once

#include "platform/jobs/message_box_answer.h"
#include "platform/jobs/message_box_buttons.h"
#include "platform/jobs/message_box_icon.h"

#include <string>

// A question a job asks the user. The window shows it on the GUI thread and writes the chosen
// button into `answer` before Send returns; until then `answer` holds what closing the box
// without a choice means for its buttons.
struct MessageBoxRequest {
    std::u16string text;
    std::u16string caption;
    MessageBoxIcon icon = MessageBoxIcon::None;
    MessageBoxButtons buttons = MessageBoxButtons::Ok;
    // Shown above every other window.
    bool topmost = false;
    MessageBoxAnswer answer = MessageBoxAnswer::Ok;

    // The answer of a box closed with Escape or its close button: the cancelling choice of
    // the button set (Ok, Cancel, No or Abort).
    static constexpr MessageBoxAnswer DismissAnswer(MessageBoxButtons buttons) {
        switch (buttons) {
        case MessageBoxButtons::Ok:
            return MessageBoxAnswer::Ok;
        case MessageBoxButtons::YesNo:
            return MessageBoxAnswer::No;
        case MessageBoxButtons::AbortRetryIgnore:
            return MessageBoxAnswer::Abort;
        case MessageBoxButtons::OkCancel:
        case MessageBoxButtons::YesNoCancel:
        case MessageBoxButtons::RetryCancel:
            break;
        }
        return MessageBoxAnswer::Cancel;
    }
};

#pragma once

#include "platform/jobs/job_messages.h"

class QWidget;

// Answers the questions a recovery job asks the window: kJobAskSaveErrorAction with
// CSaveErrorActionDlg and kJobAskFileExists with CFileExistsDlg, each run modally over `parent`,
// the answer written into the message's payload. True when the message was such a question;
// false for any other message, and when called off the GUI thread (nothing is shown then and
// the payload keeps its answer, which is the one for closing the question).
bool HandleJobQuestion(QWidget* parent, JobMessage& message);

#pragma once

#include "platform/jobs/job_messages.h"

#include <cstdint>
#include <string>

// The only way jobs and scanners reach the window. Send delivers a message to the GUI thread
// and returns after its handler has run (directly when called on the GUI thread), so the
// handler may read the payload and write results back into it. Handlers return 0. Any thread
// may call Send; the window serialises the messages.
class JobWindow {
public:
    JobWindow() = default;
    virtual ~JobWindow();

    JobWindow(const JobWindow&) = delete;
    JobWindow& operator=(const JobWindow&) = delete;

    virtual intptr_t Send(JobMessage& message) = 0;

    // Shows a message box and waits for the user's choice.
    MessageBoxAnswer AskMessageBox(std::u16string text, std::u16string caption, MessageBoxIcon icon,
                                   MessageBoxButtons buttons, bool topmost = false);
    void SetTitle(std::u16string title);
    void AddLogLine(std::u16string activity, std::u16string description, std::u16string status,
                    int image);
};

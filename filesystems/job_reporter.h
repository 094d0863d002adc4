#pragma once

#include "platform/jobs/job_messages.h"
#include "platform/jobs/message_box_icon.h"

#include <string>

struct JobFlags;
class JobWindow;
struct ScanEnvironment;

// A job's one way to the window and the user, the readers' scans included: messages, progress,
// log rows, questions and message boxes, the title, and the stop request it polls between
// steps. Does nothing without a window, so a job or a reader can run headless (tests, fuzz
// targets). Holds no state of its own: the window and the flags belong to the application and
// outlive it.
class JobReporter {
public:
    // Reports to the environment's window as it is at each call (a scan sets it when it starts)
    // and stops on the environment's flags.
    explicit JobReporter(const ScanEnvironment& environment) : m_environment(&environment) {}
    // Reports to `window` and stops on `flags`; without flags it is never stopped.
    JobReporter(JobWindow* window, const JobFlags* flags) : m_window(window), m_flags(flags) {}

    JobWindow* Window() const;
    bool Stopped() const;
    void Send(JobMessage message) const;
    // Sends a request whose handler writes its answer into the message.
    void Ask(JobMessage& message) const;
    void LogRow(const std::u16string& activity, const std::u16string& description,
                const std::u16string& status, int image) const;
    // A message box with the product title and an OK button, on top of every other window
    // unless `topmost` is false.
    void ShowMessage(const std::u16string& text, MessageBoxIcon icon, bool topmost = true) const;
    void SetTitle(const std::u16string& title) const;

private:
    const ScanEnvironment* m_environment = nullptr;
    JobWindow* m_window = nullptr;
    const JobFlags* m_flags = nullptr;
};

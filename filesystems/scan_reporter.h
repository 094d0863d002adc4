#pragma once

#include "platform/job_messages.h"
#include "platform/message_box_icon.h"

#include <string>

class JobWindow;
struct ScanEnvironment;

// The scans' one way to the window and the user: messages, log rows, message boxes, the
// title, and the stop request they poll between steps. Does nothing without a window, so a
// reader can run headless (tests, fuzz targets). The environment belongs to the application
// and outlives the reporter.
class ScanReporter {
public:
    explicit ScanReporter(const ScanEnvironment& environment) : m_environment(&environment) {}

    JobWindow* Window() const;
    bool Stopped() const;
    void Send(JobMessage message) const;
    void LogRow(const std::u16string& activity, const std::u16string& description,
                const std::u16string& status, int image) const;
    // A message box with the product title and an OK button, on top.
    void ShowMessage(const std::u16string& text, MessageBoxIcon icon) const;
    void SetTitle(const std::u16string& title) const;

private:
    const ScanEnvironment* m_environment;
};

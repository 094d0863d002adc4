#include "filesystems/scan_reporter.h"

#include "filesystems/scan_environment.h"
#include "platform/job_window.h"
#include "platform/product_title.h"

JobWindow* ScanReporter::Window() const {
    return m_environment->window;
}

bool ScanReporter::Stopped() const {
    return m_environment->StopRequested();
}

void ScanReporter::Send(JobMessage message) const {
    if (JobWindow* window = Window())
        window->Send(message);
}

void ScanReporter::LogRow(const std::u16string& activity, const std::u16string& description,
                          const std::u16string& status, int image) const {
    if (JobWindow* window = Window())
        window->AddLogLine(activity, description, status, image);
}

void ScanReporter::ShowMessage(const std::u16string& text, MessageBoxIcon icon) const {
    if (JobWindow* window = Window())
        window->AskMessageBox(text, kProductTitle, icon, MessageBoxButtons::Ok, true);
}

void ScanReporter::SetTitle(const std::u16string& title) const {
    if (JobWindow* window = Window())
        window->SetTitle(title);
}

#include "filesystems/job_reporter.h"

#include "filesystems/scan_environment.h"
#include "platform/jobs/job_flags.h"
#include "platform/jobs/job_window.h"
#include "platform/resources/product_title.h"

JobWindow* JobReporter::Window() const {
    return m_environment != nullptr ? m_environment->window : m_window;
}

bool JobReporter::Stopped() const {
    if (m_environment != nullptr)
        return m_environment->StopRequested();
    return m_flags != nullptr && m_flags->stopRequested.load();
}

void JobReporter::Send(JobMessage message) const {
    Ask(message);
}

void JobReporter::Ask(JobMessage& message) const {
    if (JobWindow* window = Window())
        window->Send(message);
}

void JobReporter::LogRow(const std::u16string& activity, const std::u16string& description,
                         const std::u16string& status, int image) const {
    if (JobWindow* window = Window())
        window->AddLogLine(activity, description, status, image);
}

void JobReporter::ShowMessage(const std::u16string& text, MessageBoxIcon icon, bool topmost) const {
    if (JobWindow* window = Window())
        window->AskMessageBox(text, kProductTitle, icon, MessageBoxButtons::Ok, topmost);
}

void JobReporter::SetTitle(const std::u16string& title) const {
    if (JobWindow* window = Window())
        window->SetTitle(title);
}

#include "filesystems/scan_log.h"

#include "platform/job_window.h"
#include "platform/program_string.h"
#include "platform/utf_conversion.h"

std::u16string ScanLog::TimeText(std::time_t when) {
    std::tm local{};
    localtime_r(&when, &local);
    char text[64];
    // The C locale keeps month names in English whatever the desktop's language.
    size_t length = std::strftime(text, sizeof text, " %b %d %Y , %I:%M %p", &local);
    return Utf8ToUtf16(std::string_view(text, length));
}

std::u16string ScanLog::ProcessStarted() {
    return ProgramString(kProcessStartedId);
}

std::u16string ScanLog::ProcessCompleted() {
    return ProgramString(kProcessCompletedId);
}

std::u16string ScanLog::ProcessAborted() {
    return ProgramString(kProcessAbortedId);
}

std::u16string ScanLog::StartedNow() {
    return ProgramString(kStartedOnId) + NowText();
}

std::u16string ScanLog::CompletedNow() {
    return ProgramString(kCompletedOnId) + NowText();
}

std::u16string ScanLog::AbortedNow() {
    return ProgramString(kAbortedOnId) + NowText();
}

std::u16string ScanLog::NowText() {
    return TimeText(std::time(nullptr));
}

void ScanLog::Started(JobWindow* window, const std::u16string& activity) {
    if (window != nullptr)
        window->AddLogLine(activity, ProcessStarted(), StartedNow(), kImageStarted);
}

void ScanLog::Ended(JobWindow* window, const std::u16string& activity, bool stopped) {
    if (window == nullptr)
        return;
    if (stopped)
        window->AddLogLine(activity, ProcessAborted(), AbortedNow(), kImageAborted);
    else
        window->AddLogLine(activity, ProcessCompleted(), CompletedNow(), kImageCompleted);
}

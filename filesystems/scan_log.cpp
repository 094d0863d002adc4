#include "filesystems/scan_log.h"

#include "platform/job_window.h"
#include "platform/string_table.h"
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
    return std::u16string(StringTable::Program().Get(kProcessStartedId));
}

std::u16string ScanLog::ProcessCompleted() {
    return std::u16string(StringTable::Program().Get(kProcessCompletedId));
}

std::u16string ScanLog::NowText() {
    return TimeText(std::time(nullptr));
}

void ScanLog::Started(JobWindow* window, const std::u16string& activity) {
    if (window != nullptr)
        window->AddLogLine(activity, ProcessStarted(), u"Started on :" + NowText(), kImageStarted);
}

void ScanLog::Ended(JobWindow* window, const std::u16string& activity, bool stopped) {
    if (window == nullptr)
        return;
    if (stopped)
        window->AddLogLine(activity, u"Process aborted, user intervention",
                           u"Aborted on :" + NowText(), kImageAborted);
    else
        window->AddLogLine(activity, ProcessCompleted(), u"Completed on :" + NowText(),
                           kImageCompleted);
}

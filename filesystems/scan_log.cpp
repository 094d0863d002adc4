#include "filesystems/scan_log.h"

#include "platform/jobs/job_window.h"
#include "platform/resources/program_string.h"
#include "platform/text/utf_conversion.h"
#include "resources/string_ids.h"

#include <algorithm>

std::u16string ScanLog::TimeText(std::time_t when) {
    std::tm local{};
    localtime_r(&when, &local);
    // The names come from the language pack, not the desktop's locale: the log speaks the
    // window's language.
    const int month = std::clamp(local.tm_mon, 0, 11);
    const int hour12 = local.tm_hour % 12 == 0 ? 12 : local.tm_hour % 12;
    return FormatText(u" %s %02d %d , %02d:%02d %s",
                      ProgramString(kFirstMonthAbbreviationId + static_cast<uint32_t>(month)),
                      local.tm_mday, local.tm_year + 1900, hour12, local.tm_min,
                      ProgramString(local.tm_hour < 12 ? kAmId : kPmId));
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

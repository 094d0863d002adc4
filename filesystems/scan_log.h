#pragma once

#include <cstdint>
#include <ctime>
#include <string>

class JobWindow;

// The log rows every scan pass writes: a start row, then a completed or aborted row, with the
// local time in " %b %d %Y , %I:%M %p" after "Started on :", "Completed on :" or "Aborted on :".
class ScanLog {
public:
    static constexpr int kImageStarted = 1;
    static constexpr int kImageAborted = 3;
    static constexpr int kImagePartial = 4;
    static constexpr int kImageCompleted = 5;
    static constexpr int kImageReadError = 6;

    // Those texts in the current language.
    static std::u16string ProcessStarted();
    static std::u16string ProcessCompleted();
    static std::u16string ProcessAborted();
    // "Started on :", "Completed on :" or "Aborted on :" followed by the time now.
    static std::u16string StartedNow();
    static std::u16string CompletedNow();
    static std::u16string AbortedNow();

    // The local time as " %b %d %Y , %I:%M %p" with the month name and AM or PM of the
    // current language.
    static std::u16string TimeText(std::time_t when);
    static std::u16string NowText();

    static void Started(JobWindow* window, const std::u16string& activity);
    // Completed, or aborted when `stopped`.
    static void Ended(JobWindow* window, const std::u16string& activity, bool stopped);
};

#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

class ScanState;
class SettingsStore;

// What the Advance Settings dialog shows and stores, without its widgets.
namespace advance_settings {

// The choices the dialog shows.
struct Values {
    bool saveLog = false;        // "LS"
    bool signatureSearch = true; // "SC", in memory only
    uint32_t readAttempts = 1;   // "RR", 1 to 6
    std::u16string logPath;      // "LPath"
};

inline constexpr uint32_t kMinReadAttempts = 1;
inline constexpr uint32_t kMaxReadAttempts = 6;
// The date formats the dialog lists; no choice among them is stored or used.
inline constexpr std::array<std::u16string_view, 3> kDateFormats = {u"dd/mm/yyyy", u"mm/dd/yyyy",
                                                                    u"yyyy/mm/dd"};

// The dialog's values when it opens: "LS", "RR" and "LPath" read again from the settings file
// (the scan state's values where the file lacks one or cannot be read), "SC" as the scan state
// holds it. A read-attempt count outside 1 to 6, which the file may hold, shows as 1.
Values Load(const SettingsStore& settings, const ScanState& state);
// The list position of a read-attempt count: count minus 1, position 0 for a count outside 1
// to 6.
int ReadAttemptsPosition(uint32_t readAttempts);
// The count at a list position (position plus 1), 1 for a position outside the list.
uint32_t ReadAttemptsAt(int position);
// The log folder and its Browse button take input only while the log is saved on closing.
inline bool LogFolderEnabled(bool saveLog) {
    return saveLog;
}
// OK: the scan state takes every value ("LPath" cut to its limit), and "LS", "RR" and "LPath"
// are written to the settings file. "SC" lasts until the program ends and is not written.
// False when the file could not be saved (the scan state has the values all the same).
bool Store(const Values& values, SettingsStore& settings, ScanState& state);

} // namespace advance_settings

#pragma once

#include "filesystems/found_item.h"
#include "jobs/mask/entry_dates.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The conditions of Tools > File Mask, kept by the scan state from one mask to the next. The
// dialog fills them; the folder tree's mask pass tests each kept file with PassesFileMask.
struct FileMaskSettings {
    // Patterns of the form "*.ext", compared whole; empty: every name.
    std::vector<std::u16string> patterns;
    bool matchCase = false;
    bool showDeleted = true;
    bool showExisting = true;
    bool minimumOn = false;
    uint64_t minimum = 0; // bytes
    bool maximumOn = false;
    uint64_t maximum = 0;
    // No field: no date condition.
    std::optional<EntryDateField> dateField;
    bool daysOn = false;
    int days = 0;
    bool monthsOn = false;
    int months = 0;
    bool betweenOn = false;
    CalendarDate first;
    CalendarDate second;
};

inline constexpr int kMaskMaxDays = 365;
inline constexpr int kMaskMaxMonths = 999;

// The mask text split at every ";" and ",", pieces kept as typed (spaces included, an empty
// piece an empty pattern). A text of one character or none gives no patterns.
std::vector<std::u16string> SplitMaskText(std::u16string_view text);

// A size edit's text in KB as bytes: nullopt for a text that is not a decimal number or whose
// value times 1024 does not fit 64 bits. Spaces around the digits are allowed.
std::optional<uint64_t> KilobytesToBytes(std::u16string_view text);

// 0 when OK may close the dialog, else the string id of the refusal: days first, then months
// (only when days are off), then the size range.
uint32_t CheckFileMask(const FileMaskSettings& settings);

// True without patterns; otherwise the name needs a "." and "*." with the text after its last
// "." must equal a pattern (letters without regard to case unless match case is set).
bool MatchMaskPattern(std::u16string_view name, const FileMaskSettings& settings);

// Whether a kept file passes: extension, deleted or existing, size (limits included) and the
// date condition. A date with month or day zero fails any date condition; a between date not
// picked (all zero) stands for today.
bool PassesFileMask(const FoundItem& item, std::u16string_view name, EntryTimeKind kind,
                    const FileMaskSettings& settings, const CalendarDate& today);

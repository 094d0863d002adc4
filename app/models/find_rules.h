#pragma once

#include "filesystems/found_item.h"
#include "jobs/mask/entry_dates.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What Edit > Find looks for: name patterns and the optional size and date conditions of the
// find dialog, tested on one kept entry at a time. Plain data and functions, without widgets.
struct FindConditions {
    enum class DateRange {
        Months,
        Days,
        Between,
    };
    static constexpr std::size_t kMaxPatterns = 25;

    std::vector<std::u16string> patterns;
    bool matchCase = false;
    // Which entries count: deleted ones, existing ones (at least one is set to search).
    bool deleted = true;
    bool existing = true;
    bool sizeOn = false;
    bool atLeast = true;                     // else at most
    uint64_t sizeLimit = 0;                  // bytes
    std::optional<EntryDateField> dateField; // none: no date condition
    DateRange range = DateRange::Months;
    int months = 1;
    int days = 1;
    CalendarDate first;
    CalendarDate second;
};

// The find text split at ";": a trailing ";" adds no empty pattern, spaces at the start of the
// second and later patterns go, spaces inside stay; at most 25 patterns.
std::vector<std::u16string> SplitFindPatterns(std::u16string_view text);

// A pattern without "." matches the whole name; otherwise pattern and name are split at their
// last "." and name part and extension part each match whole, "*" any run and "?" any one
// character ("*.t*" takes "a.txt", never "a.doc"). A name without "." has an empty extension.
bool MatchesFindPattern(std::u16string_view name, std::u16string_view pattern, bool matchCase);

// The size limit of the find dialog's edit: its value in KB times 1024, in 64 bits.
uint64_t FindSizeLimit(uint64_t kilobytes);

// Whether the entry is a match: a pattern in order, the deleted or existing choice, then the
// size and date conditions. A root record (parent id all ones) never passes a size or date
// search, nor an entry whose chosen time has month or day 0.
bool PassesFind(const FoundItem& item, std::u16string_view name, EntryTimeKind kind,
                const FindConditions& conditions, const CalendarDate& today);

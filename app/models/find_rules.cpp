#include "app/models/find_rules.h"

#include "jobs/mask/file_filter.h"

#include <limits>

namespace {

constexpr uint64_t kRootParentId = ~uint64_t{0};

bool PassesDate(const FoundItem& item, EntryTimeKind kind, const FindConditions& c,
                const CalendarDate& today) {
    const CalendarDate date = EntryDate(item, kind, *c.dateField);
    if (date.month == 0 || date.day == 0)
        return false;
    switch (c.range) {
    case FindConditions::DateRange::Days:
        return IsWithinDays(c.days, date.day, date.month, date.year, today);
    case FindConditions::DateRange::Between:
        return IsBetweenDates(date, c.first, c.second);
    case FindConditions::DateRange::Months:
        return IsWithinMonths(c.months, date.day, date.month, date.year, today);
    }
    return false;
}

} // namespace

std::vector<std::u16string> SplitFindPatterns(std::u16string_view text) {
    std::vector<std::u16string> patterns;
    size_t start = 0;
    while (start < text.size() && patterns.size() < FindConditions::kMaxPatterns) {
        size_t end = text.find(u';', start);
        if (end == std::u16string_view::npos)
            end = text.size();
        std::u16string_view piece = text.substr(start, end - start);
        if (!patterns.empty()) {
            while (!piece.empty() && piece.front() == u' ')
                piece.remove_prefix(1);
        }
        patterns.emplace_back(piece);
        start = end + 1;
    }
    return patterns;
}

bool MatchesFindPattern(std::u16string_view name, std::u16string_view pattern, bool matchCase) {
    const size_t patternDot = pattern.rfind(u'.');
    if (patternDot == std::u16string_view::npos)
        return MatchesWildcard(name, pattern, matchCase);
    const size_t nameDot = name.rfind(u'.');
    const std::u16string_view namePart =
        nameDot == std::u16string_view::npos ? name : name.substr(0, nameDot);
    const std::u16string_view extension =
        nameDot == std::u16string_view::npos ? std::u16string_view{} : name.substr(nameDot + 1);
    return MatchesWildcard(namePart, pattern.substr(0, patternDot), matchCase) &&
           MatchesWildcard(extension, pattern.substr(patternDot + 1), matchCase);
}

uint64_t FindSizeLimit(uint64_t kilobytes) {
    constexpr uint64_t kMax = std::numeric_limits<uint64_t>::max();
    return kilobytes > kMax / 1024 ? kMax : kilobytes * 1024;
}

bool PassesFind(const FoundItem& item, std::u16string_view name, EntryTimeKind kind,
                const FindConditions& c, const CalendarDate& today) {
    bool named = false;
    for (const std::u16string& pattern : c.patterns) {
        if (MatchesFindPattern(name, pattern, c.matchCase)) {
            named = true;
            break;
        }
    }
    if (!named)
        return false;
    if ((item.deleted != 0 && !c.deleted) || (item.deleted == 0 && !c.existing))
        return false;
    const bool root = item.parentId == kRootParentId;
    if (c.sizeOn) {
        if (root)
            return false;
        if (c.atLeast ? item.size < c.sizeLimit : item.size > c.sizeLimit)
            return false;
    }
    if (c.dateField) {
        if (root || !PassesDate(item, kind, c, today))
            return false;
    }
    return true;
}

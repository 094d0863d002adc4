#include "jobs/mask/file_mask.h"

#include "platform/text/text_compare.h"
#include "resources/string_ids.h"

#include <limits>

namespace {

bool EqualText(std::u16string_view a, std::u16string_view b, bool matchCase) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i] && (matchCase || FoldCase(a[i]) != FoldCase(b[i])))
            return false;
    }
    return true;
}

bool IsSpace(char16_t c) {
    return c == u' ' || c == u'\t';
}

CalendarDate OrToday(const CalendarDate& date, const CalendarDate& today) {
    return date == CalendarDate{} ? today : date;
}

bool PassesDate(const FoundItem& item, EntryTimeKind kind, const FileMaskSettings& settings,
                const CalendarDate& today) {
    if (!settings.dateField)
        return true;
    const CalendarDate date = EntryDate(item, kind, *settings.dateField);
    if (settings.daysOn && settings.days != 0 &&
        !IsWithinDays(settings.days, date.day, date.month, date.year, today))
        return false;
    if (settings.monthsOn && settings.months != 0 &&
        !IsWithinMonths(settings.months, date.day, date.month, date.year, today))
        return false;
    if (settings.betweenOn &&
        !IsBetweenDates(date, OrToday(settings.first, today), OrToday(settings.second, today)))
        return false;
    return true;
}

} // namespace

std::vector<std::u16string> SplitMaskText(std::u16string_view text) {
    std::vector<std::u16string> patterns;
    if (text.size() <= 1)
        return patterns;
    size_t start = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == u';' || text[i] == u',') {
            patterns.emplace_back(text.substr(start, i - start));
            start = i + 1;
        }
    }
    return patterns;
}

std::optional<uint64_t> KilobytesToBytes(std::u16string_view text) {
    while (!text.empty() && IsSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsSpace(text.back()))
        text.remove_suffix(1);
    if (text.empty())
        return std::nullopt;
    constexpr uint64_t kLimit = std::numeric_limits<uint64_t>::max() / 1024;
    uint64_t value = 0;
    for (const char16_t c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        const uint64_t digit = static_cast<uint64_t>(c - u'0');
        if (value > (kLimit - digit) / 10)
            return std::nullopt;
        value = value * 10 + digit;
    }
    return value * 1024;
}

uint32_t CheckFileMask(const FileMaskSettings& settings) {
    if (settings.daysOn) {
        if (settings.days > kMaskMaxDays)
            return kMaskTooManyDaysId;
    } else if (settings.monthsOn && settings.months > kMaskMaxMonths) {
        return kMaskTooManyMonthsId;
    }
    // A lone limit is never out of order with the other, unset one.
    if (settings.minimumOn && settings.maximumOn && settings.minimum > settings.maximum)
        return kMaskSizeRangeId;
    return 0;
}

bool MatchMaskPattern(std::u16string_view name, const FileMaskSettings& settings) {
    if (settings.patterns.empty())
        return true;
    const size_t dot = name.rfind(u'.');
    if (dot == std::u16string_view::npos)
        return false;
    std::u16string wanted = u"*.";
    wanted.append(name.substr(dot + 1));
    for (const std::u16string& pattern : settings.patterns) {
        if (EqualText(wanted, pattern, settings.matchCase))
            return true;
    }
    return false;
}

bool PassesFileMask(const FoundItem& item, std::u16string_view name, EntryTimeKind kind,
                    const FileMaskSettings& settings, const CalendarDate& today) {
    bool everyName = false;
    for (const std::u16string& pattern : settings.patterns) {
        everyName = everyName || pattern == u"*.*";
    }
    if (!everyName && !MatchMaskPattern(name, settings))
        return false;
    if (settings.showDeleted != settings.showExisting &&
        (item.deleted != 0) != settings.showDeleted)
        return false;
    if (!settings.showDeleted && !settings.showExisting)
        return false;
    if (settings.minimumOn && item.size < settings.minimum)
        return false;
    if (settings.maximumOn && item.size > settings.maximum)
        return false;
    return PassesDate(item, kind, settings, today);
}

#include "jobs/mask/entry_dates.h"

#include "platform/time/file_time.h"

#include <algorithm>
#include <ctime>

namespace {

uint32_t DosDateOf(const FoundItem& item, EntryDateField field) {
    switch (field) {
    case EntryDateField::Created:
        return item.createdDate;
    case EntryDateField::Modified:
        return item.modifiedDate;
    case EntryDateField::LastAccess:
        return item.lastAccess;
    }
    return 0;
}

uint64_t FileTimeOf(const FoundItem& item, EntryDateField field) {
    switch (field) {
    case EntryDateField::Created:
        return item.NtfsCreatedTime();
    case EntryDateField::Modified:
        return item.NtfsModifiedTime();
    case EntryDateField::LastAccess:
        return item.NtfsChangedTime();
    }
    return 0;
}

CalendarDate CivilDate(int64_t days) {
    const TimeFields fields = CivilFromDays(days);
    return {fields.year, fields.month, fields.day};
}

int64_t DaysOf(const CalendarDate& date) {
    return DaysFromCivil(date.year, date.month, date.day);
}

bool InRange(const CalendarDate& date, const CalendarDate& first, const CalendarDate& last) {
    if (!IsValidDate(date))
        return false;
    const int64_t days = DaysOf(date);
    return days >= DaysOf(first) && days <= DaysOf(last);
}

} // namespace

CalendarDate EntryDate(const FoundItem& item, EntryTimeKind kind, EntryDateField field) {
    if (kind == EntryTimeKind::Ntfs) {
        const uint64_t fileTime = FileTimeOf(item, field);
        if (fileTime == 0)
            return {};
        const TimeFields fields = FileTimeToFields(fileTime);
        return {fields.year, fields.month, fields.day};
    }
    const uint32_t word = DosDateOf(item, field) & 0xFFFF;
    if (word == 0)
        return {};
    return {1980 + static_cast<int>(word >> 9), static_cast<int>((word >> 5) & 0x0F),
            static_cast<int>(word & 0x1F)};
}

CalendarDate LocalToday() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

bool IsValidDate(const CalendarDate& date) {
    return date.month >= 1 && date.month <= 12 && date.day >= 1 &&
           date.day <= DaysInMonth(date.year, date.month);
}

int64_t DateToSeconds(int day, int month, int year) {
    return DaysFromCivil(year, month, day) * 86400;
}

CalendarDate DaysBefore(const CalendarDate& today, int days) {
    return CivilDate(DaysOf(today) - days);
}

CalendarDate MonthsBefore(const CalendarDate& today, int months) {
    // Months counted from year 0 so that the step back crosses year starts by itself.
    const int64_t index = int64_t{today.year} * 12 + (today.month - 1) - months;
    const int64_t year = index >= 0 ? index / 12 : (index - 11) / 12;
    const int month = static_cast<int>(index - year * 12) + 1;
    CalendarDate start{static_cast<int>(year), month, today.day};
    start.day = std::min(start.day, DaysInMonth(start.year, start.month));
    return start;
}

bool IsWithinDays(int days, int day, int month, int year, const CalendarDate& today) {
    return InRange({year, month, day}, DaysBefore(today, days), today);
}

bool IsWithinMonths(int months, int day, int month, int year, const CalendarDate& today) {
    return InRange({year, month, day}, MonthsBefore(today, months), today);
}

bool IsBetweenDates(const CalendarDate& date, const CalendarDate& a, const CalendarDate& b) {
    if (!IsValidDate(date))
        return false;
    const int64_t seconds = DateToSeconds(date.day, date.month, date.year);
    const int64_t first = DateToSeconds(a.day, a.month, a.year);
    const int64_t second = DateToSeconds(b.day, b.month, b.year);
    return seconds >= std::min(first, second) && seconds <= std::max(first, second);
}

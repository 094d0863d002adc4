#include "jobs/entry_dates.h"

#include "platform/file_time.h"

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

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

// Days from 1970-01-01 of a civil date (the algorithm of H. Hinnant's date library).
int64_t DaysFromCivil(int64_t year, int64_t month, int64_t day) {
    year -= month <= 2 ? 1 : 0;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const int64_t yearOfEra = year - era * 400;
    const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

CalendarDate CivilFromDays(int64_t days) {
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const int64_t dayOfEra = days - era * 146097;
    const int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t mp = (5 * dayOfYear + 2) / 153;
    const int64_t day = dayOfYear - (153 * mp + 2) / 5 + 1;
    const int64_t month = mp < 10 ? mp + 3 : mp - 9;
    const int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    return {static_cast<int>(year), static_cast<int>(month), static_cast<int>(day)};
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

int DaysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12)
        return 0;
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool IsValidDate(const CalendarDate& date) {
    return date.month >= 1 && date.month <= 12 && date.day >= 1 &&
           date.day <= DaysInMonth(date.year, date.month);
}

int64_t DateToSeconds(int day, int month, int year) {
    return DaysFromCivil(year, month, day) * 86400;
}

CalendarDate DaysBefore(const CalendarDate& today, int days) {
    return CivilFromDays(DaysOf(today) - days);
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

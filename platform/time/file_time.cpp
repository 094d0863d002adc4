#include "platform/time/file_time.h"

namespace {

constexpr uint64_t kFileTimeTicksPerSecond = 10'000'000;
constexpr uint64_t kNanosecondsPerTick = 100;
constexpr uint64_t kFileTimeLimit = uint64_t{1} << 63;
// Days from 1601-01-01, where FILETIMEs start, to 1970-01-01.
constexpr int64_t kDaysFrom1601To1970 = 134774;
constexpr int64_t kSecondsFrom1601To1970 = kDaysFrom1601To1970 * 86400;

int InRangeOr(uint32_t value, uint32_t low, uint32_t high, int fallback) {
    return value >= low && value <= high ? static_cast<int>(value) : fallback;
}

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

} // namespace

int DaysInMonth(int year, int month) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12)
        return 0;
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

int64_t DaysFromCivil(int64_t year, int64_t month, int64_t day) {
    year -= month <= 2 ? 1 : 0;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const int64_t yearOfEra = year - era * 400;
    const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

TimeFields CivilFromDays(int64_t days) {
    const int64_t z = days + 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t dayOfEra = z - era * 146097;
    const int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t monthIndex = (5 * dayOfYear + 2) / 153;
    TimeFields fields;
    fields.day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    fields.month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    fields.year = static_cast<int>(yearOfEra + era * 400 + (fields.month <= 2 ? 1 : 0));
    return fields;
}

TimeFields DosDateTimeToFields(uint32_t time, uint32_t date) {
    TimeFields fields;
    fields.year = InRangeOr((date >> 9) + 1980, 1, 9999, 0);
    fields.month = InRangeOr((date >> 5) & 15, 1, 12, 12);
    fields.day = InRangeOr(date & 31, 1, 31, 0);
    fields.hour = InRangeOr(time >> 11, 1, 23, 0);
    fields.minute = InRangeOr((time >> 5) & 63, 1, 60, 0);
    fields.second = InRangeOr((time & 31) * 2, 1, 60, 0);
    return fields;
}

TimeFields FileTimeToFields(uint64_t fileTime) {
    const uint64_t seconds = fileTime / kFileTimeTicksPerSecond;
    const uint64_t secondOfDay = seconds % 86400;
    TimeFields fields = CivilFromDays(static_cast<int64_t>(seconds / 86400) - kDaysFrom1601To1970);
    fields.hour = static_cast<int>(secondOfDay / 3600);
    fields.minute = static_cast<int>(secondOfDay / 60 % 60);
    fields.second = static_cast<int>(secondOfDay % 60);
    return fields;
}

std::optional<timespec> DosLocalTimeToTimespec(uint16_t time, uint16_t date) {
    if (date == 0)
        return std::nullopt;
    const int year = 1980 + (date >> 9);
    const int month = (date >> 5) & 15;
    const int day = date & 31;
    const int hour = time >> 11;
    const int minute = (time >> 5) & 63;
    const int second = (time & 31) * 2;
    if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) || hour > 23 ||
        minute > 59 || second > 58)
        return std::nullopt;

    tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    // Whether daylight saving applied on that day is for the zone's rules to say.
    local.tm_isdst = -1;
    const time_t seconds = std::mktime(&local);
    // DOS dates start in 1980, so -1 is never a real answer here.
    if (seconds == static_cast<time_t>(-1))
        return std::nullopt;
    timespec result{};
    result.tv_sec = seconds;
    result.tv_nsec = 0;
    return result;
}

std::optional<timespec> FileTimeToTimespec(uint64_t fileTime) {
    if (fileTime == 0 || fileTime >= kFileTimeLimit)
        return std::nullopt;
    timespec result{};
    result.tv_sec = static_cast<time_t>(static_cast<int64_t>(fileTime / kFileTimeTicksPerSecond) -
                                        kSecondsFrom1601To1970);
    result.tv_nsec = static_cast<long>(fileTime % kFileTimeTicksPerSecond * kNanosecondsPerTick);
    return result;
}

#pragma once

#include <cstdint>
#include <ctime>
#include <optional>

// Time stamps as FAT and NTFS store them: FAT keeps local time as packed DOS date and time words,
// NTFS keeps UTC as a FILETIME (100-nanosecond ticks since 1601-01-01).

// Calendar fields for display.
struct TimeFields {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// Proleptic Gregorian calendar maths: the days of a month (0 for a month outside 1 to 12),
// the day number counted from 1970-01-01 of a date (fields taken as given), and back.
int DaysInMonth(int year, int month);
int64_t DaysFromCivil(int64_t year, int64_t month, int64_t day);
TimeFields CivilFromDays(int64_t days);

// Out-of-range fields of a damaged entry are replaced, never rejected, so every entry shows a
// date; a month of 0 shows as 12.
TimeFields DosDateTimeToFields(uint32_t time, uint32_t date);

// A FILETIME below 2^63 as UTC calendar fields.
TimeFields FileTimeToFields(uint64_t fileTime);

// The instant a DOS date and time name, read as local time of the process's time zone (TZ).
// nullopt for a date of 0 or any field out of range (month 0 or above 12, a day the month does
// not have, hour above 23, minute above 59, second above 58).
std::optional<timespec> DosLocalTimeToTimespec(uint16_t time, uint16_t date);

// The instant of a FILETIME; nullopt for 0 (never set) and for values of 2^63 and above. Times
// before 1970 give negative seconds.
std::optional<timespec> FileTimeToTimespec(uint64_t fileTime);

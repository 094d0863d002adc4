#pragma once

#include "filesystems/found_item.h"

#include <cstdint>

// A calendar day as the mask and find compare them. A field the entry left zero stays zero;
// only the file list's display substitutes values for damaged fields.
struct CalendarDate {
    int year = 0;
    int month = 0;
    int day = 0;
    bool operator==(const CalendarDate&) const = default;
};

enum class EntryTimeKind {
    Fat,
    Ntfs,
};

// Which of an entry's three times a mask or a find tests.
enum class EntryDateField {
    Created,
    Modified,
    LastAccess,
};

// The entry's time as a calendar day: FAT entries from their DOS date word (a zero word is all
// zero), NTFS entries from their FILETIME in UTC (0, never set, is all zero).
CalendarDate EntryDate(const FoundItem& item, EntryTimeKind kind, EntryDateField field);

// Today in the process's local time zone.
CalendarDate LocalToday();

// A date whose month lies in 1..12 and whose day the month has.
bool IsValidDate(const CalendarDate& date);

// Days since 1970-01-01 of a proleptic Gregorian date (valid or not: fields are taken as
// given), times 86,400: the order of two dates is the order of their seconds.
int64_t DateToSeconds(int day, int month, int year);

// The first day of "the last N days": today minus N calendar days.
CalendarDate DaysBefore(const CalendarDate& today, int days);
// The first day of "the last N months": the same day N months back, clamped to that month's
// length (31 March minus one month is the last day of February).
CalendarDate MonthsBefore(const CalendarDate& today, int months);

// Whether the date lies from the first day of the last N days (or months) up to today, both
// included. Invalid dates never do.
bool IsWithinDays(int days, int day, int month, int year, const CalendarDate& today);
bool IsWithinMonths(int months, int day, int month, int year, const CalendarDate& today);
// Whether the date lies between the two, in either order, both included.
bool IsBetweenDates(const CalendarDate& date, const CalendarDate& a, const CalendarDate& b);

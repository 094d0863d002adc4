#include "jobs/mask/entry_dates.h"

#include "platform/time/file_time.h"

#include <gtest/gtest.h>

#include <ostream>

namespace {

void PrintDate(const CalendarDate& d, std::ostream* out) {
    *out << d.year << "-" << d.month << "-" << d.day;
}

struct StartCase {
    const char* what;
    CalendarDate today;
    int count;
    CalendarDate start;
};

void PrintTo(const StartCase& c, std::ostream* out) {
    *out << c.what;
}

class DaysBeforeTest : public ::testing::TestWithParam<StartCase> {};

TEST_P(DaysBeforeTest, CountsCalendarDaysBack) {
    EXPECT_EQ(DaysBefore(GetParam().today, GetParam().count), GetParam().start);
}

INSTANTIATE_TEST_SUITE_P(
    Dates, DaysBeforeTest,
    ::testing::Values(StartCase{"10 days on 5 March", {2025, 3, 5}, 10, {2025, 2, 23}},
                      StartCase{"10 days on 5 March, leap year", {2024, 3, 5}, 10, {2024, 2, 24}},
                      StartCase{"one day on 1 January", {2025, 1, 1}, 1, {2024, 12, 31}},
                      StartCase{"365 days", {2025, 6, 15}, 365, {2024, 6, 15}},
                      StartCase{"no days", {2025, 6, 15}, 0, {2025, 6, 15}},
                      StartCase{"1900 is not leap", {1900, 3, 1}, 1, {1900, 2, 28}},
                      StartCase{"2000 is leap", {2000, 3, 1}, 1, {2000, 2, 29}}));

class MonthsBeforeTest : public ::testing::TestWithParam<StartCase> {};

TEST_P(MonthsBeforeTest, SameDayMonthsBackClamped) {
    EXPECT_EQ(MonthsBefore(GetParam().today, GetParam().count), GetParam().start);
}

INSTANTIATE_TEST_SUITE_P(
    Dates, MonthsBeforeTest,
    ::testing::Values(StartCase{"3 months on 15 March", {2025, 3, 15}, 3, {2024, 12, 15}},
                      StartCase{"N equals the month", {2025, 5, 20}, 5, {2024, 12, 20}},
                      StartCase{"31 March minus 1", {2025, 3, 31}, 1, {2025, 2, 28}},
                      StartCase{"31 March minus 1, leap", {2024, 3, 31}, 1, {2024, 2, 29}},
                      StartCase{"31 May minus 1", {2025, 5, 31}, 1, {2025, 4, 30}},
                      StartCase{"12 months", {2025, 3, 15}, 12, {2024, 3, 15}},
                      StartCase{"999 months", {2025, 3, 15}, 999, {1941, 12, 15}},
                      StartCase{"inside the year", {2025, 9, 10}, 2, {2025, 7, 10}}));

struct WithinCase {
    const char* what;
    bool months;
    int count;
    CalendarDate date;
    bool within;
};

void PrintTo(const WithinCase& c, std::ostream* out) {
    *out << c.what << " ";
    PrintDate(c.date, out);
}

class WithinTest : public ::testing::TestWithParam<WithinCase> {};

TEST_P(WithinTest, FromTheStartToTodayBothIncluded) {
    const CalendarDate today{2025, 3, 15};
    const WithinCase& c = GetParam();
    const bool within = c.months ? IsWithinMonths(c.count, c.date.day, c.date.month, c.date.year,
                                                  today)
                                 : IsWithinDays(c.count, c.date.day, c.date.month, c.date.year,
                                                today);
    EXPECT_EQ(within, c.within);
}

INSTANTIATE_TEST_SUITE_P(
    Dates, WithinTest,
    ::testing::Values(WithinCase{"3 months: the first day", true, 3, {2024, 12, 15}, true},
                      WithinCase{"3 months: the day before", true, 3, {2024, 12, 14}, false},
                      WithinCase{"3 months: mid January", true, 3, {2025, 1, 15}, true},
                      WithinCase{"3 months: today", true, 3, {2025, 3, 15}, true},
                      WithinCase{"3 months: tomorrow", true, 3, {2025, 3, 16}, false},
                      WithinCase{"days: first day", false, 20, {2025, 2, 23}, true},
                      WithinCase{"days: the day before", false, 20, {2025, 2, 22}, false},
                      WithinCase{"month zero", false, 300, {2025, 0, 10}, false},
                      WithinCase{"day zero", true, 12, {2025, 3, 0}, false},
                      WithinCase{"30 February", true, 12, {2025, 2, 30}, false}));

TEST(DateToSecondsTest, OrdersDatesAndCountsFromTheEpoch) {
    EXPECT_EQ(DateToSeconds(1, 1, 1970), 0);
    EXPECT_EQ(DateToSeconds(2, 1, 1970), 86400);
    EXPECT_EQ(DateToSeconds(1, 3, 2024) - DateToSeconds(28, 2, 2024), 2 * 86400);
    EXPECT_LT(DateToSeconds(31, 12, 1999), DateToSeconds(1, 1, 2000));
    // The program's clock: the same instant mktime gives for midnight UTC.
    EXPECT_EQ(DateToSeconds(9, 12, 2026), 1796774400);
}

TEST(BetweenDatesTest, EitherOrderBothEndsIncluded) {
    const CalendarDate a{2024, 1, 10};
    const CalendarDate b{2024, 2, 10};
    for (const auto& [first, second] : {std::pair{a, b}, std::pair{b, a}}) {
        EXPECT_TRUE(IsBetweenDates({2024, 1, 10}, first, second));
        EXPECT_TRUE(IsBetweenDates({2024, 2, 10}, first, second));
        EXPECT_TRUE(IsBetweenDates({2024, 1, 31}, first, second));
        EXPECT_FALSE(IsBetweenDates({2024, 1, 9}, first, second));
        EXPECT_FALSE(IsBetweenDates({2024, 2, 11}, first, second));
        EXPECT_FALSE(IsBetweenDates({2024, 0, 0}, first, second));
    }
}

struct DecodeCase {
    const char* what;
    EntryTimeKind kind;
    FoundItem item;
    EntryDateField field;
    CalendarDate date;
};

void PrintTo(const DecodeCase& c, std::ostream* out) {
    *out << c.what;
}

FoundItem FatItem(uint32_t created, uint32_t modified, uint32_t accessed) {
    FoundItem item;
    item.createdDate = created;
    item.modifiedDate = modified;
    item.lastAccess = accessed;
    return item;
}

FoundItem NtfsItem(uint64_t changed, uint64_t modified, uint64_t created) {
    FoundItem item;
    item.SetNtfsTimes(changed, modified, created);
    return item;
}

constexpr uint32_t Dos(int year, int month, int day) {
    return static_cast<uint32_t>(((year - 1980) << 9) | (month << 5) | day);
}

// 2024-02-29 12:00 UTC and 2001-09-09 01:46:40 UTC as FILETIMEs.
constexpr uint64_t kLeapNoon = (1709208000ULL + 11644473600ULL) * 10000000ULL;
constexpr uint64_t kBillion = (1000000000ULL + 11644473600ULL) * 10000000ULL;

class EntryDateTest : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(EntryDateTest, DecodesTheChosenFieldKeepingZeros) {
    EXPECT_EQ(EntryDate(GetParam().item, GetParam().kind, GetParam().field), GetParam().date);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, EntryDateTest,
    ::testing::Values(
        DecodeCase{"FAT created", EntryTimeKind::Fat,
                   FatItem(Dos(2024, 2, 29), Dos(2020, 1, 1), Dos(2021, 6, 7)),
                   EntryDateField::Created, {2024, 2, 29}},
        DecodeCase{"FAT modified", EntryTimeKind::Fat,
                   FatItem(Dos(2024, 2, 29), Dos(2020, 1, 1), Dos(2021, 6, 7)),
                   EntryDateField::Modified, {2020, 1, 1}},
        DecodeCase{"FAT accessed", EntryTimeKind::Fat,
                   FatItem(Dos(2024, 2, 29), Dos(2020, 1, 1), Dos(2021, 6, 7)),
                   EntryDateField::LastAccess, {2021, 6, 7}},
        DecodeCase{"FAT zero word", EntryTimeKind::Fat, FatItem(0, 0, 0),
                   EntryDateField::Created, {0, 0, 0}},
        DecodeCase{"FAT month and day zero stay zero", EntryTimeKind::Fat,
                   FatItem(Dos(2000, 0, 0), 0, 0), EntryDateField::Created, {2000, 0, 0}},
        DecodeCase{"NTFS created", EntryTimeKind::Ntfs, NtfsItem(0, kBillion, kLeapNoon),
                   EntryDateField::Created, {2024, 2, 29}},
        DecodeCase{"NTFS modified", EntryTimeKind::Ntfs, NtfsItem(0, kBillion, kLeapNoon),
                   EntryDateField::Modified, {2001, 9, 9}},
        DecodeCase{"NTFS never set", EntryTimeKind::Ntfs, NtfsItem(0, 0, 0),
                   EntryDateField::LastAccess, {0, 0, 0}}));

TEST(EntryDateTest, ListDisplaySubstitutesWhereTheDecoderKeepsZero) {
    // The file list shows month 0 as 12; the mask and find must see the 0.
    const FoundItem item = FatItem(Dos(2000, 0, 5), 0, 0);
    EXPECT_EQ(DosDateTimeToFields(0, item.createdDate).month, 12);
    EXPECT_EQ(EntryDate(item, EntryTimeKind::Fat, EntryDateField::Created).month, 0);
}

} // namespace

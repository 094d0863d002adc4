#include "platform/time/file_time.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>

namespace {

constexpr uint64_t kFileTimeOf1970 = 116444736000000000;
constexpr uint64_t kTicksPerSecond = 10'000'000;

uint16_t DosDate(int year, int month, int day) {
    return static_cast<uint16_t>(((year - 1980) << 9) | (month << 5) | day);
}

uint16_t DosTime(int hour, int minute, int second) {
    return static_cast<uint16_t>((hour << 11) | (minute << 5) | (second / 2));
}

// Sets TZ for one test and puts the previous value back afterwards.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* zone) {
        const char* previous = std::getenv("TZ");
        if (previous != nullptr)
            m_previous = previous;
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    ~ScopedTimeZone() {
        if (m_previous)
            ::setenv("TZ", m_previous->c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

private:
    std::optional<std::string> m_previous;
};

TEST(FileTimeTest, DosTimeInUtc) {
    ScopedTimeZone zone("UTC");
    const auto first = DosLocalTimeToTimespec(0, DosDate(1980, 1, 1));
    ASSERT_TRUE(first);
    EXPECT_EQ(first->tv_sec, 315532800);
    EXPECT_EQ(first->tv_nsec, 0);

    // 2021-03-04 05:06:58 UTC; seconds are stored halved.
    const auto later = DosLocalTimeToTimespec(DosTime(5, 6, 58), DosDate(2021, 3, 4));
    ASSERT_TRUE(later);
    EXPECT_EQ(later->tv_sec, 1614834418);

    // The last date DOS can hold: 2107-12-31 23:59:58.
    const auto last = DosLocalTimeToTimespec(DosTime(23, 59, 58), DosDate(2107, 12, 31));
    ASSERT_TRUE(last);
    EXPECT_EQ(last->tv_sec, 4354819198);

    // A leap day.
    EXPECT_TRUE(DosLocalTimeToTimespec(0, DosDate(2000, 2, 29)));
}

TEST(FileTimeTest, DosTimeIsLocalTimeWithDaylightSaving) {
    if (!std::filesystem::exists("/usr/share/zoneinfo/Europe/Berlin"))
        GTEST_SKIP() << "no time zone data";
    ScopedTimeZone zone("Europe/Berlin");
    // Winter: UTC+1.
    const auto winter = DosLocalTimeToTimespec(DosTime(12, 0, 0), DosDate(2021, 1, 15));
    ASSERT_TRUE(winter);
    EXPECT_EQ(winter->tv_sec, 1610712000 - 3600);
    // Summer: UTC+2.
    const auto summer = DosLocalTimeToTimespec(DosTime(12, 0, 0), DosDate(2021, 7, 15));
    ASSERT_TRUE(summer);
    EXPECT_EQ(summer->tv_sec, 1626350400 - 7200);
}

TEST(FileTimeTest, DosTimeWithBadFieldsIsMissing) {
    ScopedTimeZone zone("UTC");
    EXPECT_FALSE(DosLocalTimeToTimespec(DosTime(12, 0, 0), 0));
    EXPECT_FALSE(DosLocalTimeToTimespec(0, DosDate(2000, 0, 1)));
    EXPECT_FALSE(DosLocalTimeToTimespec(0, DosDate(2000, 13, 1)));
    EXPECT_FALSE(DosLocalTimeToTimespec(0, DosDate(2000, 1, 0)));
    EXPECT_FALSE(DosLocalTimeToTimespec(0, DosDate(2001, 2, 29)));
    EXPECT_FALSE(DosLocalTimeToTimespec(0, DosDate(2000, 4, 31)));
    EXPECT_FALSE(DosLocalTimeToTimespec(DosTime(24, 0, 0), DosDate(2000, 1, 1)));
    EXPECT_FALSE(DosLocalTimeToTimespec(DosTime(0, 60, 0), DosDate(2000, 1, 1)));
    EXPECT_FALSE(DosLocalTimeToTimespec(DosTime(0, 0, 60), DosDate(2000, 1, 1)));
    EXPECT_FALSE(DosLocalTimeToTimespec(0xFFFF, 0xFFFF));
}

TEST(FileTimeTest, FileTimeKnownValues) {
    const auto epoch = FileTimeToTimespec(kFileTimeOf1970);
    ASSERT_TRUE(epoch);
    EXPECT_EQ(epoch->tv_sec, 0);
    EXPECT_EQ(epoch->tv_nsec, 0);

    // 2021-03-04 05:06:58.1234567 UTC.
    const auto later = FileTimeToTimespec(kFileTimeOf1970 + 1614834418 * kTicksPerSecond + 1234567);
    ASSERT_TRUE(later);
    EXPECT_EQ(later->tv_sec, 1614834418);
    EXPECT_EQ(later->tv_nsec, 123456700);

    // One tick after 1601-01-01: far before 1970, with the fraction still positive.
    const auto first = FileTimeToTimespec(1);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->tv_sec, -11644473600);
    EXPECT_EQ(first->tv_nsec, 100);

    const auto justBefore1970 = FileTimeToTimespec(kFileTimeOf1970 - 1);
    ASSERT_TRUE(justBefore1970);
    EXPECT_EQ(justBefore1970->tv_sec, -1);
    EXPECT_EQ(justBefore1970->tv_nsec, 999999900);

    const auto largest = FileTimeToTimespec((uint64_t{1} << 63) - 1);
    ASSERT_TRUE(largest);
    EXPECT_EQ(largest->tv_sec, 922337203685 - 11644473600);
}

TEST(FileTimeTest, FileTimeZeroAndTopBitAreMissing) {
    EXPECT_FALSE(FileTimeToTimespec(0));
    EXPECT_FALSE(FileTimeToTimespec(uint64_t{1} << 63));
    EXPECT_FALSE(FileTimeToTimespec(UINT64_MAX));
}

TEST(FileTimeTest, FieldsOfKnownTimes) {
    const TimeFields epoch = FileTimeToFields(kFileTimeOf1970);
    EXPECT_EQ(epoch.year, 1970);
    EXPECT_EQ(epoch.month, 1);
    EXPECT_EQ(epoch.day, 1);
    EXPECT_EQ(epoch.hour, 0);

    const TimeFields leap = FileTimeToFields(kFileTimeOf1970 + 951827696 * kTicksPerSecond);
    EXPECT_EQ(leap.year, 2000);
    EXPECT_EQ(leap.month, 2);
    EXPECT_EQ(leap.day, 29);
    EXPECT_EQ(leap.hour, 12);
    EXPECT_EQ(leap.minute, 34);
    EXPECT_EQ(leap.second, 56);

    const TimeFields dos = DosDateTimeToFields(DosTime(5, 6, 58), DosDate(2021, 3, 4));
    EXPECT_EQ(dos.year, 2021);
    EXPECT_EQ(dos.month, 3);
    EXPECT_EQ(dos.day, 4);
    EXPECT_EQ(dos.hour, 5);
    EXPECT_EQ(dos.minute, 6);
    EXPECT_EQ(dos.second, 58);
    // A damaged month shows as 12 rather than vanishing.
    EXPECT_EQ(DosDateTimeToFields(0, DosDate(2000, 0, 1)).month, 12);
}

} // namespace

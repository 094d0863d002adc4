#include "jobs/mask/file_mask.h"

#include "platform/text/utf_conversion.h"
#include "resources/string_ids.h"

#include <gtest/gtest.h>

#include <limits>
#include <ostream>

namespace {

TEST(SplitMaskTextTest, KeepsEveryPieceWhole) {
    struct Case {
        std::u16string text;
        std::vector<std::u16string> patterns;
    };
    const std::vector<Case> cases = {
        {u"*", {}},
        {u"", {}},
        {u"*.*", {u"*.*"}},
        {u"*.doc;*.c", {u"*.doc", u"*.c"}},
        {u"*.jpeg,*.c;*.h", {u"*.jpeg", u"*.c", u"*.h"}},
        {u"*.doc; *.txt", {u"*.doc", u" *.txt"}},
        {u"*.doc;;*.txt;", {u"*.doc", u"", u"*.txt", u""}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SplitMaskText(c.text), c.patterns) << Utf16ToUtf8(c.text);
    }
}

// A pattern is a whole extension: no wildcard inside it, spaces part of it.
TEST(MatchMaskPatternTest, ComparesTheWholeExtension) {
    struct Case {
        std::u16string pattern;
        std::u16string name;
        bool matchCase;
        bool matches;
    };
    const Case cases[] = {
        {u"*.jpg", u"photo.jpg", false, true},    {u"*.jpg", u"photo.JPG", false, true},
        {u"*.jpg", u"photo.JPG", true, false},    {u"*.jpg", u"photo.jpeg", false, false},
        {u"*.jp*", u"photo.jpg", false, false},   {u"*.jp*", u"photo.jpeg", false, false},
        {u"*.jp?", u"photo.jpg", false, false},   {u"*.jp*", u"odd.jp*", false, true},
        {u" *.jpg", u"photo.jpg", false, false},  {u"*.jpg ", u"photo.jpg", false, false},
        {u"*.gz", u"backup.tar.gz", false, true}, {u"*.tar.gz", u"backup.tar.gz", false, false},
        {u"*.jpg", u"jpg", false, false},
    };
    for (const Case& c : cases) {
        FileMaskSettings settings;
        settings.patterns = {c.pattern};
        settings.matchCase = c.matchCase;
        EXPECT_EQ(MatchMaskPattern(c.name, settings), c.matches)
            << Utf16ToUtf8(c.pattern) << " " << Utf16ToUtf8(c.name);
    }
}

TEST(KilobytesToBytesTest, SixtyFourBitsRefusingOnlyOverflow) {
    constexpr uint64_t kMax = std::numeric_limits<uint64_t>::max() / 1024;
    const std::u16string largest = Utf8ToUtf16(std::to_string(kMax));
    const std::u16string beyond = Utf8ToUtf16(std::to_string(kMax + 1));
    EXPECT_EQ(KilobytesToBytes(u"10"), 10240u);
    EXPECT_EQ(KilobytesToBytes(u" 0 "), 0u);
    EXPECT_EQ(KilobytesToBytes(u"4194304"), 4294967296u);
    EXPECT_EQ(KilobytesToBytes(largest), kMax * 1024);
    EXPECT_EQ(KilobytesToBytes(beyond), std::nullopt);
    EXPECT_EQ(KilobytesToBytes(u"99999999999999999999999"), std::nullopt);
    EXPECT_EQ(KilobytesToBytes(u""), std::nullopt);
    EXPECT_EQ(KilobytesToBytes(u"12a"), std::nullopt);
    EXPECT_EQ(KilobytesToBytes(u"-1"), std::nullopt);
}

TEST(CheckFileMaskTest, RefusesOutOfRangeNumbersAndReversedSizes) {
    struct Case {
        const char* what;
        FileMaskSettings settings;
        uint32_t refusal;
    };
    FileMaskSettings days366;
    days366.daysOn = true;
    days366.days = 366;
    FileMaskSettings days365 = days366;
    days365.days = 365;
    FileMaskSettings months1000;
    months1000.monthsOn = true;
    months1000.months = 1000;
    FileMaskSettings months999 = months1000;
    months999.months = 999;
    FileMaskSettings reversed;
    reversed.minimumOn = reversed.maximumOn = true;
    reversed.minimum = 10 * 1024;
    reversed.maximum = 5 * 1024;
    FileMaskSettings equal = reversed;
    equal.maximum = equal.minimum;
    FileMaskSettings minimumOnly = reversed;
    minimumOnly.maximumOn = false;
    const std::vector<Case> cases = {
        {"defaults", FileMaskSettings{}, 0},
        {"366 days", days366, kMaskTooManyDaysId},
        {"365 days", days365, 0},
        {"1000 months", months1000, kMaskTooManyMonthsId},
        {"999 months", months999, 0},
        {"10 KB to 5 KB", reversed, kMaskSizeRangeId},
        {"equal limits", equal, 0},
        {"a lone minimum", minimumOnly, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CheckFileMask(c.settings), c.refusal) << c.what;
    }
}

struct PatternCase {
    const char16_t* name;
    std::vector<std::u16string> patterns;
    bool matchCase;
    bool passes;
};

void PrintTo(const PatternCase& c, std::ostream* out) {
    *out << Utf16ToUtf8(c.name) << (c.matchCase ? " (case)" : "");
}

class MaskPatternTest : public ::testing::TestWithParam<PatternCase> {};

TEST_P(MaskPatternTest, ExtensionsCompareWhole) {
    FileMaskSettings settings;
    settings.patterns = GetParam().patterns;
    settings.matchCase = GetParam().matchCase;
    FoundItem file;
    file.size = 100;
    EXPECT_EQ(PassesFileMask(file, GetParam().name, EntryTimeKind::Fat, settings, {2025, 3, 15}),
              GetParam().passes);
}

INSTANTIATE_TEST_SUITE_P(Patterns, MaskPatternTest,
                         ::testing::Values(PatternCase{u"a.doc", {u"*.DOC"}, false, true},
                                           PatternCase{u"a.doc", {u"*.DOC"}, true, false},
                                           PatternCase{u"a.DOC", {u"*.DOC"}, true, true},
                                           PatternCase{u"a.txt", {u"*.doc", u"*.*"}, true, true},
                                           PatternCase{u"readme", {u"*.doc", u"*.*"}, false, true},
                                           PatternCase{u"readme", {u"*.doc"}, false, false},
                                           PatternCase{u"a.c", {u"*.cpp", u"*.c"}, false, true},
                                           PatternCase{u"a.cpp", {u"*.cpp", u"*.c"}, false, true},
                                           PatternCase{u"a.cp", {u"*.cpp", u"*.c"}, false, false},
                                           PatternCase{
                                               u"a.txt", {u"*.doc", u" *.txt"}, false, false},
                                           PatternCase{u"a.tar.gz", {u"*.gz"}, false, true},
                                           PatternCase{u"a.tar.gz", {u"*.tar"}, false, false},
                                           PatternCase{u"anything", {}, false, true}));

struct ConditionCase {
    const char* what;
    FoundItem item;
    FileMaskSettings settings;
    bool passes;
};

void PrintTo(const ConditionCase& c, std::ostream* out) {
    *out << c.what;
}

constexpr uint32_t Dos(int year, int month, int day) {
    return static_cast<uint32_t>(((year - 1980) << 9) | (month << 5) | day);
}

FoundItem File(uint64_t size, bool deleted, uint32_t modified = Dos(2025, 3, 1)) {
    FoundItem item;
    item.size = size;
    item.deleted = deleted ? 1 : 0;
    item.modifiedDate = modified;
    item.createdDate = Dos(2010, 5, 5);
    return item;
}

FileMaskSettings Only(bool deleted, bool existing) {
    FileMaskSettings s;
    s.showDeleted = deleted;
    s.showExisting = existing;
    return s;
}

FileMaskSettings Sizes(std::optional<uint64_t> minimum, std::optional<uint64_t> maximum) {
    FileMaskSettings s;
    s.minimumOn = minimum.has_value();
    s.minimum = minimum.value_or(0);
    s.maximumOn = maximum.has_value();
    s.maximum = maximum.value_or(0);
    return s;
}

FileMaskSettings Modified(int days, int months) {
    FileMaskSettings s;
    s.dateField = EntryDateField::Modified;
    s.daysOn = days != 0;
    s.days = days;
    s.monthsOn = months != 0;
    s.months = months;
    return s;
}

FileMaskSettings Between(CalendarDate a, CalendarDate b) {
    FileMaskSettings s;
    s.dateField = EntryDateField::Created;
    s.betweenOn = true;
    s.first = a;
    s.second = b;
    return s;
}

class MaskConditionTest : public ::testing::TestWithParam<ConditionCase> {};

TEST_P(MaskConditionTest, EveryConditionMustHold) {
    const ConditionCase& c = GetParam();
    EXPECT_EQ(PassesFileMask(c.item, u"a.txt", EntryTimeKind::Fat, c.settings, {2025, 3, 15}),
              c.passes);
}

INSTANTIATE_TEST_SUITE_P(
    Conditions, MaskConditionTest,
    ::testing::Values(
        ConditionCase{"deleted only: deleted", File(1, true), Only(true, false), true},
        ConditionCase{"deleted only: existing", File(1, false), Only(true, false), false},
        ConditionCase{"existing only: existing", File(1, false), Only(false, true), true},
        ConditionCase{"existing only: deleted", File(1, true), Only(false, true), false},
        ConditionCase{"both", File(1, true), Only(true, true), true},
        ConditionCase{"at the minimum", File(1024, false), Sizes(1024, {}), true},
        ConditionCase{"below the minimum", File(1023, false), Sizes(1024, {}), false},
        ConditionCase{"at the maximum", File(2048, false), Sizes({}, 2048), true},
        ConditionCase{"above the maximum", File(2049, false), Sizes({}, 2048), false},
        ConditionCase{"beyond 4 GiB", File(5ULL << 32, false), Sizes(4ULL << 32, {}), true},
        ConditionCase{"last 14 days", File(1, false), Modified(14, 0), true},
        ConditionCase{"last 13 days", File(1, false), Modified(13, 0), false},
        ConditionCase{"last month", File(1, false), Modified(0, 1), true},
        ConditionCase{"zero date never passes", File(1, false, 0), Modified(0, 999), false},
        ConditionCase{"between, created", File(1, false), Between({2010, 5, 5}, {2009, 1, 1}),
                      true},
        ConditionCase{"between, outside", File(1, false), Between({2010, 5, 6}, {2011, 1, 1}),
                      false},
        ConditionCase{"between today and unpicked", File(1, false, Dos(2025, 3, 15)),
                      [] {
                          FileMaskSettings s = Between({}, {});
                          s.dateField = EntryDateField::Modified;
                          return s;
                      }(),
                      true}));

} // namespace

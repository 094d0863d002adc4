#include "app/models/find_rules.h"

#include "platform/text/utf_conversion.h"

#include <gtest/gtest.h>

#include <ostream>

namespace {

TEST(SplitFindPatternsTest, DropsLeadingSpacesOfLaterPatternsAndTheTrailingPiece) {
    EXPECT_EQ(SplitFindPatterns(u"*.txt; report.doc"),
              (std::vector<std::u16string>{u"*.txt", u"report.doc"}));
    EXPECT_EQ(SplitFindPatterns(u" a b.c;  d e;"),
              (std::vector<std::u16string>{u" a b.c", u"d e"}));
    EXPECT_EQ(SplitFindPatterns(u""), std::vector<std::u16string>{});
    std::u16string many;
    for (int i = 0; i < 30; ++i)
        many += u"p" + Utf8ToUtf16(std::to_string(i)) + u";";
    const std::vector<std::u16string> patterns = SplitFindPatterns(many);
    ASSERT_EQ(patterns.size(), FindConditions::kMaxPatterns);
    EXPECT_EQ(patterns.back(), u"p24");
}

struct NameCase {
    const char16_t* pattern;
    const char16_t* name;
    bool matchCase;
    bool matches;
};

void PrintTo(const NameCase& c, std::ostream* out) {
    *out << Utf16ToUtf8(c.pattern) << " ~ " << Utf16ToUtf8(c.name);
}

class FindPatternTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(FindPatternTest, NameAndExtensionPartsMatchWhole) {
    EXPECT_EQ(MatchesFindPattern(GetParam().name, GetParam().pattern, GetParam().matchCase),
              GetParam().matches);
}

INSTANTIATE_TEST_SUITE_P(
    Patterns, FindPatternTest,
    ::testing::Values(
        NameCase{u"*.txt", u"a.TXT", false, true}, NameCase{u"*.txt", u"a.TXT", true, false},
        NameCase{u"report.doc", u"Report.doc", false, true},
        NameCase{u"report.doc", u"Report.doc", true, false},
        NameCase{u"data", u"DATA", false, true}, NameCase{u"data", u"data.txt", false, false},
        NameCase{u"data", u"mydata", false, false}, NameCase{u"?.c", u"a.c", false, true},
        NameCase{u"?.c", u"ab.c", false, false}, NameCase{u"*.t*", u"a.txt", false, true},
        NameCase{u"*.t*", u"a.doc", false, false}, NameCase{u"*.*", u"readme", false, true},
        NameCase{u"*.txt", u"readme", false, false},
        NameCase{u"a*b*c.txt", u"axxbyyc.txt", false, true},
        NameCase{u"a*b*c.txt", u"axxcyyb.txt", false, false}, NameCase{u"*.?", u"a.c", false, true},
        NameCase{u"*.?", u"a.cc", false, false}, NameCase{u"name.", u"name", false, true}));

struct ConditionCase {
    const char* what;
    FoundItem item;
    FindConditions conditions;
    bool passes;
};

void PrintTo(const ConditionCase& c, std::ostream* out) {
    *out << c.what;
}

constexpr uint32_t Dos(int year, int month, int day) {
    return static_cast<uint32_t>(((year - 1980) << 9) | (month << 5) | day);
}

FoundItem Entry(uint64_t id, uint64_t size, bool deleted, uint64_t parent = 0) {
    FoundItem item;
    item.entryId = id;
    item.parentId = parent;
    item.size = size;
    item.deleted = deleted ? 1 : 0;
    item.createdDate = Dos(2025, 3, 1);
    return item;
}

FindConditions Sized(bool atLeast, uint64_t kilobytes) {
    FindConditions c;
    c.patterns = {u"*.*"};
    c.sizeOn = true;
    c.atLeast = atLeast;
    c.sizeLimit = FindSizeLimit(kilobytes);
    return c;
}

FindConditions Dated(FindConditions::DateRange range, int count) {
    FindConditions c;
    c.patterns = {u"*.*"};
    c.dateField = EntryDateField::Created;
    c.range = range;
    c.days = c.months = count;
    return c;
}

FindConditions Only(bool deleted, bool existing) {
    FindConditions c;
    c.patterns = {u"*.*"};
    c.deleted = deleted;
    c.existing = existing;
    return c;
}

class FindConditionTest : public ::testing::TestWithParam<ConditionCase> {};

TEST_P(FindConditionTest, SizeDateAndStateConditions) {
    const ConditionCase& c = GetParam();
    EXPECT_EQ(PassesFind(c.item, u"a.txt", EntryTimeKind::Fat, c.conditions, {2025, 3, 15}),
              c.passes);
}

INSTANTIATE_TEST_SUITE_P(
    Conditions, FindConditionTest,
    ::testing::Values(
        ConditionCase{"at least 1 KB", Entry(9, 1024, false), Sized(true, 1), true},
        ConditionCase{"below 1 KB", Entry(9, 1023, false), Sized(true, 1), false},
        ConditionCase{"at most 1 KB", Entry(9, 1024, false), Sized(false, 1), true},
        ConditionCase{"above 1 KB", Entry(9, 1025, false), Sized(false, 1), false},
        ConditionCase{"limit beyond 4 GiB", Entry(9, 5ULL << 32, false), Sized(true, 4194304),
                      true},
        ConditionCase{"limit 4 GiB, smaller file", Entry(9, 1ULL << 31, false),
                      Sized(true, 4194304), false},
        ConditionCase{"FAT entry with id 5", Entry(5, 4096, false, 0), Sized(true, 1), true},
        ConditionCase{"the root", Entry(0, 0, false, ~uint64_t{0}), Sized(false, 1), false},
        ConditionCase{"NTFS root by its parent", Entry(5, 0, false, ~uint64_t{0}),
                      Dated(FindConditions::DateRange::Months, 12), false},
        ConditionCase{"in the last 14 days", Entry(9, 1, false),
                      Dated(FindConditions::DateRange::Days, 14), true},
        ConditionCase{"not in the last 13 days", Entry(9, 1, false),
                      Dated(FindConditions::DateRange::Days, 13), false},
        ConditionCase{"in the last month", Entry(9, 1, false),
                      Dated(FindConditions::DateRange::Months, 1), true},
        ConditionCase{"deleted only: existing file", Entry(9, 1, false), Only(true, false), false},
        ConditionCase{"deleted only: deleted file", Entry(9, 1, true), Only(true, false), true},
        ConditionCase{"existing only: deleted file", Entry(9, 1, true), Only(false, true), false}));

TEST(FindConditionTest, ZeroDateFieldsNeverPass) {
    FoundItem item = Entry(9, 1, false);
    item.createdDate = Dos(2025, 0, 1);
    FindConditions c = Dated(FindConditions::DateRange::Months, 999);
    EXPECT_FALSE(PassesFind(item, u"a.txt", EntryTimeKind::Fat, c, {2025, 3, 15}));
    item.createdDate = Dos(2025, 3, 0);
    EXPECT_FALSE(PassesFind(item, u"a.txt", EntryTimeKind::Fat, c, {2025, 3, 15}));
}

} // namespace

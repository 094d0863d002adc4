#include "jobs/mask/file_filter.h"

#include "platform/text/utf_conversion.h"

#include <gtest/gtest.h>

#include <iterator>
#include <ostream>
#include <string>
#include <vector>

namespace {

struct FilterCase {
    const char16_t* name;
    std::vector<std::u16string> patterns;
    // The answer with `exclude` false; with `exclude` set every answer but the empty list's
    // flips, since the same first pattern (or none) decides.
    bool passes;
};

void PrintTo(const FilterCase& c, std::ostream* out) {
    *out << Utf16ToUtf8(c.name) << " against";
    for (const std::u16string& pattern : c.patterns)
        *out << " " << Utf16ToUtf8(pattern);
}

class FileFilterTest : public ::testing::TestWithParam<FilterCase> {};

TEST_P(FileFilterTest, IncludeAndExcludeGiveOppositeAnswers) {
    const FilterCase& c = GetParam();
    EXPECT_EQ(MatchesFileFilter(c.name, c.patterns, false), c.passes) << "include";
    EXPECT_EQ(MatchesFileFilter(c.name, c.patterns, true), !c.passes) << "exclude";
}

INSTANTIATE_TEST_SUITE_P(
    Patterns, FileFilterTest,
    ::testing::Values(
        // The extension is matched whole, not as a prefix.
        FilterCase{u"a.c", {u"*.c"}, true}, FilterCase{u"a.cpp", {u"*.c"}, false},
        FilterCase{u"a.cab", {u"*.c"}, false}, FilterCase{u"a.csv", {u"*.c"}, false},
        FilterCase{u"a.b", {u"*.*"}, true}, FilterCase{u"abc", {u"*.*"}, true},
        FilterCase{u"Report.DOC", {u"*.doc"}, true}, FilterCase{u"x.TXT", {u"?.txt"}, true},
        FilterCase{u"xy.txt", {u"?.txt"}, false}, FilterCase{u".txt", {u"?.txt"}, false},
        FilterCase{u"report1.doc", {u"report?.*"}, true},
        FilterCase{u"report12.doc", {u"report?.*"}, false},
        // The name part is matched whole too.
        FilterCase{u"myreport.doc", {u"report*.doc"}, false},
        // A pattern without a "." has an empty extension part, which takes only names
        // without one: "READ*" takes "readme" but not "readme.txt".
        FilterCase{u"readme", {u"READ*"}, true}, FilterCase{u"readme.txt", {u"READ*"}, false},
        FilterCase{u"README", {u"readme"}, true}, FilterCase{u"readme", {u"*.txt"}, false},
        // "*" alone takes everything, names with and without an extension.
        FilterCase{u"readme", {u"*"}, true}, FilterCase{u"a.b.c", {u"*"}, true},
        // Only the last "." splits.
        FilterCase{u"archive.tar.gz", {u"*.gz"}, true},
        FilterCase{u"archive.tar.gz", {u"*.tar"}, false},
        FilterCase{u"archive.tar.gz", {u"*.tar.gz"}, true},
        FilterCase{u"data.tar.gz", {u"d*r.g?"}, true},
        // Letters beyond ASCII fold too.
        FilterCase{u"ÉTÉ.JPG", {u"été.jpg"}, true},
        // The first matching pattern decides; later ones are not asked.
        FilterCase{u"a.doc", {u"*.txt", u"*.doc"}, true},
        FilterCase{u"a.pdf", {u"*.txt", u"*.doc"}, false}));

TEST(FileFilterRulesTest, EmptyListPassesEveryFile) {
    for (const bool exclude : {false, true}) {
        EXPECT_TRUE(MatchesFileFilter(u"a.doc", {}, exclude));
        EXPECT_TRUE(MatchesFileFilter(u"noext", {}, exclude));
    }
}

TEST(FileFilterRulesTest, ManyStarsStayFast) {
    // A backtracking matcher takes exponential time on this; a bounded one answers at once.
    const std::u16string name(4000, u'a');
    std::u16string pattern;
    for (int i = 0; i < 200; ++i)
        pattern += u"*a";
    pattern += u"b";
    EXPECT_FALSE(MatchesWildcard(name, pattern));
    EXPECT_FALSE(MatchesFileFilter(name + u".txt", {pattern + u".txt"}, false));
}

TEST(FileFilterRulesTest, WildcardCases) {
    struct Case {
        const char16_t* text;
        const char16_t* pattern;
        bool matches;
    };
    const Case cases[] = {
        {u"", u"", true},       {u"", u"*", true},       {u"", u"?", false},
        {u"abc", u"a*c", true}, {u"abc", u"a*b", false}, {u"abcbc", u"a*bc", true},
        {u"ab", u"a**b", true}, {u"ABC", u"a?c", true},  {u"ac", u"a?c", false}};
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(MatchesWildcard(cases[i].text, cases[i].pattern), cases[i].matches)
            << "case " << i;
}

} // namespace

#include "platform/text/text_compare.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

TEST(FoldCase, AsciiAndLatin1) {
    EXPECT_EQ(FoldCase(u'A'), u'a');
    EXPECT_EQ(FoldCase(u'Z'), u'z');
    EXPECT_EQ(FoldCase(u'a'), u'a');
    EXPECT_EQ(FoldCase(u'@'), u'@');
    EXPECT_EQ(FoldCase(u'['), u'[');
    EXPECT_EQ(FoldCase(u'\u00C9'), u'\u00E9'); // E acute
    EXPECT_EQ(FoldCase(u'\u00C0'), u'\u00E0');
    EXPECT_EQ(FoldCase(u'\u00D1'), u'\u00F1'); // N tilde
    EXPECT_EQ(FoldCase(u'\u00DE'), u'\u00FE'); // thorn
    EXPECT_EQ(FoldCase(u'\u00D7'), u'\u00D7'); // multiplication sign is not a letter
    EXPECT_EQ(FoldCase(u'\u00F7'), u'\u00F7');
    EXPECT_EQ(FoldCase(u'\u00DF'), u'\u00DF'); // sharp s would need two units
    EXPECT_EQ(FoldCase(u'\u00B5'), u'\u03BC'); // micro sign folds to Greek mu
}

TEST(FoldCase, LatinExtendedA) {
    EXPECT_EQ(FoldCase(u'\u0100'), u'\u0101');
    EXPECT_EQ(FoldCase(u'\u0152'), u'\u0153'); // OE ligature
    EXPECT_EQ(FoldCase(u'\u0141'), u'\u0142'); // L stroke, odd capital
    EXPECT_EQ(FoldCase(u'\u0142'), u'\u0142');
    EXPECT_EQ(FoldCase(u'\u017D'), u'\u017E'); // Z caron
    EXPECT_EQ(FoldCase(u'\u0178'), u'\u00FF'); // Y diaeresis folds back into Latin-1
    EXPECT_EQ(FoldCase(u'\u017F'), u's');      // long s
    EXPECT_EQ(FoldCase(u'\u0130'), u'\u0130'); // dotted capital I has no simple folding
    EXPECT_EQ(FoldCase(u'\u0131'), u'\u0131');
    EXPECT_EQ(FoldCase(u'\u0138'), u'\u0138'); // kra has no capital
}

TEST(FoldCase, GreekAndCyrillic) {
    EXPECT_EQ(FoldCase(u'\u0391'), u'\u03B1'); // Alpha
    EXPECT_EQ(FoldCase(u'\u03A3'), u'\u03C3'); // Sigma
    EXPECT_EQ(FoldCase(u'\u03C2'), u'\u03C3'); // final sigma
    EXPECT_EQ(FoldCase(u'\u0386'), u'\u03AC'); // Alpha with tonos
    EXPECT_EQ(FoldCase(u'\u038F'), u'\u03CE'); // Omega with tonos
    EXPECT_EQ(FoldCase(u'\u03A2'), u'\u03A2'); // unassigned gap
    EXPECT_EQ(FoldCase(u'\u0401'), u'\u0451'); // Io
    EXPECT_EQ(FoldCase(u'\u0410'), u'\u0430');
    EXPECT_EQ(FoldCase(u'\u042F'), u'\u044F'); // Ya
    EXPECT_EQ(FoldCase(u'\u0460'), u'\u0461');
    EXPECT_EQ(FoldCase(u'\u04C0'), u'\u04CF'); // palochka
    EXPECT_EQ(FoldCase(u'\u04C1'), u'\u04C2');
}

TEST(FoldCase, OtherScriptsAndSurrogatesUnchanged) {
    for (const char16_t unit : {u'\u0531', u'\u05D0', u'\u1E9E', u'\u2160', u'\u6587', u'\uFF21',
                                char16_t{0xD83D}, char16_t{0xDCC1}, u'\uFFFF'}) {
        EXPECT_EQ(FoldCase(unit), unit) << static_cast<int>(unit);
    }
}

TEST(FoldCase, FoldingIsStableAndSmallLettersAreFixedPoints) {
    int folded = 0;
    for (unsigned value = 0; value <= 0xFFFF; ++value) {
        const auto unit = static_cast<char16_t>(value);
        const char16_t once = FoldCase(unit);
        ASSERT_EQ(FoldCase(once), once) << value;
        if (once != unit) {
            ++folded;
        }
    }
    // 26 ASCII, 31 Latin-1, 63 Latin Extended-A, 65 Greek and 148 Cyrillic units fold.
    EXPECT_EQ(folded, 333);
}

TEST(CompareNoCase, EqualTextsInTheProgramsLanguages) {
    EXPECT_TRUE(EqualsNoCase(u"\u00C9COLE", u"\u00E9cole"));
    EXPECT_TRUE(EqualsNoCase(u"Stra\u00DFe", u"STRA\u00DFE"));
    EXPECT_TRUE(EqualsNoCase(u"A\u00D1O", u"a\u00F1o"));
    EXPECT_TRUE(EqualsNoCase(u"\u0152UVRE", u"\u0153uvre"));
    EXPECT_TRUE(EqualsNoCase(u"\u039F\u0394\u039F\u03A3", u"\u03BF\u03B4\u03BF\u03C2"));
    EXPECT_TRUE(EqualsNoCase(u"\u0424\u0410\u0419\u041B", u"\u0444\u0430\u0439\u043B"));
    EXPECT_TRUE(EqualsNoCase(u"", u""));
    EXPECT_EQ(CompareNoCase(u"HeaderFile.CFG", u"headerfile.cfg"), 0);
}

TEST(CompareNoCase, DifferentTexts) {
    EXPECT_FALSE(EqualsNoCase(u"\u00C9COLE", u"ecole")); // accents are not ignored
    EXPECT_FALSE(EqualsNoCase(u"Strasse", u"Stra\u00DFe"));
    EXPECT_FALSE(EqualsNoCase(u"file", u"files"));
    EXPECT_FALSE(EqualsNoCase(u"I", u"\u0131")); // dotless i stays apart from I
}

TEST(CompareNoCase, OrdersByFoldedCodeUnitThenLength) {
    EXPECT_LT(CompareNoCase(u"apple", u"BANANA"), 0);
    EXPECT_GT(CompareNoCase(u"Banana", u"apple"), 0);
    EXPECT_LT(CompareNoCase(u"file", u"FILE1"), 0);
    EXPECT_GT(CompareNoCase(u"FILE1", u"file"), 0);
    EXPECT_LT(CompareNoCase(u"", u"a"), 0);
    // Folded letters sort after every ASCII character: "_" (0x5F) is below "a" but above "A".
    EXPECT_GT(CompareNoCase(u"A", u"_"), 0);
    EXPECT_GT(CompareNoCase(u"\u00C9t\u00E9", u"ZEBRA"), 0);
    // Units compare unsigned: a surrogate sorts above every folded letter.
    EXPECT_GT(CompareNoCase(u"\U0001F4C1", u"\u044F"), 0);
    EXPECT_EQ(CompareNoCase(u"b", u"a"), 1);
    EXPECT_EQ(CompareNoCase(u"a", u"b"), -1);
}

TEST(CompareNoCase, SortingGroupsCaseVariantsTogether) {
    std::vector<std::u16string> names = {u"beta.TXT",  u"Alpha.doc", u"\u00E9t\u00E9.jpg",
                                         u"ALPHA.DOC", u"Beta.txt",  u"\u00C9T\u00C9.JPG"};
    std::stable_sort(names.begin(), names.end(),
                     [](const auto& a, const auto& b) { return CompareNoCase(a, b) < 0; });
    const std::vector<std::u16string> expected = {u"Alpha.doc",         u"ALPHA.DOC",
                                                  u"beta.TXT",          u"Beta.txt",
                                                  u"\u00E9t\u00E9.jpg", u"\u00C9T\u00C9.JPG"};
    EXPECT_EQ(names, expected);
}

TEST(CompareNoCase, AntisymmetricOverMixedTexts) {
    const std::u16string texts[] = {u"",        u"a",       u"A",      u"ab",
                                    u"\u00C9",  u"\u00E9",  u"\u03A3", u"\u03C2",
                                    u"\u0416x", u"\u0436X", u"z",      u"\U0001F4C1"};
    for (const auto& a : texts) {
        for (const auto& b : texts) {
            EXPECT_EQ(CompareNoCase(a, b), -CompareNoCase(b, a));
            EXPECT_EQ(EqualsNoCase(a, b), CompareNoCase(a, b) == 0);
        }
    }
}

} // namespace

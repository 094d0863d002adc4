#include "jobs/recovery/recovered_name.h"

#include "platform/text/utf_conversion.h"

#include <gtest/gtest.h>

#include <string>

namespace {

size_t Utf8Bytes(const std::u16string& text) {
    return Utf16ToUtf8(text).size();
}

// Whether the text round-trips through UTF-8 unchanged, i.e. holds no unpaired surrogate.
bool WellFormed(const std::u16string& text) {
    return Utf8ToUtf16(Utf16ToUtf8(text)) == text;
}

std::u16string Repeat(std::u16string_view piece, size_t count) {
    std::u16string out;
    for (size_t i = 0; i < count; ++i)
        out.append(piece);
    return out;
}

TEST(RecoveredNameTest, OrdinaryNamesAreUnchanged) {
    for (const std::u16string name :
         {u"report.doc", u"a", u"...", u".bashrc", u"name with spaces.txt", u"Ünïcödé.pdf",
          u"日本語のファイル.txt", u"\U0001F600 smile.png", u"x.", u"-rf", u"~"}) {
        EXPECT_EQ(SanitiseRecoveredName(name), name);
    }
    const std::u16string exactlyLimit = Repeat(u"a", kMaxRecoveredNameBytes);
    EXPECT_EQ(SanitiseRecoveredName(exactlyLimit), exactlyLimit);
}

TEST(RecoveredNameTest, DotNamesAndEmptyBecomePlainNames) {
    EXPECT_EQ(SanitiseRecoveredName(u""), u"_");
    EXPECT_EQ(SanitiseRecoveredName(u"."), u"_.");
    EXPECT_EQ(SanitiseRecoveredName(u".."), u"_..");
}

TEST(RecoveredNameTest, SeparatorsNulAndControlCharactersBecomeUnderscores) {
    EXPECT_EQ(SanitiseRecoveredName(u"a/b"), u"a_b");
    EXPECT_EQ(SanitiseRecoveredName(u"/"), u"_");
    EXPECT_EQ(SanitiseRecoveredName(u"../../etc/passwd"), u".._.._etc_passwd");
    EXPECT_EQ(SanitiseRecoveredName(u"a\\b"), u"a_b");
    EXPECT_EQ(SanitiseRecoveredName(std::u16string(u"a\0b", 3)), u"a_b");
    EXPECT_EQ(SanitiseRecoveredName(std::u16string(1, u'\0')), u"_");
    EXPECT_EQ(SanitiseRecoveredName(u"line\r\nbreak\ttab\x1F\x7F"), u"line__break_tab__");
    // U+0080 and above are ordinary characters.
    EXPECT_EQ(SanitiseRecoveredName(u"\u0080\u00A0"), u"\u0080\u00A0");
}

TEST(RecoveredNameTest, LoneSurrogatesBecomeReplacementCharacters) {
    const std::u16string lowFirst = {u'a', char16_t(0xDC00), char16_t(0xD800), u'b'};
    EXPECT_EQ(SanitiseRecoveredName(lowFirst), u"a\uFFFD\uFFFDb");
    const std::u16string highAtEnd = {u'a', char16_t(0xD83D)};
    EXPECT_EQ(SanitiseRecoveredName(highAtEnd), u"a\uFFFD");
    const std::u16string highThenSlash = {char16_t(0xD83D), u'/'};
    EXPECT_EQ(SanitiseRecoveredName(highThenSlash), u"\uFFFD_");
    // A proper pair stays.
    EXPECT_EQ(SanitiseRecoveredName(u"\U0001F600"), u"\U0001F600");
}

TEST(RecoveredNameTest, LongNamesAreCutOnACharacterBoundaryKeepingTheExtension) {
    struct Case {
        std::u16string piece;
        size_t count;
    };
    // 3-byte CJK, 4-byte emoji (surrogate pairs), 2-byte Latin, mixed widths so the cut lands
    // at every offset inside a character.
    for (const Case& c : {Case{u"漢", 200}, Case{u"\U0001F600", 100}, Case{u"é", 300},
                          Case{u"a漢\U0001F600", 60}, Case{u"ab漢", 100}}) {
        const std::u16string name = Repeat(c.piece, c.count) + u".txt";
        const std::u16string cut = SanitiseRecoveredName(name);
        SCOPED_TRACE(Utf16ToUtf8(name));
        EXPECT_LE(Utf8Bytes(cut), kMaxRecoveredNameBytes);
        // Nothing more would have fitted: the next whole character is at most 4 bytes.
        EXPECT_GT(Utf8Bytes(cut), kMaxRecoveredNameBytes - 4);
        EXPECT_TRUE(WellFormed(cut));
        ASSERT_GE(cut.size(), 4u);
        EXPECT_EQ(cut.substr(cut.size() - 4), u".txt");
        // The stem is a prefix of the original stem.
        const std::u16string stem = cut.substr(0, cut.size() - 4);
        EXPECT_EQ(name.compare(0, stem.size(), stem), 0);
    }
}

TEST(RecoveredNameTest, LongNameWithoutShortExtensionIsCutPlainly) {
    const std::u16string longExtension = u"a." + Repeat(u"x", 300);
    const std::u16string cut = SanitiseRecoveredName(longExtension);
    EXPECT_EQ(cut, longExtension.substr(0, kMaxRecoveredNameBytes));

    const std::u16string noExtension = Repeat(u"漢", 100);
    const std::u16string cutCjk = SanitiseRecoveredName(noExtension);
    EXPECT_EQ(cutCjk, Repeat(u"漢", 85));

    // A leading dot is a hidden file, not an extension.
    const std::u16string hidden = u"." + Repeat(u"h", 300);
    EXPECT_EQ(SanitiseRecoveredName(hidden), hidden.substr(0, kMaxRecoveredNameBytes));
}

TEST(RecoveredNameTest, CutHappensAfterReplacement) {
    // Control characters turn into one-byte "_" and lone surrogates into 3-byte U+FFFD before
    // the length is measured.
    std::u16string name = Repeat(std::u16string(1, char16_t(0xDC00)), 100) + u".dat";
    const std::u16string cut = SanitiseRecoveredName(name);
    EXPECT_EQ(cut, Repeat(u"\uFFFD", 83) + u".dat");
    EXPECT_TRUE(WellFormed(cut));
}

TEST(RecoveredNameTest, LineBreakOrNulIsDetected) {
    EXPECT_TRUE(NameHasLineBreakOrNul(u"a\rb"));
    EXPECT_TRUE(NameHasLineBreakOrNul(u"a\n"));
    EXPECT_TRUE(NameHasLineBreakOrNul(std::u16string(u"a\0b", 3)));
    EXPECT_FALSE(NameHasLineBreakOrNul(u"a\tb c.txt"));
    EXPECT_FALSE(NameHasLineBreakOrNul(u""));
}

} // namespace

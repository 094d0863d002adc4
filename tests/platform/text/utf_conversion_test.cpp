#include "platform/text/utf_conversion.h"

#include <gtest/gtest.h>

#include <random>

namespace {

bool IsWellFormedUtf16(std::u16string_view text) {
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (unit >= 0xDC00 && unit <= 0xDFFF) {
            return false;
        }
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            if (i + 1 >= text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) {
                return false;
            }
            ++i;
        }
    }
    return true;
}

TEST(UtfConversionRoundTrip, KnownTextsInBothEncodings) {
    struct Case {
        std::string utf8;
        std::u16string utf16;
    };
    const Case cases[] = {
        {"", u""},
        {"Recovered files", u"Recovered files"},
        {"\xC3\x89"
         "cole fran\xC3\xA7"
         "aise, Stra\xC3\x9F"
         "e",
         u"\u00C9cole fran\u00E7aise, Stra\u00DFe"},
        {"\xE6\x96\x87\xE4\xBB\xB6", u"\u6587\u4EF6"},
        {"\xF0\x9F\x93\x81 x", u"\U0001F4C1 x"},
        {"\xF4\x8F\xBF\xBF", u"\U0010FFFF"},
        {std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Utf8ToUtf16(c.utf8), c.utf16);
        EXPECT_EQ(Utf16ToUtf8(c.utf16), c.utf8);
    }
    EXPECT_EQ(Utf8ToUtf16("\xF0\x9F\x93\x81"), (std::u16string{0xD83D, 0xDCC1}));
}

TEST(UtfConversionRoundTrip, EveryCodePoint) {
    std::u16string all;
    for (char32_t codePoint = 0; codePoint <= 0x10FFFF; ++codePoint) {
        if (codePoint >= 0xD800 && codePoint <= 0xDFFF) {
            continue;
        }
        if (codePoint < 0x10000) {
            all.push_back(static_cast<char16_t>(codePoint));
        } else {
            all.push_back(static_cast<char16_t>(0xD800 + ((codePoint - 0x10000) >> 10)));
            all.push_back(static_cast<char16_t>(0xDC00 + ((codePoint - 0x10000) & 0x3FF)));
        }
    }
    const std::string utf8 = Utf16ToUtf8(all);
    // 128 one-byte, 1920 two-byte, 61440 three-byte and 1048576 four-byte sequences.
    EXPECT_EQ(utf8.size(), 128u + 1920u * 2 + 61440u * 3 + 1048576u * 4);
    EXPECT_EQ(Utf8ToUtf16(utf8), all);
}

TEST(Utf8ToUtf16Invalid, EachMaximalIllFormedSubsequenceBecomesOneReplacement) {
    struct Case {
        const char* what;
        std::string input;
        std::u16string expected;
    };
    const Case cases[] = {
        {"lone continuation", "a\x80z", u"a\uFFFDz"},
        {"two continuations", "\x80\xBF", u"\uFFFD\uFFFD"},
        {"C0 and C1 leads", "\xC0\xAF\xC1\xBF", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"F5 to FF leads", "\xF5\xF8\xFE\xFF", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"overlong three bytes", "\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD"},
        {"overlong four bytes", "\xF0\x80\x80\xAF", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"encoded high surrogate", "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
        {"encoded low surrogate", "\xED\xBF\xBF", u"\uFFFD\uFFFD\uFFFD"},
        {"above U+10FFFF", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"truncated at end", "ab\xE6\x96", u"ab\uFFFD"},
        {"truncated four bytes at end", "\xF0\x9F\x93", u"\uFFFD"},
        {"truncated then ASCII",
         "\xE6\x96"
         "A",
         u"\uFFFD"
         "A"},
        {"truncated then new lead", "\xC3\xE6\x96\x87", u"\uFFFD\u6587"},
        {"lead alone at end", "x\xC3", u"x\uFFFD"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Utf8ToUtf16(c.input), c.expected) << c.what;
    }
}

TEST(Utf16ToUtf8Invalid, UnpairedSurrogatesBecomeReplacement) {
    const std::string replacement = "\xEF\xBF\xBD";
    EXPECT_EQ(Utf16ToUtf8(std::u16string{u'a', 0xD83D}), "a" + replacement);
    EXPECT_EQ(Utf16ToUtf8(std::u16string{0xD83D, u'b'}), replacement + "b");
    EXPECT_EQ(Utf16ToUtf8(std::u16string{0xDCC1, u'c'}), replacement + "c");
    EXPECT_EQ(Utf16ToUtf8(std::u16string{0xDCC1, 0xD83D}), replacement + replacement);
    EXPECT_EQ(Utf16ToUtf8(std::u16string{0xD83D, 0xD83D, 0xDCC1}),
              replacement + "\xF0\x9F\x93\x81");
}

TEST(Utf8ToUtf16Invalid, RandomBytesAlwaysGiveWellFormedText) {
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int round = 0; round < 2000; ++round) {
        std::string input(static_cast<size_t>(round % 64), '\0');
        for (char& c : input) {
            // Mostly bytes that start or continue sequences, where the errors are.
            const int value = byte(random);
            c = static_cast<char>(value < 64 ? value : 0x80 | value);
        }
        const std::u16string decoded = Utf8ToUtf16(input);
        ASSERT_TRUE(IsWellFormedUtf16(decoded)) << "round " << round;
        ASSERT_LE(decoded.size(), input.size());
        // Well-formed output encodes and decodes back unchanged.
        ASSERT_EQ(Utf8ToUtf16(Utf16ToUtf8(decoded)), decoded);
    }
}

TEST(Utf16LittleEndian, DecodesStoredUnits) {
    const std::vector<uint8_t> bytes = {'A', 0x00, 0xC9, 0x00, 0x87, 0x65, 0x3D, 0xD8, 0xC1, 0xDC};
    EXPECT_EQ(Utf16FromLittleEndian(bytes), u"A\u00C9\u6587\U0001F4C1");
}

TEST(Utf16LittleEndian, OddTrailingByteIgnoredAndEmptyInput) {
    const std::vector<uint8_t> odd = {'O', 0x00, 'K', 0x00, 0x41};
    EXPECT_EQ(Utf16FromLittleEndian(odd), u"OK");
    EXPECT_EQ(Utf16FromLittleEndian(std::span<const uint8_t>(odd.data(), 1)), u"");
    EXPECT_EQ(Utf16FromLittleEndian({}), u"");
}

TEST(Utf16LittleEndian, KeepsUnpairedSurrogatesAsStored) {
    const std::vector<uint8_t> bytes = {0x00, 0xD8, 'x', 0x00};
    EXPECT_EQ(Utf16FromLittleEndian(bytes), (std::u16string{0xD800, u'x'}));
}

TEST(Utf16LittleEndian, AppendWritesLowByteFirstAfterExistingBytes) {
    std::vector<uint8_t> out = {0xEE};
    AppendUtf16LittleEndian(out, u"A\u6587\U0001F4C1");
    const std::vector<uint8_t> expected = {0xEE, 'A', 0x00, 0x87, 0x65, 0x3D, 0xD8, 0xC1, 0xDC};
    EXPECT_EQ(out, expected);

    const std::u16string text = u"Dossier r\u00E9cup\u00E9r\u00E9";
    std::vector<uint8_t> record;
    AppendUtf16LittleEndian(record, text);
    EXPECT_EQ(record.size(), text.size() * 2);
    EXPECT_EQ(Utf16FromLittleEndian(record), text);
}

} // namespace

#include "platform/text/format_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace {

enum class Colour {
    Red = 2,
};

TEST(FormatTextExamples, TextsOfTheProgram) {
    EXPECT_EQ(FormatText(u"%.2f GB", 1.0), u"1.00 GB");
    EXPECT_EQ(FormatText(u"%.2f MB", 1023.999), u"1024.00 MB");
    EXPECT_EQ(FormatText(u"%s %d", u"Folder", 3), u"Folder 3");
    EXPECT_EQ(FormatText(u"%08lu", uint32_t{42}), u"00000042");
    EXPECT_EQ(FormatText(u"%d", int64_t{0x100000005}), u"5");
    EXPECT_EQ(FormatText(u"%lld", int64_t{-5000000000}), u"-5000000000");
    EXPECT_EQ(FormatText(u"%.2d-%.2d-%d", 3, 7, 2024), u"03-07-2024");
    EXPECT_EQ(FormatText(u"REF-%d", 12), u"REF-12");
    EXPECT_EQ(FormatText(u"100%% done"), u"100% done");
    EXPECT_EQ(FormatText(u"no conversions"), u"no conversions");
    EXPECT_EQ(FormatText(u""), u"");
}

TEST(FormatTextIntegers, PlainAndLongConversionsAre32Bit) {
    const int64_t wide = 0x1234567800000005;
    EXPECT_EQ(FormatText(u"%d %i %ld", wide, wide, wide), u"5 5 5");
    EXPECT_EQ(FormatText(u"%d", uint32_t{0xFFFFFFFF}), u"-1");
    EXPECT_EQ(FormatText(u"%ld", int64_t{0x80000000}), u"-2147483648");
    EXPECT_EQ(FormatText(u"%u %lu", -1, int64_t{-1}), u"4294967295 4294967295");
    EXPECT_EQ(FormatText(u"%x %lx %X", -1, uint64_t{0xABCDEF0012345678}, 0xBEEF),
              u"ffffffff 12345678 BEEF");
    EXPECT_EQ(FormatText(u"%o", uint64_t{0x100000008}), u"10");
    EXPECT_EQ(FormatText(u"%I32d", int64_t{0x1FFFFFFFF}), u"-1");
    EXPECT_EQ(FormatText(u"%d %d", std::numeric_limits<int32_t>::min(),
                         std::numeric_limits<int32_t>::max()),
              u"-2147483648 2147483647");
}

TEST(FormatTextIntegers, SixtyFourBitConversions) {
    const int64_t negative = -5000000000;
    const uint64_t big = 0xFEDCBA9876543210;
    EXPECT_EQ(FormatText(u"%lld %I64d", negative, negative), u"-5000000000 -5000000000");
    EXPECT_EQ(FormatText(u"%llu %I64u", big, big), u"18364758544493064720 18364758544493064720");
    EXPECT_EQ(FormatText(u"%llx %I64X", big, big), u"fedcba9876543210 FEDCBA9876543210");
    EXPECT_EQ(FormatText(u"%lld", std::numeric_limits<int64_t>::min()), u"-9223372036854775808");
    // A narrower argument is converted to the 64-bit type, as C converts values.
    EXPECT_EQ(FormatText(u"%llu", -1), u"18446744073709551615");
    EXPECT_EQ(FormatText(u"%I64d", 7u), u"7");
    EXPECT_EQ(FormatText(u"%zu %Iu %jd", size_t{5000000000}, size_t{5000000000}, negative),
              u"5000000000 5000000000 -5000000000");
}

TEST(FormatTextIntegers, ShortAndCharSizes) {
    EXPECT_EQ(FormatText(u"%hd", 70000), u"4464");
    EXPECT_EQ(FormatText(u"%hd", 0x8000), u"-32768");
    EXPECT_EQ(FormatText(u"%hu %hx", -1, 0x12345), u"65535 2345");
    EXPECT_EQ(FormatText(u"%hhd %hhu", 200, 511), u"-56 255");
}

TEST(FormatTextIntegers, ArgumentTypesThatAreNumbers) {
    EXPECT_EQ(FormatText(u"%d %d", int8_t{-3}, uint8_t{250}), u"-3 250");
    EXPECT_EQ(FormatText(u"%d %d", true, false), u"1 0");
    EXPECT_EQ(FormatText(u"%d", Colour::Red), u"2");
    EXPECT_EQ(FormatText(u"%d %x", u'A', u'\u00E9'), u"65 e9");
}

TEST(FormatTextFlags, SignsPrefixesAndPadding) {
    EXPECT_EQ(FormatText(u"[%5d][%-5d][%05d]", 42, 42, -42), u"[   42][42   ][-0042]");
    EXPECT_EQ(FormatText(u"[%+d][% d][%+ d][% d]", 7, 7, 7, -7), u"[+7][ 7][+7][-7]");
    EXPECT_EQ(FormatText(u"[%+u][% x]", 7, 255), u"[7][ff]");
    EXPECT_EQ(FormatText(u"[%#x][%#X][%#x][%#o][%#o]", 255, 255, 0, 8, 0),
              u"[0xff][0XFF][0][010][0]");
    EXPECT_EQ(FormatText(u"[%#010x][%-#8x]", 255, 255), u"[0x000000ff][0xff    ]");
    EXPECT_EQ(FormatText(u"[%-05d]", 3), u"[3    ]");
    EXPECT_EQ(FormatText(u"[%2d]", 12345), u"[12345]");
}

TEST(FormatTextFlags, IntegerPrecision) {
    EXPECT_EQ(FormatText(u"[%.5d][%.5d][%8.5d]", 42, -42, 42), u"[00042][-00042][   00042]");
    // With a precision the '0' flag pads with spaces.
    EXPECT_EQ(FormatText(u"[%08.3d]", 7), u"[     007]");
    EXPECT_EQ(FormatText(u"[%.0d][%.d][%3.0u]", 0, 0, 0), u"[][][   ]");
    EXPECT_EQ(FormatText(u"[%#.0o]", 0), u"[0]");
    EXPECT_EQ(FormatText(u"[%.4x]", 0xAB), u"[00ab]");
}

TEST(FormatTextFlags, StarWidthAndPrecision) {
    EXPECT_EQ(FormatText(u"[%*d]", 6, 42), u"[    42]");
    EXPECT_EQ(FormatText(u"[%*d]", -6, 42), u"[42    ]");
    EXPECT_EQ(FormatText(u"[%.*f]", 3, 3.14159), u"[3.142]");
    EXPECT_EQ(FormatText(u"[%.*f]", -1, 3.14159), u"[3.141590]");
    EXPECT_EQ(FormatText(u"[%*.*s]", 6, 2, u"abcdef"), u"[    ab]");
    EXPECT_EQ(FormatText(u"[%-*s|%s]", 4, u"ab", u"c"), u"[ab  |c]");
}

TEST(FormatTextStrings, EveryTextArgumentType) {
    const std::u16string wide = u"R\u00E9pertoire";
    const std::u16string_view wideView = wide;
    const char16_t* widePointer = wide.c_str();
    const std::string narrow = "Gr\xC3\xB6\xC3\x9F"
                               "e";
    const char* narrowPointer = narrow.c_str();
    const std::string_view narrowView = narrow;
    EXPECT_EQ(FormatText(u"%s|%s|%s|%s", wide, wideView, widePointer, u"lit"),
              u"R\u00E9pertoire|R\u00E9pertoire|R\u00E9pertoire|lit");
    EXPECT_EQ(FormatText(u"%s|%s|%s|%s", narrow, narrowView, narrowPointer, "lit"),
              u"Gr\u00F6\u00DFe|Gr\u00F6\u00DFe|Gr\u00F6\u00DFe|lit");
    EXPECT_EQ(FormatText(u"%s|%s", std::u8string(u8"\u00E9t\u00E9"), u8"x"), u"\u00E9t\u00E9|x");
    // %S and the size prefixes do not change how an argument is read.
    EXPECT_EQ(FormatText(u"%S|%ls|%hs|%ws", u"a", "b", u"c", "d"), u"a|b|c|d");
}

TEST(FormatTextStrings, NullPointersPrintNull) {
    const char16_t* noWide = nullptr;
    const char* noNarrow = nullptr;
    EXPECT_EQ(FormatText(u"%s %s %s", noWide, noNarrow, nullptr), u"(null) (null) (null)");
    EXPECT_EQ(FormatText(u"[%.3s]", noWide), u"[(nu]");
}

TEST(FormatTextStrings, ArraysAreReadUpToNulAndNeverPastTheirEnd) {
    const char16_t padded[8] = {u'D', u'I', u'S', u'K', 0, u'x', u'y', u'z'};
    const char16_t full[4] = {u'F', u'U', u'L', u'L'};
    const char narrow[3] = {'a', 'b', 'c'};
    EXPECT_EQ(FormatText(u"%s|%s|%s", padded, full, narrow), u"DISK|FULL|abc");
}

TEST(FormatTextStrings, WidthPrecisionAndSurrogatePairs) {
    EXPECT_EQ(FormatText(u"[%8s][%-8s][%.3s]", u"file", u"file", u"filename"),
              u"[    file][file    ][fil]");
    EXPECT_EQ(FormatText(u"[%05s]", u"ab"), u"[000ab]");
    // A precision that would cut a surrogate pair in two drops the whole character.
    EXPECT_EQ(FormatText(u"[%.2s]", u"a\U0001F4C1b"), u"[a]");
    EXPECT_EQ(FormatText(u"[%.3s]", u"a\U0001F4C1b"), u"[a\U0001F4C1]");
    // Width counts UTF-16 code units, whatever encoding the argument came in.
    EXPECT_EQ(FormatText(u"[%3s]", "\xC3\xA9"), u"[  \u00E9]");
}

TEST(FormatTextCharacters, CharacterArgumentsAndCodeUnits) {
    EXPECT_EQ(FormatText(u"%c%c%c", u'\u00C9', 'x', U'\U0001F4C1'), u"\u00C9x\U0001F4C1");
    EXPECT_EQ(FormatText(u"%c%C", 0x41, 0x10042), u"AB");
    EXPECT_EQ(FormatText(u"[%3c][%-3c][%03c]", u'a', u'b', u'c'), u"[  a][b  ][00c]");
    // A non-ASCII byte is not a character of UTF-8, nor is a surrogate code point.
    EXPECT_EQ(FormatText(u"%c%c", static_cast<char>(0xE9), U'\xD800'), u"\uFFFD\uFFFD");
}

TEST(FormatTextFloatingPoint, FixedExponentAndGeneral) {
    EXPECT_EQ(FormatText(u"%f|%.0f|%.1f|%.3f", 3.14159, 2.5, 0.05, -1.0005),
              u"3.141590|2|0.1|-1.000");
    EXPECT_EQ(FormatText(u"%e|%E|%.2e|%.0e", 12345.678, 0.000123, 9.999, 5.0),
              u"1.234568e+04|1.230000E-04|1.00e+01|5e+00");
    EXPECT_EQ(FormatText(u"%g|%g|%g|%g|%G", 100000.0, 1000000.0, 0.0001, 0.00001, 1e-10),
              u"100000|1e+06|0.0001|1e-05|1E-10");
    EXPECT_EQ(FormatText(u"%g|%.3g|%.10g|%.0g", 0.5, 3.14159, 1.0 / 3, 123.0),
              u"0.5|3.14|0.3333333333|1e+02");
    EXPECT_EQ(FormatText(u"%f|%g", 1.5f, 2.25f), u"1.500000|2.25");
}

TEST(FormatTextFloatingPoint, FlagsWithFloatingPoint) {
    EXPECT_EQ(FormatText(u"[%8.2f][%-8.2f][%08.2f]", 3.14159, 3.14159, -3.14159),
              u"[    3.14][3.14    ][-0003.14]");
    EXPECT_EQ(FormatText(u"[%+.1f][% .1f][%+.1e]", 2.0, 2.0, 2.0), u"[+2.0][ 2.0][+2.0e+00]");
    EXPECT_EQ(FormatText(u"[%#.0f][%#.0e][%#g][%#.3g]", 5.0, 5.0, 1.0, 1e6),
              u"[5.][5.e+00][1.00000][1.00e+06]");
    // The rounding carry moves %g to the exponent form and '#' keeps its zeros.
    EXPECT_EQ(FormatText(u"%#g|%g", 999999.99, 999999.99), u"1.00000e+06|1e+06");
    EXPECT_EQ(FormatText(u"%.2f", -0.0), u"-0.00");
}

TEST(FormatTextFloatingPoint, IntegersInfinityAndNotANumber) {
    EXPECT_EQ(FormatText(u"%.1f|%.1f|%g", 3, uint64_t{1} << 40, -7), u"3.0|1099511627776.0|-7");
    const double infinity = std::numeric_limits<double>::infinity();
    EXPECT_EQ(FormatText(u"[%f][%+F][%06f][%-5E]", infinity, infinity, -infinity, infinity),
              u"[inf][+INF][  -inf][INF  ]");
    EXPECT_EQ(FormatText(u"%f|%G", std::nan(""), std::nan("")), u"nan|NAN");
}

TEST(FormatTextFloatingPoint, ExtremeValuesAtLargestPrecision) {
    const std::u16string huge = FormatText(u"%.1024f", std::numeric_limits<double>::max());
    EXPECT_EQ(huge.size(), 309u + 1 + 1024);
    EXPECT_EQ(huge.substr(0, 6), u"179769");
    const std::u16string tiny = FormatText(u"%.1024e", std::numeric_limits<double>::denorm_min());
    EXPECT_EQ(tiny.substr(0, 6), u"4.9406");
    EXPECT_EQ(tiny.substr(tiny.size() - 5), u"e-324");
}

TEST(FormatTextPointer, SixteenUpperCaseHexDigits) {
    const void* pointer = reinterpret_cast<const void*>(uintptr_t{0xABC123});
    EXPECT_EQ(FormatText(u"%p", pointer), u"0000000000ABC123");
    EXPECT_EQ(FormatText(u"[%p][%20p]", static_cast<const void*>(nullptr), nullptr),
              u"[0000000000000000][    0000000000000000]");
}

TEST(FormatTextMistakes, MissingAndSurplusArguments) {
    EXPECT_EQ(FormatText(u"%s has %d files", u"Folder"), u"Folder has %!d(MISSING) files");
    EXPECT_EQ(FormatText(u"%d %s %f"), u"%!d(MISSING) %!s(MISSING) %!f(MISSING)");
    EXPECT_EQ(FormatText(u"%d", 1, 2, 3), u"1%!(EXTRA)");
    EXPECT_EQ(FormatText(u"text", u"unused"), u"text%!(EXTRA)");
}

TEST(FormatTextMistakes, WrongKindsOfArgument) {
    EXPECT_EQ(FormatText(u"[%d][%x]", u"text", "text"), u"[%!d(BADTYPE)][%!x(BADTYPE)]");
    EXPECT_EQ(FormatText(u"[%s][%s]", 12, u'c'), u"[%!s(BADTYPE)][%!s(BADTYPE)]");
    EXPECT_EQ(FormatText(u"[%d][%c][%f][%p]", 1.5, u"a", u"b", u"c"),
              u"[%!d(BADTYPE)][%!c(BADTYPE)][%!f(BADTYPE)][%!p(BADTYPE)]");
    // The wrong argument is consumed, so the ones after it stay in place.
    EXPECT_EQ(FormatText(u"%d %d", u"x", 2), u"%!d(BADTYPE) 2");
}

TEST(FormatTextMistakes, StarArgumentsThatAreMissingOrNotNumbers) {
    EXPECT_EQ(FormatText(u"[%*d]"), u"[%!d(MISSING)]");
    EXPECT_EQ(FormatText(u"[%*d]", 5), u"[%!d(MISSING)]");
    EXPECT_EQ(FormatText(u"[%*d] %d", u"wide", 5, 6), u"[%!d(BADTYPE)] 6");
    EXPECT_EQ(FormatText(u"[%.*s]", 1.5, u"text"), u"[%!s(BADTYPE)]");
}

TEST(FormatTextMistakes, UnknownAndIncompleteConversions) {
    EXPECT_EQ(FormatText(u"[%q][%y]"), u"[%!q(UNKNOWN)][%!y(UNKNOWN)]");
    // An unknown conversion takes no argument; %n is never supported.
    EXPECT_EQ(FormatText(u"%n %d", 4), u"%!n(UNKNOWN) 4");
    EXPECT_EQ(FormatText(u"50%"), u"50%!(INCOMPLETE)");
    EXPECT_EQ(FormatText(u"[%-08.3l", 1), u"[%!(INCOMPLETE)%!(EXTRA)");
    EXPECT_EQ(FormatText(u"%5%|%-%"), u"%|%");
}

TEST(FormatTextMistakes, WidthAndPrecisionAreCapped) {
    EXPECT_EQ(FormatText(u"%99999999999999999999999d", 1).size(),
              static_cast<size_t>(kMaxFormatWidth));
    EXPECT_EQ(FormatText(u"%*d", std::numeric_limits<int64_t>::max(), 1).size(),
              static_cast<size_t>(kMaxFormatWidth));
    EXPECT_EQ(FormatText(u"%*d", std::numeric_limits<int64_t>::min(), 1).size(),
              static_cast<size_t>(kMaxFormatWidth));
    EXPECT_EQ(FormatText(u"%*d", std::numeric_limits<uint64_t>::max(), 1).size(),
              static_cast<size_t>(kMaxFormatWidth));
    EXPECT_EQ(FormatText(u"%.5000f", 1.0).size(), static_cast<size_t>(kMaxFormatWidth) + 2);
    EXPECT_EQ(FormatText(u"%.2000d", 1).size(), static_cast<size_t>(kMaxFormatWidth));
    EXPECT_EQ(FormatText(u"%.5000s", std::u16string(3000, u'x')).size(),
              static_cast<size_t>(kMaxFormatWidth));
}

TEST(FormatTextMistakes, RandomFormatsStayBounded) {
    // Formats built from conversion characters, run over arguments of every kind; under the
    // sanitizers this also shows that no argument is read that was not given.
    const std::u16string_view pieces[] = {
        u"%",   u"-", u"0", u"+", u" ", u"#", u"*", u".", u"9", u"99999", u"h", u"l", u"ll",
        u"I64", u"I", u"d", u"u", u"x", u"c", u"s", u"f", u"g", u"e",     u"p", u"q", u"n"};
    const std::u16string text = u"t\U0001F4C1xt";
    std::mt19937 random(2024);
    std::uniform_int_distribution<size_t> pick(0, std::size(pieces) - 1);
    for (int round = 0; round < 3000; ++round) {
        std::u16string format;
        for (int i = round % 24; i >= 0; --i) {
            format += pieces[pick(random)];
        }
        const std::u16string out =
            FormatText(format, -7, text, 2.5, u'c', "narrow", nullptr, uint64_t{1} << 63);
        ASSERT_LE(out.size(), (format.size() + 1) * 2 * static_cast<size_t>(kMaxFormatWidth))
            << "round " << round;
    }
}

TEST(FormatText8, SameEngineWithUtf8Output) {
    EXPECT_EQ(FormatText8("%.2f GB", 1.0), "1.00 GB");
    EXPECT_EQ(FormatText8("%s: %d", u"Gr\u00F6\u00DFe", 3), "Gr\xC3\xB6\xC3\x9F"
                                                            "e: 3");
    EXPECT_EQ(FormatText8("%s|%c", "caf\xC3\xA9", U'\U0001F4C1'), "caf\xC3\xA9|\xF0\x9F\x93\x81");
    EXPECT_EQ(FormatText8("%d", int64_t{0x100000005}), "5");
    EXPECT_EQ(FormatText8("%d %d", 1), "1 %!d(MISSING)");
    EXPECT_EQ(FormatText8("bad \xFF %s", "\xC3"), "bad \xEF\xBF\xBD \xEF\xBF\xBD");
}

TEST(FormatTextFromArguments, ArgumentsGatheredAtRunTime) {
    const std::u16string name = u"Photos";
    std::vector<FormatArgument> arguments;
    arguments.push_back(MakeFormatArgument(name));
    arguments.push_back(MakeFormatArgument(uint64_t{12}));
    EXPECT_EQ(FormatTextFromArguments(u"%s (%I64u)", arguments), u"Photos (12)");
    EXPECT_EQ(FormatText8FromArguments("%s (%I64u)", arguments), "Photos (12)");
    EXPECT_EQ(FormatTextFromArguments(u"%s", {}), u"%!s(MISSING)");
}

} // namespace

#include "platform/text/disk_text_decoding.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct DecodeCase {
    const char* what;
    std::string bytes;
    bool cutAtEnd;
    std::u16string text;
};

TEST(DiskTextDecoding, UTF8WhenAllOfItIsElseWindows1252) {
    const std::vector<DecodeCase> cases = {
        {"ASCII", "plain", false, u"plain"},
        {"UTF-8", "na\xC3\xAFve \xE6\x97\xA5", false, u"na\u00EFve \u65E5"},
        {"four-byte UTF-8", "\xF0\x9F\x98\x80", false, u"\U0001F600"},
        {"one stray byte makes it all 1252", "\xC3\xA9 \xE9", false, u"\u00C3\u00A9 \u00E9"},
        {"overlong form", "\xC0\x80", false, u"\u00C0\u20AC"},
        {"encoded surrogate", "\xED\xA0\x80", false, u"\u00ED\u00A0\u20AC"},
        {"above U+10FFFF", "\xF4\x90\x80\x80", false, u"\u00F4\u0090\u20AC\u20AC"},
        {"cut text keeps a sequence start", "ab\xE6\x97", true, u"ab"},
        {"whole text does not", "ab\xE6\x97", false, u"ab\u00E6\u2014"},
        {"cut text still checks what it has", "\xE6\x41", true, u"\u00E6A"},
        {"undefined 1252 bytes as C1 controls", "\x81\x8D\x8F\x90\x9D", false,
         u"\u0081\u008D\u008F\u0090\u009D"},
        {"1252 punctuation", "\x85\x96\x97\x99", false, u"\u2026\u2013\u2014\u2122"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<uint8_t> bytes(c.bytes.begin(), c.bytes.end());
        EXPECT_EQ(DecodeDiskText(bytes, c.cutAtEnd), c.text);
    }
}

TEST(DiskTextDecoding, CutNeverSplitsAPair) {
    const std::vector<std::tuple<std::u16string, size_t, std::u16string>> cases = {
        {u"abcdef", 3, u"abc"},
        {u"ab", 259, u"ab"},
        {u"a\U0001F600", 2, u"a"},
        {u"a\U0001F600", 3, u"a\U0001F600"},
    };
    for (const auto& [text, units, cut] : cases) {
        EXPECT_EQ(CutText(text, units), cut);
    }
}

} // namespace

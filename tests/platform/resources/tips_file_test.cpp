// The tips file: comments skipped, tab fields, the wrap to the start, a file without a tip,
// saved positions in odd places, and files that cannot be read.

#include "platform/resources/tips_file.h"

#include "tests/support/folder_files.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

// The texts Next() gives in turn, "-" for no tip.
std::vector<std::u16string> Texts(TipsFile& tips, int count) {
    std::vector<std::u16string> texts;
    for (int i = 0; i < count; ++i) {
        const std::optional<TipsFile::Tip> tip = tips.Next();
        texts.push_back(tip ? tip->text : u"-");
    }
    return texts;
}

struct SequenceCase {
    const char* name;
    std::string file;
    uint64_t seek;
    std::vector<std::u16string> expected;
};

TEST(TipsFileTest, TipsComeInOrderSkippingCommentsAndWrapping) {
    const std::string three = "; heading comment\nfirst\n second is a comment\nsecond\n"
                              "\tcomment\n\nthird\n";
    const std::vector<SequenceCase> cases = {
        {"from the start", three, 0, {u"first", u"second", u"third", u"first", u"second"}},
        {"from a saved line start", three, three.find("second\n"), {u"second", u"third", u"first"}},
        // Half a line is no tip: the next whole line comes first.
        {"from inside a line", three, three.find("irst"), {u"second", u"third", u"first"}},
        {"from inside the last line", three, three.find("hird"), {u"first", u"second"}},
        {"past the end", three, 100000, {u"first", u"second"}},
        {"no final line end", "one\ntwo", 0, {u"one", u"two", u"one"}},
        {"line ends of two bytes", "; c\r\none\r\n\r\ntwo\r\n", 0, {u"one", u"two", u"one"}},
        {"one tip only", ";x\nonly\n;y\n", 0, {u"only", u"only", u"only"}},
        {"only comments", "; a\n b\n\tc\n\n;d", 0, {u"-", u"-"}},
        {"only comments from inside", "; a\n b\n\tc\n", 3, {u"-", u"-"}},
        {"empty", "", 0, {u"-"}},
        {"blank lines", "\n\n\r\n", 1, {u"-"}},
    };
    for (const SequenceCase& each : cases) {
        TipsFile tips;
        tips.OpenText(each.file);
        tips.Seek(each.seek);
        EXPECT_EQ(Texts(tips, static_cast<int>(each.expected.size())), each.expected) << each.name;
    }
}

TEST(TipsFileTest, ThePositionAfterATipIsTheStartOfTheNextLine) {
    const std::string text = "first\n;c\nsecond\n";
    TipsFile tips;
    tips.OpenText(text);
    ASSERT_TRUE(tips.Next());
    EXPECT_EQ(tips.Position(), text.find(";c"));
    ASSERT_TRUE(tips.Next());
    EXPECT_EQ(tips.Position(), text.size());
    // A saved position at the end starts again at the first tip.
    TipsFile again;
    again.OpenText(text);
    again.Seek(tips.Position());
    EXPECT_EQ(Texts(again, 1), std::vector<std::u16string>{u"first"});
}

struct FieldCase {
    const char* name;
    std::string line;
    std::optional<TipsFile::Tip> expected;
};

TEST(TipsFileTest, ALineSplitsAtTabsIntoTextHeadingAndThirdText) {
    const std::vector<FieldCase> cases = {
        {"text only", "Mark files", TipsFile::Tip{u"Mark files", u"", u""}},
        {"with heading", "Mark files\tMarking", TipsFile::Tip{u"Mark files", u"Marking", u""}},
        {"three fields", "a\tb\tc", TipsFile::Tip{u"a", u"b", u"c"}},
        {"fields past the third", "a\tb\tc\td\te", TipsFile::Tip{u"a", u"b", u"c"}},
        {"empty heading", "a\t\tc", TipsFile::Tip{u"a", u"", u"c"}},
        {"line end kept off", "a\tb\r", TipsFile::Tip{u"a", u"b", u""}},
        {"utf-8", "Größe \xE2\x80\x93 fin", TipsFile::Tip{u"Größe – fin", u"", u""}},
        {"bad utf-8",
         "a\xFF"
         "b",
         TipsFile::Tip{u"a\uFFFDb", u"", u""}},
        {"semicolon", ";comment", std::nullopt},
        {"blank", " indented", std::nullopt},
        {"tab", "\tindented", std::nullopt},
        {"empty", "", std::nullopt},
        {"carriage return only", "\r", std::nullopt},
    };
    for (const FieldCase& each : cases) {
        const std::optional<TipsFile::Tip> tip = TipsFile::ParseLine(each.line);
        ASSERT_EQ(tip.has_value(), each.expected.has_value()) << each.name;
        if (!tip)
            continue;
        EXPECT_EQ(tip->text, each.expected->text) << each.name;
        EXPECT_EQ(tip->heading, each.expected->heading) << each.name;
        EXPECT_EQ(tip->third, each.expected->third) << each.name;
    }
}

TEST(TipsFileTest, ALongLineIsCutToItsLimit) {
    const std::string line(3000, 'x');
    const std::optional<TipsFile::Tip> tip = TipsFile::ParseLine(line);
    ASSERT_TRUE(tip);
    EXPECT_EQ(tip->text.size(), TipsFile::kMaxLineCharacters);
}

TEST(TipsFileTest, FilesOpenOnlyWhenTheyCanBeRead) {
    TempDir dir;
    TipsFile tips;
    EXPECT_FALSE(tips.Open(dir.File("missing.txt")));
    EXPECT_FALSE(tips.IsOpen());
    EXPECT_FALSE(tips.Next());
    EXPECT_FALSE(tips.Open(dir.Path()));

    const std::filesystem::path big = dir.File("big.txt");
    WriteFileText(big, std::string(TipsFile::kMaxFileBytes + 1, 'x'));
    EXPECT_FALSE(tips.Open(big));

    const std::filesystem::path file = dir.File("Tips.txt");
    WriteFileText(file, "; c\nreal tip\tHeading\n");
    ASSERT_TRUE(tips.Open(file));
    const std::optional<TipsFile::Tip> tip = tips.Next();
    ASSERT_TRUE(tip);
    EXPECT_EQ(tip->text, u"real tip");
    EXPECT_EQ(tip->heading, u"Heading");
}

} // namespace

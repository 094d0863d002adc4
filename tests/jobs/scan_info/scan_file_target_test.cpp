#include "jobs/scan_info/scan_file_target.h"
#include "tests/support/folder_files.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

using Answer = ScanFileExistsRequest::Answer;

// Answers from a script and keeps the paths it was asked about.
struct ScriptedAsk {
    struct Reply {
        Answer answer;
        std::u16string newName;
    };
    std::vector<Reply> replies;
    std::vector<std::filesystem::path> asked;

    ScanFileTarget::Ask Function() {
        return [this](const std::filesystem::path& existing, std::u16string& newName) {
            asked.push_back(existing);
            const Reply reply = asked.size() <= replies.size() ? replies[asked.size() - 1]
                                                               : Reply{Answer::Cancel, u""};
            newName = reply.newName;
            return reply.answer;
        };
    }
};

TEST(ScanFileTargetTest, AFreeNameIsTakenWithoutAQuestion) {
    TempDir dir;
    ScriptedAsk ask;
    const auto target = ScanFileTarget::Resolve(dir.File("HardDrv0Scan.DAT"), ask.Function());
    ASSERT_TRUE(target.has_value());
    EXPECT_EQ(target->path, dir.File("HardDrv0Scan.DAT"));
    EXPECT_FALSE(target->replace);
    EXPECT_TRUE(ask.asked.empty());
}

TEST(ScanFileTargetTest, AnswersToAnExistingName) {
    TempDir dir;
    const std::filesystem::path existing = dir.File("scan.DAT");
    WriteFileText(existing, "old");
    WriteFileText(dir.File("other.DAT"), "old");
    std::filesystem::create_directory(dir.File("elsewhere"));

    const struct {
        const char* what;
        std::vector<ScriptedAsk::Reply> replies;
        bool resolved;
        std::filesystem::path path;
        bool replace;
        size_t questions;
    } cases[] = {
        {"cancel", {{Answer::Cancel, u"ignored.DAT"}}, false, {}, false, 1},
        {"overwrite", {{Answer::Overwrite, u""}}, true, existing, true, 1},
        {"rename to a free bare name lands beside the existing file",
         {{Answer::Rename, u"fresh.DAT"}},
         true,
         dir.File("fresh.DAT"),
         false,
         1},
        {"rename to a path keeps the path",
         {{Answer::Rename, (dir.File("elsewhere") / "new.DAT").u16string()}},
         true,
         dir.File("elsewhere") / "new.DAT",
         false,
         1},
        {"rename to another existing name asks again",
         {{Answer::Rename, u"other.DAT"}, {Answer::Rename, u"third.DAT"}},
         true,
         dir.File("third.DAT"),
         false,
         2},
        {"overwrite after renaming replaces the renamed file",
         {{Answer::Rename, u"other.DAT"}, {Answer::Overwrite, u""}},
         true,
         dir.File("other.DAT"),
         true,
         2},
        {"rename to an empty name cancels", {{Answer::Rename, u""}}, false, {}, false, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedAsk ask;
        ask.replies = c.replies;
        const auto target = ScanFileTarget::Resolve(existing, ask.Function());
        ASSERT_EQ(target.has_value(), c.resolved);
        if (c.resolved) {
            EXPECT_EQ(target->path, c.path);
            EXPECT_EQ(target->replace, c.replace);
        }
        ASSERT_EQ(ask.asked.size(), c.questions);
        EXPECT_EQ(ask.asked.front(), existing);
        if (c.questions == 2) {
            EXPECT_EQ(ask.asked[1], dir.File("other.DAT"));
        }
    }
    // Asking changes nothing on disk.
    EXPECT_EQ(ReadFileText(existing), "old");
}

TEST(ScanFileTargetTest, ADanglingLinkCountsAsAnExistingName) {
    TempDir dir;
    std::filesystem::create_symlink(dir.File("missing"), dir.File("link.DAT"));
    ScriptedAsk ask;
    ask.replies = {{Answer::Rename, u"free.DAT"}};
    const auto target = ScanFileTarget::Resolve(dir.File("link.DAT"), ask.Function());
    ASSERT_TRUE(target.has_value());
    EXPECT_EQ(target->path, dir.File("free.DAT"));
    EXPECT_EQ(ask.asked.size(), 1u);
}

TEST(ScanFileTargetTest, RenamingToTakenNamesEndsAfterTheQuestionLimit) {
    TempDir dir;
    WriteFileText(dir.File("a.DAT"), "");
    WriteFileText(dir.File("b.DAT"), "");
    ScriptedAsk ask;
    for (int i = 0; i < ScanFileTarget::kMaxQuestions + 5; ++i) {
        ask.replies.push_back({Answer::Rename, i % 2 == 0 ? u"b.DAT" : u"a.DAT"});
    }
    EXPECT_FALSE(ScanFileTarget::Resolve(dir.File("a.DAT"), ask.Function()).has_value());
    EXPECT_EQ(ask.asked.size(), static_cast<size_t>(ScanFileTarget::kMaxQuestions));

    // The last allowed question may still give a free name.
    ScriptedAsk last;
    last.replies.assign(ScanFileTarget::kMaxQuestions - 1, {Answer::Rename, u"b.DAT"});
    last.replies.push_back({Answer::Rename, u"c.DAT"});
    const auto target = ScanFileTarget::Resolve(dir.File("a.DAT"), last.Function());
    ASSERT_TRUE(target.has_value());
    EXPECT_EQ(target->path, dir.File("c.DAT"));
}

TEST(ScanFileTargetTest, AnEmptyChosenPathIsNoTarget) {
    ScriptedAsk ask;
    EXPECT_FALSE(ScanFileTarget::Resolve({}, ask.Function()).has_value());
    EXPECT_TRUE(ask.asked.empty());
}

} // namespace

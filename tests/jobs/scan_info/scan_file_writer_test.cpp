#include "jobs/scan_info/scan_file_writer.h"
#include "tests/support/folder_files.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <vector>

namespace {

std::span<const uint8_t> BytesOf(std::string_view text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

TEST(ScanFileWriterTest, CommitCreatesTheFileFromAppendsAndPatches) {
    TempDir dir;
    const std::filesystem::path target = dir.File("scan.DAT");
    ScanFileWriter writer;
    ASSERT_TRUE(writer.Open(target));
    EXPECT_GE(writer.Descriptor(), 0);
    // Nothing shows under the target's name before the commit.
    EXPECT_FALSE(std::filesystem::exists(target));
    ASSERT_TRUE(writer.Append(BytesOf("header--")));
    ASSERT_TRUE(writer.Append(BytesOf("body")));
    ASSERT_TRUE(writer.WriteAt(6, BytesOf("OK")));
    ASSERT_TRUE(writer.Commit(false));
    EXPECT_EQ(ReadFileText(target), "headerOKbody");
    EXPECT_EQ(FolderNames(dir.Path()), std::vector<std::string>{"scan.DAT"});
    EXPECT_EQ(writer.Descriptor(), -1);

    struct stat info {};
    ASSERT_EQ(::stat(target.c_str(), &info), 0);
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(info.st_mode & 0777, 0644 & ~mask);
}

TEST(ScanFileWriterTest, WithoutReplaceAFileThatAppearedMeanwhileStays) {
    TempDir dir;
    const std::filesystem::path target = dir.File("scan.DAT");
    ScanFileWriter writer;
    ASSERT_TRUE(writer.Open(target));
    ASSERT_TRUE(writer.Append(BytesOf("new")));
    WriteFileText(target, "someone else's");
    EXPECT_FALSE(writer.Commit(false));
    EXPECT_EQ(errno, EEXIST);
    EXPECT_EQ(ReadFileText(target), "someone else's");
    EXPECT_EQ(FolderNames(dir.Path()), std::vector<std::string>{"scan.DAT"});
    // A failed commit is final.
    EXPECT_FALSE(writer.Append(BytesOf("more")));
    EXPECT_FALSE(writer.Commit(true));
    EXPECT_EQ(ReadFileText(target), "someone else's");
}

TEST(ScanFileWriterTest, WithReplaceTheExistingFileIsReplaced) {
    TempDir dir;
    const std::filesystem::path target = dir.File("scan.DAT");
    WriteFileText(target, "old contents, longer than the new");
    ScanFileWriter writer;
    ASSERT_TRUE(writer.Open(target));
    ASSERT_TRUE(writer.Append(BytesOf("new")));
    ASSERT_TRUE(writer.Commit(true));
    EXPECT_EQ(ReadFileText(target), "new");
    EXPECT_EQ(FolderNames(dir.Path()), std::vector<std::string>{"scan.DAT"});
}

TEST(ScanFileWriterTest, AnUncommittedWriterLeavesNoTemporary) {
    TempDir dir;
    WriteFileText(dir.File("scan.DAT"), "kept");
    {
        ScanFileWriter writer;
        ASSERT_TRUE(writer.Open(dir.File("scan.DAT")));
        ASSERT_TRUE(writer.Append(BytesOf("dropped")));
        EXPECT_EQ(FolderNames(dir.Path()).size(), 2u);
    }
    EXPECT_EQ(FolderNames(dir.Path()), std::vector<std::string>{"scan.DAT"});

    ScanFileWriter writer;
    ASSERT_TRUE(writer.Open(dir.File("other.DAT")));
    writer.Abandon();
    EXPECT_EQ(writer.Descriptor(), -1);
    EXPECT_FALSE(writer.Commit(false));
    EXPECT_EQ(FolderNames(dir.Path()), std::vector<std::string>{"scan.DAT"});
    EXPECT_EQ(ReadFileText(dir.File("scan.DAT")), "kept");

    // Opening again drops the first temporary.
    ASSERT_TRUE(writer.Open(dir.File("one.DAT")));
    ASSERT_TRUE(writer.Open(dir.File("two.DAT")));
    ASSERT_TRUE(writer.Commit(false));
    EXPECT_EQ(FolderNames(dir.Path()), (std::vector<std::string>{"scan.DAT", "two.DAT"}));
}

TEST(ScanFileWriterTest, AMissingFolderOrNoFileNameFailsOpen) {
    TempDir dir;
    ScanFileWriter writer;
    EXPECT_FALSE(writer.Open(dir.File("missing") / "scan.DAT"));
    EXPECT_EQ(errno, ENOENT);
    EXPECT_FALSE(std::filesystem::exists(dir.File("missing")));
    EXPECT_FALSE(writer.Open({}));
    EXPECT_FALSE(writer.Open(dir.Path() / ""));
    EXPECT_EQ(writer.Descriptor(), -1);
    EXPECT_FALSE(writer.Append(BytesOf("x")));
    EXPECT_TRUE(FolderNames(dir.Path()).empty());
}

TEST(ScanFileWriterTest, ALinkAtTheTargetIsNeverWrittenThrough) {
    TempDir dir;
    const std::filesystem::path outside = dir.File("outside.txt");
    WriteFileText(outside, "precious");
    const std::filesystem::path dangling = dir.File("nowhere.txt");

    const struct {
        const char* what;
        std::filesystem::path pointsAt;
        bool replace;
    } cases[] = {
        {"link to a file, no replace", outside, false},
        {"dangling link, no replace", dangling, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::filesystem::path link = dir.File("scan.DAT");
        std::filesystem::remove(link);
        std::filesystem::create_symlink(c.pointsAt, link);
        ScanFileWriter writer;
        ASSERT_TRUE(writer.Open(link));
        ASSERT_TRUE(writer.Append(BytesOf("new")));
        EXPECT_FALSE(writer.Commit(c.replace));
        EXPECT_TRUE(std::filesystem::is_symlink(link));
        EXPECT_EQ(std::filesystem::read_symlink(link), c.pointsAt);
        EXPECT_EQ(ReadFileText(outside), "precious");
        EXPECT_FALSE(std::filesystem::exists(dangling));
        EXPECT_EQ(FolderNames(dir.Path()).size(), 2u);
    }

    // Overwrite replaces the link itself, not what it points at.
    ScanFileWriter writer;
    ASSERT_TRUE(writer.Open(dir.File("scan.DAT")));
    ASSERT_TRUE(writer.Append(BytesOf("new")));
    ASSERT_TRUE(writer.Commit(true));
    EXPECT_FALSE(std::filesystem::is_symlink(dir.File("scan.DAT")));
    EXPECT_EQ(ReadFileText(dir.File("scan.DAT")), "new");
    EXPECT_EQ(ReadFileText(outside), "precious");
    EXPECT_FALSE(std::filesystem::exists(dangling));
}

} // namespace

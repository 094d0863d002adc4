#include "jobs/recovery/local_destination.h"

#include "platform/text/utf_conversion.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const fs::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

bool WriteText(RecoveredFileSink& sink, const std::string& text) {
    return sink.Write(text.data(), text.size());
}

class LocalDestinationTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_root = m_temp.Path() / "dest";
        m_outside = m_temp.Path() / "outside";
        fs::create_directory(m_outside);
        std::u16string error;
        m_destination = LocalDestination::Open(m_root, error);
        ASSERT_TRUE(m_destination) << Utf16ToUtf8(error);
        EXPECT_TRUE(error.empty());
    }

    TempDir m_temp;
    fs::path m_root;
    fs::path m_outside;
    std::unique_ptr<LocalDestination> m_destination;
};

TEST_F(LocalDestinationTest, BuildsNestedFoldersAndFiles) {
    ASSERT_TRUE(fs::is_directory(m_root));
    ASSERT_TRUE(m_destination->EnterFolder(u"a"));
    auto first = m_destination->CreateFile(u"one.txt", false);
    ASSERT_TRUE(first);
    EXPECT_TRUE(WriteText(*first, "first"));
    EXPECT_TRUE(first->Close());

    ASSERT_TRUE(m_destination->EnterFolder(u"日本"));
    auto second = m_destination->CreateFile(u"\U0001F600.bin", false);
    ASSERT_TRUE(second);
    EXPECT_TRUE(WriteText(*second, "second"));
    EXPECT_TRUE(second->Write(nullptr, 0));
    EXPECT_TRUE(second->Close());
    // A closed sink takes nothing more.
    EXPECT_FALSE(WriteText(*second, "late"));
    EXPECT_FALSE(second->Close());
    m_destination->LeaveFolder();

    // Entering an existing folder again is fine.
    ASSERT_TRUE(m_destination->EnterFolder(u"日本"));
    m_destination->LeaveFolder();
    m_destination->LeaveFolder();
    // Leaving the root stays at the root.
    m_destination->LeaveFolder();
    m_destination->LeaveFolder();
    auto top = m_destination->CreateFile(u"top.txt", false);
    ASSERT_TRUE(top);
    EXPECT_TRUE(top->Close());

    EXPECT_EQ(ReadAll(m_root / "a" / "one.txt"), "first");
    EXPECT_EQ(ReadAll(m_root / "a" / "日本" / "😀.bin"), "second");
    EXPECT_TRUE(fs::is_regular_file(m_root / "top.txt"));
    EXPECT_FALSE(fs::exists(m_temp.Path() / "top.txt"));
    EXPECT_FALSE(m_destination->Lost());
}

TEST_F(LocalDestinationTest, NewFilesGetMode0644UnderTheUmask) {
    const mode_t previous = ::umask(022);
    const int fd = m_destination->OpenFileDescriptor(u"plain", false);
    ::umask(077);
    const int privateFd = m_destination->OpenFileDescriptor(u"private", false);
    ::umask(previous);
    ASSERT_GE(fd, 0);
    ASSERT_GE(privateFd, 0);
    struct stat status {};
    ASSERT_EQ(::fstat(fd, &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0644u);
    ASSERT_EQ(::fstat(privateFd, &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0600u);
    // The descriptor is the caller's, open for writing and closed on exec.
    EXPECT_EQ(::write(fd, "xy", 2), 2);
    EXPECT_NE(::fcntl(fd, F_GETFD) & FD_CLOEXEC, 0);
    EXPECT_EQ(::fcntl(fd, F_GETFL) & O_NONBLOCK, 0);
    ::close(fd);
    ::close(privateFd);
    EXPECT_EQ(ReadAll(m_root / "plain"), "xy");
}

TEST(LocalDestinationOpenTest, RootIsMadeOneLevelOnly) {
    TempDir temp;
    std::u16string error;
    EXPECT_FALSE(LocalDestination::Open(temp.Path() / "missing" / "dest", error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(fs::exists(temp.Path() / "missing"));

    WriteAll(temp.Path() / "file", "x");
    EXPECT_FALSE(LocalDestination::Open(temp.Path() / "file", error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(LocalDestination::Open("", error));

    // An existing folder is used as it is.
    fs::create_directory(temp.Path() / "existing");
    WriteAll(temp.Path() / "existing" / "kept", "kept");
    auto destination = LocalDestination::Open(temp.Path() / "existing", error);
    ASSERT_TRUE(destination);
    EXPECT_TRUE(destination->Exists(u"kept"));
}

TEST_F(LocalDestinationTest, UnsafeNamesAreRefused) {
    WriteAll(m_outside / "victim", "victim");
    for (const std::u16string& name :
         {std::u16string(), std::u16string(u"."), std::u16string(u".."), std::u16string(u"a/b"),
          std::u16string(u"../outside"), std::u16string(u"/tmp"), std::u16string(u"a\0b", 3)}) {
        EXPECT_FALSE(m_destination->EnterFolder(name));
        EXPECT_FALSE(m_destination->CreateFile(name, true));
        EXPECT_EQ(m_destination->OpenFileDescriptor(name, false), -1);
        EXPECT_FALSE(m_destination->Exists(name));
        EXPECT_FALSE(m_destination->LastError().empty());
    }
    EXPECT_FALSE(m_destination->CreateFile(u"../outside/victim", true));
    EXPECT_EQ(ReadAll(m_outside / "victim"), "victim");
    EXPECT_TRUE(fs::is_empty(m_root));
}

TEST_F(LocalDestinationTest, FolderLinkIsNotFollowed) {
    fs::create_directory_symlink(m_outside, m_root / "linked");
    EXPECT_FALSE(m_destination->EnterFolder(u"linked"));
    EXPECT_FALSE(m_destination->LastError().empty());
    // Still at the root: the next file lands there, not through the link.
    auto sink = m_destination->CreateFile(u"after.txt", false);
    ASSERT_TRUE(sink);
    EXPECT_TRUE(sink->Close());
    EXPECT_TRUE(fs::exists(m_root / "after.txt"));
    EXPECT_TRUE(fs::is_empty(m_outside));

    // A plain file in the way of a folder fails too.
    WriteAll(m_root / "plain", "x");
    EXPECT_FALSE(m_destination->EnterFolder(u"plain"));
    EXPECT_EQ(ReadAll(m_root / "plain"), "x");
}

TEST_F(LocalDestinationTest, FileLinkIsNeitherFollowedNorReplaced) {
    WriteAll(m_outside / "target", "untouched");
    fs::create_symlink(m_outside / "target", m_root / "link.txt");
    fs::create_symlink(m_outside / "new", m_root / "dangling.txt");
    for (const bool overwrite : {false, true}) {
        SCOPED_TRACE(overwrite);
        EXPECT_FALSE(m_destination->CreateFile(u"link.txt", overwrite));
        EXPECT_FALSE(m_destination->LastError().empty());
        EXPECT_FALSE(m_destination->CreateFile(u"dangling.txt", overwrite));
        EXPECT_EQ(m_destination->OpenFileDescriptor(u"link.txt", overwrite), -1);
    }
    EXPECT_EQ(ReadAll(m_outside / "target"), "untouched");
    EXPECT_FALSE(fs::exists(m_outside / "new"));
    EXPECT_TRUE(fs::is_symlink(m_root / "link.txt"));
}

TEST_F(LocalDestinationTest, ExistsSeesEveryKindOfEntry) {
    WriteAll(m_root / "file", "x");
    fs::create_directory(m_root / "folder");
    fs::create_symlink(m_temp.Path() / "nowhere", m_root / "dangling");
    EXPECT_TRUE(m_destination->Exists(u"file"));
    EXPECT_TRUE(m_destination->Exists(u"folder"));
    EXPECT_TRUE(m_destination->Exists(u"dangling"));
    EXPECT_FALSE(m_destination->Exists(u"missing"));
    ASSERT_TRUE(m_destination->EnterFolder(u"folder"));
    EXPECT_FALSE(m_destination->Exists(u"file"));
}

TEST_F(LocalDestinationTest, ExistingFileNeedsOverwrite) {
    WriteAll(m_root / "report.doc", "old contents, longer");
    EXPECT_FALSE(m_destination->CreateFile(u"report.doc", false));
    EXPECT_FALSE(m_destination->LastError().empty());
    EXPECT_EQ(ReadAll(m_root / "report.doc"), "old contents, longer");

    auto sink = m_destination->CreateFile(u"report.doc", true);
    ASSERT_TRUE(sink);
    EXPECT_TRUE(WriteText(*sink, "new"));
    EXPECT_TRUE(sink->Close());
    EXPECT_EQ(ReadAll(m_root / "report.doc"), "new");

    // Overwrite of a folder fails.
    fs::create_directory(m_root / "folder");
    EXPECT_FALSE(m_destination->CreateFile(u"folder", true));
}

TEST_F(LocalDestinationTest, OverwriteDoesNotWaitOnAFifo) {
    ASSERT_EQ(::mkfifo((m_root / "pipe").c_str(), 0644), 0);
    EXPECT_FALSE(m_destination->CreateFile(u"pipe", true));
    EXPECT_FALSE(m_destination->CreateFile(u"pipe", false));
}

TEST_F(LocalDestinationTest, SetTimesSetsModifiedAndKeepsAccessUnlessGiven) {
    auto sink = m_destination->CreateFile(u"timed", false);
    ASSERT_TRUE(sink);
    struct stat before {};
    ASSERT_EQ(::stat((m_root / "timed").c_str(), &before), 0);

    const timespec modified{1000000000, 123456789};
    ASSERT_TRUE(sink->SetTimes(modified, std::nullopt));
    struct stat after {};
    ASSERT_EQ(::stat((m_root / "timed").c_str(), &after), 0);
    EXPECT_EQ(after.st_mtim.tv_sec, modified.tv_sec);
    EXPECT_EQ(after.st_mtim.tv_nsec, modified.tv_nsec);
    EXPECT_EQ(after.st_atim.tv_sec, before.st_atim.tv_sec);
    EXPECT_EQ(after.st_atim.tv_nsec, before.st_atim.tv_nsec);

    // Before 1970, and an access time.
    const timespec old{-86400, 0};
    const timespec accessed{1500000000, 5};
    ASSERT_TRUE(sink->SetTimes(old, accessed));
    ASSERT_EQ(::stat((m_root / "timed").c_str(), &after), 0);
    EXPECT_EQ(after.st_mtim.tv_sec, old.tv_sec);
    EXPECT_EQ(after.st_atim.tv_sec, accessed.tv_sec);
    EXPECT_EQ(after.st_atim.tv_nsec, accessed.tv_nsec);

    // Out-of-range nanoseconds (which futimens would read as its special markers) are refused.
    EXPECT_FALSE(sink->SetTimes(timespec{0, UTIME_NOW}, std::nullopt));
    EXPECT_FALSE(sink->SetTimes(modified, timespec{0, -1}));
    EXPECT_TRUE(sink->Close());
    EXPECT_FALSE(sink->SetTimes(modified, std::nullopt));
}

// The child process reports through its exit code.
enum ChildResult {
    kChildOk = 0,
    kChildNoSink = 10,
    kChildFirstWriteFailed,
    kChildOverlongWriteSucceeded,
    kChildLaterWriteSucceeded,
    kChildCloseSucceeded,
};

TEST_F(LocalDestinationTest, WriteBeyondTheFileSizeLimitFails) {
    constexpr size_t kLimit = 4096;
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{kLimit, kLimit};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        auto sink = m_destination->CreateFile(u"big", false);
        if (!sink)
            ::_exit(kChildNoSink);
        const std::string block(3000, 'b');
        if (!sink->Write(block.data(), block.size()))
            ::_exit(kChildFirstWriteFailed);
        // Crosses the limit once written out (writes wait for a flush): part is written, then
        // EFBIG.
        if (sink->Write(block.data(), block.size()) && sink->Flush())
            ::_exit(kChildOverlongWriteSucceeded);
        if (sink->Write("x", 1))
            ::_exit(kChildLaterWriteSucceeded);
        if (sink->Close())
            ::_exit(kChildCloseSucceeded);
        ::_exit(kChildOk);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), kChildOk);
    EXPECT_EQ(fs::file_size(m_root / "big"), kLimit);
}

} // namespace

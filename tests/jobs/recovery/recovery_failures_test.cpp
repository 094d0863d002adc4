// A recovery whose files cannot be written says so: a folder that refuses new files, an FTP
// server that refuses uploads and zip archives on a full file system each end with the count of
// files not recovered in the log and in a message box, and Recover Selected leaves marked every
// file it did not save. A destination on the disk being read is written only after a Yes.

#include "filesystems/scan_log.h"
#include "platform/text/format_text.h"
#include "platform/resources/string_table.h"
#include "platform/text/utf_conversion.h"
#include "resources/string_ids.h"
#include "tests/jobs/recovery/recovery_test_fixture.h"
#include "tests/support/fake_sysfs.h"
#include "tests/support/file_size_limited_child.h"
#include "tests/support/ftp_test_server.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using Saving = CThreadForSavingFiles;

namespace {

constexpr char kFixture[] = "fat12_floppy";

std::u16string English(uint32_t id) {
    return std::u16string(StringTable::Program().English(id));
}

std::u16string WithCount(uint32_t id, size_t count) {
    return FormatText(English(id), static_cast<int32_t>(count));
}

// A folder that takes no new entries, root included (root ignores the mode bits, not the
// immutable flag); put back as it was when the object goes.
class UnwritableFolder {
public:
    explicit UnwritableFolder(const fs::path& folder) : m_folder(folder) {
        fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
        SetImmutable(true);
    }
    ~UnwritableFolder() {
        SetImmutable(false);
        fs::permissions(m_folder, fs::perms::owner_all);
    }
    UnwritableFolder(const UnwritableFolder&) = delete;
    UnwritableFolder& operator=(const UnwritableFolder&) = delete;

    // Whether the folder refuses a new file indeed.
    bool Refuses() const {
        const fs::path probe = m_folder / "probe";
        const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0)
            return true;
        ::close(fd);
        ::unlink(probe.c_str());
        return false;
    }

private:
    void SetImmutable(bool on) const {
        const int fd = ::open(m_folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0)
            return;
        int flags = 0;
        if (::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
            flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
            ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
        }
        ::close(fd);
    }

    fs::path m_folder;
};

class RecoveryFailuresTest : public RecoveryTest {
protected:
    void SetUp() override { Scan(kFixture); }

    // Marks every entry, as Select All does, and sets the totals it shows.
    Parameters SelectAllTo(const fs::path& destination) {
        m_tree.CheckAll(2);
        uint32_t folders = 0;
        uint64_t bytes = 0;
        for (const FoundTree::Entry& entry : m_tree.Entries()) {
            folders += entry.item.IsFolder() ? 1 : 0;
            bytes += entry.item.IsFolder() ? 0 : entry.item.size;
        }
        m_state.selectedFiles = static_cast<uint32_t>(Files().size());
        m_state.selectedFolders = folders;
        m_state.selectedBytes = bytes;
        Parameters parameters = RecoverAllTo(destination);
        parameters.allFiles = false;
        return parameters;
    }

    // What a recovery of which nothing was written must show: a Failed row for every file, the
    // count in the end row and in the message box, and every mark kept.
    void ExpectNothingRecovered(const std::vector<LogLine>& rows, bool selected) {
        const size_t files = Files().size();
        ASSERT_GT(files, 3u);
        const auto results = ResultsByName(rows);
        for (const auto& [name, status] : results)
            EXPECT_EQ(status, English(kFailedId)) << Utf16ToUtf8(name);
        ASSERT_FALSE(rows.empty());
        EXPECT_EQ(std::get<1>(rows.back()), WithCount(kFailedNotRecoveredId, files));
        EXPECT_EQ(std::get<3>(rows.back()), ScanLog::kImageAborted);
        for (const LogLine& row : rows)
            EXPECT_NE(std::get<1>(row), u"Process completed") << "a recovery of nothing completed";
        const auto boxes = m_window.MessageBoxes();
        ASSERT_FALSE(boxes.empty());
        EXPECT_EQ(boxes.back().text, WithCount(kNotRecoveredBoxId, files));
        EXPECT_TRUE(UnmarkedFiles().empty());
        if (selected) {
            EXPECT_EQ(m_state.selectedFiles.load(), files);
        }
    }
};

TEST_F(RecoveryFailuresTest, AFolderThatRefusesFilesRecoversNothingAndSaysSo) {
    const fs::path out = m_work.File("out");
    fs::create_directory(out);
    UnwritableFolder refusing(out);
    if (!refusing.Refuses())
        GTEST_SKIP() << "this file system lets the folder take files whatever its flags";

    for (const bool selected : {false, true}) {
        SCOPED_TRACE(selected ? "Recover Selected" : "Recover All");
        Parameters parameters = selected ? SelectAllTo(out) : RecoverAllTo(out);
        const auto rows = Recover(parameters);
        // Files in folders that could not be made were not tried, and are counted all the same.
        ExpectNothingRecovered(rows, selected);
        EXPECT_TRUE(fs::is_empty(out));
    }
}

TEST_F(RecoveryFailuresTest, AServerThatRefusesUploadsRecoversNothingAndSaysSo) {
    FtpTestServer::Options options;
    options.refuseUploads = true;
    FtpTestServer server(options);
    ASSERT_TRUE(server.Running());
    Parameters parameters = SelectAllTo("/recovered");
    parameters.target = Saving::Target::FtpServer;
    parameters.ftp = {Utf8ToUtf16("127.0.0.1:" + std::to_string(server.Port())),
                      Utf8ToUtf16(server.User()), Utf8ToUtf16(server.Password())};
    const auto rows = Recover(parameters);

    ExpectNothingRecovered(rows, true);
    EXPECT_EQ(CountStatus(rows, u"Started"), Files().size());
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(server.Root()))
        EXPECT_FALSE(entry.is_regular_file()) << entry.path();
}

TEST_F(RecoveryFailuresTest, APartlyFailedRecoveryCompletesWithTheCount) {
    // One folder refuses its files; the rest is written.
    const fs::path out = m_work.File("out");
    fs::create_directories(out / "Docs");
    UnwritableFolder refusing(out / "Docs");
    if (!refusing.Refuses())
        GTEST_SKIP() << "this file system lets the folder take files whatever its flags";
    const auto rows = Recover(SelectAllTo(out));

    size_t written = 0;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(out))
        written += entry.is_regular_file() ? 1 : 0;
    ASSERT_GT(written, 0u);
    const size_t failed = Files().size() - written;
    ASSERT_GT(failed, 0u);
    EXPECT_EQ(std::get<1>(rows.back()), WithCount(kCompletedNotRecoveredId, failed));
    EXPECT_EQ(std::get<3>(rows.back()), ScanLog::kImagePartial);
    const auto boxes = m_window.MessageBoxes();
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(boxes.back().text, WithCount(kNotRecoveredBoxId, failed));
    EXPECT_EQ(UnmarkedFiles().size(), written);
    EXPECT_EQ(m_state.selectedFiles.load(), failed);
}

// Zip archives on a file system that fills up (a file-size limit in a child process, so that
// the test's own files are not limited): every file whose archive or entry could not be
// completed counts, and stays marked; the files that an intact archive holds are unmarked.
class FullFileSystemZipTest : public RecoveryFailuresTest,
                              public ::testing::WithParamInterface<bool> {
protected:
    // The files that the archives below `out` hold whole (unzip -t passes).
    static size_t FilesInArchives(const fs::path& out) {
        size_t files = 0;
        for (const fs::directory_entry& entry : fs::recursive_directory_iterator(out)) {
            if (entry.path().extension() != ".zip")
                continue;
            const std::string archive = ShellQuote(entry.path().string());
            if (RunCommand("unzip -tqq " + archive + " >/dev/null 2>&1") != 0)
                continue;
            std::string listing;
            if (RunCommand("zipinfo -1 " + archive, &listing) != 0)
                continue;
            std::istringstream lines(listing);
            std::string line;
            while (std::getline(lines, line))
                files += !line.empty() && line.back() != '/' ? 1 : 0;
        }
        return files;
    }
};

TEST_P(FullFileSystemZipTest, FilesWhoseArchiveIsNotWholeAreCountedAndStayMarked) {
    const bool single = GetParam();
    const fs::path out = m_work.File("out");
    fs::create_directory(out);
    Parameters parameters = SelectAllTo(out);
    parameters.zip = true;
    parameters.singleArchive = single;
    const size_t files = Files().size();
    // Archives of each file: room for the small files only. One archive: room for its first
    // entries only.
    const uint64_t limit = single ? 1200 : 200;

    const int code = ExitCodeWithFileSizeLimit(limit, [&]() -> int {
        const auto rows = Recover(parameters);
        const size_t whole = FilesInArchives(out);
        // The files the job says it saved are the ones unmarked, and as many as the archives
        // hold; with no archive whole, none.
        std::multiset<std::u16string> saved;
        for (const auto& [name, status] : ResultsByName(rows))
            if (status != English(kFailedId) && whole > 0)
                saved.insert(name);
        const std::vector<std::u16string> unmarkedNames = UnmarkedFiles();
        const std::multiset<std::u16string> unmarked(unmarkedNames.begin(), unmarkedNames.end());
        const size_t failed = files - whole;
        const bool nothing = whole == 0;
        const std::u16string end =
            WithCount(nothing ? kFailedNotRecoveredId : kCompletedNotRecoveredId, failed);
        const auto boxes = m_window.MessageBoxes();
        int code = 0;
        if (unmarked != saved)
            code = 1;
        else if (unmarked.size() != whole)
            code = 6;
        else if (failed == 0)
            code = 2;
        else if (rows.empty() || std::get<1>(rows.back()) != end)
            code = 3;
        else if (boxes.empty() || boxes.back().text != WithCount(kNotRecoveredBoxId, failed))
            code = 4;
        else if (m_state.selectedFiles.load() != failed)
            code = 5;
        if (code != 0 && !rows.empty())
            std::fprintf(stderr, "whole %zu, saved %zu, unmarked %zu, end row: %s\n", whole,
                         saved.size(), unmarked.size(),
                         Utf16ToUtf8(std::get<1>(rows.back())).c_str());
        return code;
    });
    EXPECT_EQ(code, 0)
        << "1: the unmarked files are not those the archives hold; 2: every file fit; 3: the "
           "end row lacks the count; 4: no message box with the count; 5: the marked total is "
           "wrong; 6: the archives hold another number of files than were unmarked";
}

INSTANTIATE_TEST_SUITE_P(OneAndEach, FullFileSystemZipTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "OneArchive" : "ArchivePerFile";
                         });

// --- a destination on the disk being read ----------------------------------------------------

TEST_F(RecoveryFailuresTest, ADestinationBesideTheImageIsWrittenOnlyAfterYes) {
    const fs::path out = m_work.File("out");
    for (const MessageBoxAnswer answer : {MessageBoxAnswer::No, MessageBoxAnswer::Yes}) {
        const bool yes = answer == MessageBoxAnswer::Yes;
        SCOPED_TRACE(yes ? "Yes" : "No");
        boxAnswer = answer;
        const auto rows = Recover(RecoverAllTo(out));

        const auto boxes = m_window.MessageBoxes();
        ASSERT_GE(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, FormatText(English(kDestinationOnSourceDiskQuestionId),
                                            fs::path(out).u16string()));
        EXPECT_EQ(boxes[0].buttons, MessageBoxButtons::YesNo);
        ASSERT_FALSE(rows.empty());
        EXPECT_EQ(std::get<1>(rows[0]),
                  FormatText(English(kDestinationOnSourceDiskId), fs::path(out).u16string()));
        EXPECT_EQ(std::get<2>(rows[0]),
                  yes ? u"Answered Yes: written there" : u"Answered No: nothing written");
        if (yes) {
            EXPECT_TRUE(fs::is_regular_file(out / "README.TXT"));
            EXPECT_EQ(std::get<1>(rows.back()), u"Process completed");
        } else {
            EXPECT_EQ(rows.size(), 1u);
            EXPECT_FALSE(fs::exists(out)) << "No made the folder";
            EXPECT_EQ(m_window.Count(WM_GET_CHILD_ITEMS), 0u);
        }
    }
}

TEST_F(RecoveryFailuresTest, OnAnotherFileSystemNothingIsAskedUnlessItIsAPartitionOfTheDisk) {
    std::unique_ptr<TempDir> other = TempDirOnAnotherFileSystem();
    if (!other)
        GTEST_SKIP() << "no second file system to write to";
    const OneDiskOrTwo trees(Image(), other->Path());
    int round = 0;
    for (const OneDiskOrTwo::Case& each : trees.Cases()) {
        SCOPED_TRACE(each.what);
        const fs::path out = other->File("out" + std::to_string(round++));
        boxAnswer = MessageBoxAnswer::No;
        Parameters parameters = RecoverAllTo(out);
        parameters.sysfsRoot = each.sysfsRoot;
        const auto rows = Recover(parameters);
        EXPECT_EQ(m_window.MessageBoxes().size(), each.oneDisk ? 1u : 0u);
        EXPECT_EQ(fs::exists(out / "README.TXT"), !each.oneDisk);
    }
}

} // namespace

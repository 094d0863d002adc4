#include "platform/settings/atomic_file.h"

#include "tests/support/folder_files.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <functional>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;
using Step = AtomicReplaceResult::Step;

// Files may grow to `bytes` while it lives: a longer write fails (EFBIG) as on a full disk.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
};

struct ReplaceCase {
    const char* what;
    // Prepares the folder; returns the target, relative to it.
    std::function<std::string(const fs::path& dir)> setUp;
    Step failed;
    // The target's text afterwards; nothing when it is no regular file to read.
    std::optional<std::string> textAfter;
    // Mode bits of the target afterwards; 0 to leave unchecked.
    mode_t modeAfter;
    // Every name in the folder afterwards: no temporary may be left.
    std::vector<std::string> entriesAfter; // sorted
    bool underFileSizeLimit = false;
};

const std::string kNewText = "LANG=dword:2\nLPath=string:/mnt/rescue\n";

TEST(AtomicFileTest, ReplacesWholeOrLeavesTheOldFile) {
    const ReplaceCase cases[] = {
        {"new file in folders still to make",
         [](const fs::path&) { return std::string("a/b/settings.conf"); },
         Step::None,
         kNewText,
         0600,
         {"a"}},
        {"replace keeps the mode",
         [](const fs::path& dir) {
             WriteFileText(dir / "settings.conf", "old");
             fs::permissions(dir / "settings.conf", fs::perms(0640));
             return std::string("settings.conf");
         },
         Step::None,
         kNewText,
         0640,
         {"settings.conf"}},
        {"unwritable folder: its path runs through a file",
         [](const fs::path& dir) {
             WriteFileText(dir / "blocker", "not a folder");
             return std::string("blocker/settings.conf");
         },
         Step::Folder,
         std::nullopt,
         0,
         {"blocker"}},
        {"old file kept when writing fails",
         [](const fs::path& dir) {
             WriteFileText(dir / "settings.conf", "old");
             return std::string("settings.conf");
         },
         Step::Write,
         std::string("old"),
         0,
         {"settings.conf"},
         true},
        {"a link is refused, never written through",
         [](const fs::path& dir) {
             WriteFileText(dir / "elsewhere", "theirs");
             fs::create_symlink("elsewhere", dir / "settings.conf");
             return std::string("settings.conf");
         },
         Step::Target,
         std::nullopt,
         0,
         {"elsewhere", "settings.conf"}},
        {"a folder in the target's place is refused",
         [](const fs::path& dir) {
             fs::create_directory(dir / "settings.conf");
             WriteFileText(dir / "settings.conf" / "old", "old content");
             return std::string("settings.conf");
         },
         Step::Target,
         std::nullopt,
         0,
         {"settings.conf"}},
        {"no file name",
         [](const fs::path&) { return std::string("folder/"); },
         Step::Target,
         std::nullopt,
         0,
         {}},
    };
    for (const ReplaceCase& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const fs::path target = dir.Path() / c.setUp(dir.Path());
        AtomicReplaceResult result;
        {
            std::optional<FileSizeLimit> limit;
            if (c.underFileSizeLimit) {
                limit.emplace(4);
            }
            result = ReplaceFileAtomically(target, kNewText);
        }
        EXPECT_EQ(result.failed, c.failed);
        EXPECT_EQ(result.Ok(), c.failed == Step::None);
        EXPECT_EQ(result.error != 0, c.failed != Step::None) << result.error;
        if (c.textAfter) {
            EXPECT_EQ(ReadFileText(target), *c.textAfter);
        }
        if (c.modeAfter != 0) {
            struct stat status {};
            ASSERT_EQ(::stat(target.c_str(), &status), 0);
            EXPECT_EQ(status.st_mode & 07777, c.modeAfter);
        }
        EXPECT_EQ(FolderNames(dir.Path()), c.entriesAfter);
        if (c.failed == Step::None) {
            EXPECT_EQ(FolderNames(target.parent_path()),
                      std::vector<std::string>{target.filename().string()});
        }
    }
    // What the refused cases protected is untouched.
    TempDir dir;
    WriteFileText(dir.File("elsewhere"), "theirs");
    fs::create_symlink("elsewhere", dir.File("link"));
    EXPECT_FALSE(ReplaceFileAtomically(dir.File("link"), kNewText));
    EXPECT_EQ(ReadFileText(dir.File("elsewhere")), "theirs");
    EXPECT_TRUE(fs::is_symlink(dir.File("link")));
}

} // namespace

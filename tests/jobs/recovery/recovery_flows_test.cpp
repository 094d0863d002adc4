// The recovery job's choices and failures on the small FAT12 fixture: name clashes and their
// answers, links planted at the destination, names from the disk that try to leave it, a
// destination that refuses writes, Recover Selected and its marks, the entry choice, the CD/DVD
// target, stopping in the middle of a file (on the FAT16 fixture), and read errors.

#include "filesystems/fat/fat_file_system.h"
#include "jobs/scan/scan_state.h"
#include "platform/jobs/job_flags.h"
#include "platform/resources/string_table.h"
#include "platform/text/utf_conversion.h"
#include "resources/string_ids.h"
#include "tests/jobs/recovery/recovery_test_fixture.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using Answer = SaveErrorActionRequest::Answer;

namespace {

constexpr char kFixture[] = "fat12_floppy";
constexpr char kReadmeBytes[] = "Morwick Wrenfal FAT fixture.\r\nPlain 8.3 name.\r\n";

void WriteText(const fs::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class RecoveryFlowsTest : public RecoveryTest {
protected:
    void SetUp() override { Scan(kFixture); }

    fs::path Destination() {
        const fs::path path = m_work.File("out");
        fs::create_directories(path);
        return path;
    }
};

// --- name clashes --------------------------------------------------------------------------

TEST_F(RecoveryFlowsTest, RenameAllTakesTheNextFreeCopyNameWithoutAskingAgain) {
    const fs::path out = Destination();
    WriteText(out / "README.TXT", "old");
    WriteText(out / "Copy1_README.TXT", "older");
    WriteText(out / "notes.txt", "old notes");
    clashAnswers = {NameClashDecision::RenameAll};
    Recover(RecoverAllTo(out));

    ASSERT_EQ(clashQuestions.size(), 1u);
    EXPECT_EQ(clashQuestions[0].name, u"README.TXT");
    EXPECT_EQ(clashQuestions[0].proposal, u"Copy2_README.TXT");
    EXPECT_EQ(ReadText(out / "README.TXT"), "old");
    EXPECT_EQ(ReadText(out / "Copy1_README.TXT"), "older");
    EXPECT_EQ(ReadText(out / "Copy2_README.TXT"), kReadmeBytes);
    EXPECT_EQ(ReadText(out / "notes.txt"), "old notes");
    EXPECT_TRUE(fs::exists(out / "Copy1_notes.txt"));
}

TEST_F(RecoveryFlowsTest, SkipHoldsForOneFileAndClosingTheQuestionSkips) {
    const fs::path out = Destination();
    WriteText(out / "README.TXT", "old");
    WriteText(out / "notes.txt", "old notes");
    // The first question is answered Skip, the second is closed without an answer.
    clashAnswers = {NameClashDecision::Skip};
    const auto rows = Recover(RecoverAllTo(out));

    EXPECT_EQ(clashQuestions.size(), 2u);
    EXPECT_EQ(ReadText(out / "README.TXT"), "old");
    EXPECT_EQ(ReadText(out / "notes.txt"), "old notes");
    const auto results = ResultsByName(rows);
    EXPECT_EQ(results.at(u"README.TXT"), StringTable::Program().English(kRecoverySkippedId));
    EXPECT_EQ(results.at(u"notes.txt"), StringTable::Program().English(kRecoverySkippedId));
    // Files without a clash are written as usual.
    EXPECT_EQ(results.at(u"lower.TXT"), StringTable::Program().English(kRecoveredId));
    EXPECT_TRUE(fs::exists(out / "lower.TXT"));
}

TEST_F(RecoveryFlowsTest, ARenamedNameIsCheckedAgainAndOverwriteReplaces) {
    const fs::path out = Destination();
    WriteText(out / "README.TXT", "old");
    WriteText(out / "taken.txt", "taken");
    WriteText(out / "notes.txt", "old notes");
    clashAnswers = {NameClashDecision::Rename, NameClashDecision::Rename,
                    NameClashDecision::Overwrite};
    renameAnswers = {u"taken.txt", u"fresh.txt"};
    Recover(RecoverAllTo(out));

    ASSERT_EQ(clashQuestions.size(), 3u);
    EXPECT_EQ(clashQuestions[1].name, u"taken.txt");
    EXPECT_EQ(ReadText(out / "taken.txt"), "taken");
    EXPECT_EQ(ReadText(out / "fresh.txt"), kReadmeBytes);
    EXPECT_EQ(ReadText(out / "README.TXT"), "old");
    EXPECT_NE(ReadText(out / "notes.txt"), "old notes");
}

// --- the destination is never left -----------------------------------------------------------

TEST_F(RecoveryFlowsTest, LinksAtTheDestinationAreNotFollowed) {
    const fs::path out = Destination();
    const fs::path outside = m_work.File("outside");
    fs::create_directories(outside / "folder");
    WriteText(outside / "victim.txt", "precious");
    fs::create_symlink(outside / "victim.txt", out / "README.TXT");
    fs::create_symlink(outside / "folder", out / "Docs");
    // A hard link is replaced by a new file, not written through.
    WriteText(outside / "linked.txt", "keep");
    fs::create_hard_link(outside / "linked.txt", out / "lower.TXT");
    clashAnswers = {NameClashDecision::OverwriteAll};
    const auto rows = Recover(RecoverAllTo(out));

    EXPECT_EQ(ReadText(outside / "victim.txt"), "precious");
    EXPECT_TRUE(fs::is_empty(outside / "folder"));
    EXPECT_EQ(ReadText(outside / "linked.txt"), "keep");
    EXPECT_NE(ReadText(out / "lower.TXT"), "keep");
    const auto results = ResultsByName(rows);
    EXPECT_EQ(results.at(u"README.TXT"), StringTable::Program().English(kFailedId));
    const bool folderRefused = std::any_of(rows.begin(), rows.end(), [](const LogLine& row) {
        return std::get<2>(row) == StringTable::Program().English(kFailedId) &&
               std::get<1>(row).find(u"Docs") != std::u16string::npos;
    });
    EXPECT_TRUE(folderRefused);
    EXPECT_EQ(results.at(u"notes.txt"), StringTable::Program().English(kRecoveredId));
}

TEST_F(RecoveryFlowsTest, HostileNamesFromTheDiskStayInsideTheDestination) {
    const std::vector<std::u16string> hostile = {
        u"..", u"../../escape.txt", u"a/b\\c", std::u16string(u"ctl\x01name\x7f"), u"", u"."};
    std::vector<FoundTree::Entry*> files;
    for (const FoundTree::Entry& entry : m_tree.Entries())
        if (!entry.item.IsFolder() && entry.item.parentId == RootId() && !entry.item.deleted &&
            entry.item.size > 0)
            files.push_back(m_tree.Find(entry.item.entryId));
    ASSERT_GE(files.size(), hostile.size());
    for (size_t i = 0; i < hostile.size(); ++i)
        files[i]->name = hostile[i];
    FoundTree::Entry* docs = Named(u"Docs");
    ASSERT_NE(docs, nullptr);
    docs->name = u"../..";

    const fs::path out = Destination();
    const auto rows = Recover(RecoverAllTo(out));

    // Nothing but the destination and the unpacked image beside it.
    for (const fs::directory_entry& entry : fs::directory_iterator(m_work.Path()))
        EXPECT_TRUE(entry.path() == out || entry.path() == Image()) << entry.path();
    EXPECT_EQ(CountStatus(rows, StringTable::Program().English(kFailedId)), 0u);
    size_t written = 0;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(out)) {
        const std::string name = entry.path().filename().string();
        EXPECT_EQ(name.find('/'), std::string::npos);
        EXPECT_TRUE(std::none_of(name.begin(), name.end(), [](char c) {
            return c >= 0 && c < 0x20;
        })) << name;
        written += entry.is_regular_file() ? 1 : 0;
    }
    EXPECT_GT(written, hostile.size());
    EXPECT_TRUE(fs::is_regular_file(out / "_.."));
    EXPECT_TRUE(fs::is_directory(out / ".._.." / "Projects"));
}

// The first long-name entry of "Résumé Notes.txt" made to say "../../a<U+0001>b/cd." in its
// 13 characters (the long name's checksum covers only the short name, so it still holds).
void PatchHostileLongName(const fs::path& image) {
    std::vector<uint8_t> bytes = FileBytes(image);
    const std::u16string needle = u"R\u00e9sum";
    const auto* raw = reinterpret_cast<const uint8_t*>(needle.data());
    const auto found = std::search(bytes.begin(), bytes.end(), raw, raw + needle.size() * 2);
    ASSERT_NE(found, bytes.end());
    const size_t entry = static_cast<size_t>(found - bytes.begin()) - 1;
    ASSERT_EQ(entry % 32, 0u);
    const std::u16string hostile = u"../../a\u0001b/cd.";
    ASSERT_EQ(hostile.size(), 13u);
    constexpr size_t kCharOffsets[] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};
    for (size_t i = 0; i < hostile.size(); ++i) {
        bytes[entry + kCharOffsets[i]] = static_cast<uint8_t>(hostile[i]);
        bytes[entry + kCharOffsets[i] + 1] = static_cast<uint8_t>(hostile[i] >> 8);
    }
    std::ofstream out(image, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

class HostileImageTest : public RecoveryTest {};

TEST_F(HostileImageTest, ALongNamePatchedOnTheDiskIsWrittenInsideTheDestination) {
    Scan(kFixture, PatchHostileLongName);
    bool seen = false;
    for (const FoundTree::Entry& entry : m_tree.Entries())
        seen = seen || entry.name.find(u"../../a") == 0;
    ASSERT_TRUE(seen) << "the scan did not read the patched name";

    const fs::path out = m_work.File("out");
    const auto rows = Recover(RecoverAllTo(out));
    EXPECT_EQ(CountStatus(rows, StringTable::Program().English(kFailedId)), 0u);
    for (const fs::directory_entry& entry : fs::directory_iterator(m_work.Path()))
        EXPECT_TRUE(entry.path() == out || entry.path() == Image()) << entry.path();
    EXPECT_TRUE(fs::is_regular_file(out / ".._.._a_b_cd.txt"));
}

class RefusedWritesTest : public RecoveryFlowsTest, public ::testing::WithParamInterface<bool> {
protected:
    // The archive of the file somewhere below `root` passes unzip -t.
    static bool ArchiveIsWhole(const fs::path& root, const std::u16string& name) {
        const std::string archive = Utf16ToUtf8(name) + ".zip";
        for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root))
            if (entry.path().filename() == archive)
                return RunCommand("unzip -tqq " + ShellQuote(entry.path().string()) +
                                  " >/dev/null 2>&1") == 0;
        return false;
    }
};

TEST_P(RefusedWritesTest, ADestinationThatRefusesWritesNeverLogsRecovered) {
    const bool zipEach = GetParam();
    const fs::path out = Destination();
    // Archives are smaller than their files: their limit is lower, so that some do not fit.
    const rlim_t kLimit = zipEach ? 200 : 700;
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Writes past the limit fail with EFBIG instead of killing the process.
        ::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{kLimit, kLimit};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        Parameters parameters = RecoverAllTo(out);
        parameters.zip = zipEach;
        const auto rows = Recover(parameters);
        int wrong = 0;
        int refused = 0;
        for (const auto& [name, status] : ResultsByName(rows)) {
            const FoundTree::Entry* entry = Named(name);
            if (zipEach) {
                // Compression decides which archives fit: every one logged Recovered must be
                // whole, and an entry that could not be written is cut off, never Partial.
                if (status == StringTable::Program().English(kPartialId))
                    ++wrong;
                if (status == StringTable::Program().English(kFailedId))
                    ++refused;
                if (status == StringTable::Program().English(kRecoveredId) &&
                    !ArchiveIsWhole(out, name))
                    ++wrong;
                continue;
            }
            const bool tooBig = entry != nullptr && entry->item.size > kLimit;
            if (tooBig && status == StringTable::Program().English(kRecoveredId))
                ++wrong;
            if (tooBig && status != StringTable::Program().English(kRecoveredId))
                ++refused;
        }
        ::_exit(wrong != 0 ? 1 : refused == 0 ? 2 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: a file over the limit was logged Recovered (or, "
                                         "in a zip, Partial Recovered); 2: no file went over "
                                         "the limit";
}

INSTANTIATE_TEST_SUITE_P(FilesAndZips, RefusedWritesTest, ::testing::Bool());

// --- which entries ---------------------------------------------------------------------------

TEST_F(RecoveryFlowsTest, RecoverSelectedWritesAndUnmarksOnlyTheMarkedFiles) {
    m_tree.CheckAll(1);
    FoundTree::Entry* readme = Named(u"README.TXT");
    FoundTree::Entry* docs = Named(u"Docs");
    FoundTree::Entry* nested = Named(u"Nested.txt");
    ASSERT_TRUE(readme && docs && nested);
    readme->item.checkState = 2;
    docs->item.checkState = 3;
    nested->item.checkState = 2;
    m_state.selectedFiles = 2;
    m_state.selectedFolders = 1;
    m_state.selectedBytes = readme->item.size + nested->item.size;

    const fs::path out = Destination();
    Parameters parameters = RecoverAllTo(out);
    parameters.allFiles = false;
    Recover(parameters);

    EXPECT_TRUE(fs::exists(out / "README.TXT"));
    EXPECT_TRUE(fs::exists(out / "Docs" / "Nested.txt"));
    EXPECT_FALSE(fs::exists(out / "notes.txt"));
    EXPECT_FALSE(fs::exists(out / "Docs" / "Projects"));
    EXPECT_EQ(m_state.selectedFiles.load(), 0u);
    EXPECT_EQ(m_state.selectedBytes.load(), 0u);
    EXPECT_EQ(m_state.selectedFolders.load(), 0u);

    std::vector<std::u16string> unmarkedFiles;
    for (const JobMessage& message : m_window.Messages())
        if (const FileCheckPayload* check = message.Get<FileCheckPayload>())
            if (!check->partly && message.id == WM_SET_FILE_CHECK)
                unmarkedFiles.push_back(check->name);
    EXPECT_NE(std::find(unmarkedFiles.begin(), unmarkedFiles.end(), u"README.TXT"),
              unmarkedFiles.end());
    EXPECT_NE(std::find(unmarkedFiles.begin(), unmarkedFiles.end(), u"Nested.txt"),
              unmarkedFiles.end());
    EXPECT_GE(m_window.Count(WM_SET_STATUS_TEXT2), 2u);
}

TEST_F(RecoveryFlowsTest, OnlyDeletedEntriesStillMakeEveryFolder) {
    const fs::path out = Destination();
    Parameters parameters = RecoverAllTo(out);
    parameters.entryChoice = CThreadForSavingFiles::EntryChoice::OnlyDeleted;
    Recover(parameters);

    EXPECT_TRUE(fs::is_directory(out / "Docs" / "Projects" / "Old"));
    EXPECT_FALSE(fs::exists(out / "README.TXT"));
    EXPECT_FALSE(fs::exists(out / "Docs" / "Nested.txt"));
    size_t files = 0;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(out))
        files += entry.is_regular_file() ? 1 : 0;
    EXPECT_GT(files, 0u);
}

TEST_F(RecoveryFlowsTest, ACdDvdTargetWritesNothingAndSkipsEveryFile) {
    const fs::path out = Destination();
    Parameters parameters = RecoverAllTo(out);
    parameters.target = CThreadForSavingFiles::Target::CdDvdDrive;
    const auto rows = Recover(parameters);

    EXPECT_TRUE(fs::is_empty(out));
    EXPECT_GT(CountStatus(rows, u"Started"), 0u);
    EXPECT_EQ(CountStatus(rows, StringTable::Program().English(kRecoverySkippedId)),
              CountStatus(rows, u"Started"));

    parameters.zip = true;
    parameters.singleArchive = true;
    const auto zipRows = Recover(parameters);
    EXPECT_TRUE(fs::is_empty(out));
    EXPECT_EQ(CountStatus(zipRows, StringTable::Program().English(kRecoverySkippedId)),
              CountStatus(rows, u"Started"));
    EXPECT_EQ(std::get<1>(zipRows.back()), u"Process completed");
}

TEST_F(RecoveryFlowsTest, AnArchiveOfALongNameKeepsItsZipEnding) {
    FoundTree::Entry* readme = Named(u"README.TXT");
    ASSERT_NE(readme, nullptr);
    readme->name = std::u16string(300, u'n') + u".txt";
    const fs::path out = Destination();
    Parameters parameters = RecoverAllTo(out);
    parameters.zip = true;
    const auto rows = Recover(parameters);

    EXPECT_EQ(CountStatus(rows, StringTable::Program().English(kFailedId)), 0u);
    bool found = false;
    for (const fs::directory_entry& entry : fs::directory_iterator(out)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("nnnn", 0) != 0)
            continue;
        found = true;
        EXPECT_EQ(name.size(), 255u);
        EXPECT_EQ(name.substr(name.size() - 4), ".zip");
    }
    EXPECT_TRUE(found);
}

// --- stopping and read errors ----------------------------------------------------------------

// On the 8 MiB fixture, whose Big.log is read in more than one piece.
class RecoveryStopTest : public RecoveryTest, public ::testing::WithParamInterface<Answer> {
protected:
    void SetUp() override { Scan("fat16_volume"); }
};

TEST_P(RecoveryStopTest, AStopInTheMiddleOfAFileAsksWhatToDo) {
    const Answer answer = GetParam();
    const fs::path out = m_work.File("out");
    bool asked = false;
    uint32_t barMaximum = 0;
    onMessage = [&](JobMessage& message) {
        if (const auto* bar = message.Get<ProgressCreatePayload>();
            bar && message.id == WM_CREATE_PROGRESS2)
            barMaximum = bar->maximum;
        // Ask to stop once the first piece of a file of several pieces is written.
        const auto* step = message.Get<BarSelectorPayload>();
        if (message.id == WM_STEP_PROGRESS && step && step->SelectsBarOne() && barMaximum > 1 &&
            !asked) {
            asked = true;
            m_state.jobFlags.stopRequested = true;
        }
    };
    // The file as it stands on the disk while the question is open.
    std::optional<uint64_t> sizeAtQuestion;
    onMessage = [&, stopOnFirstStep = onMessage](JobMessage& message) {
        if (message.Get<SaveErrorActionRequest>() != nullptr) {
            std::error_code error;
            sizeAtQuestion = fs::file_size(out / "Big.log", error);
        }
        stopOnFirstStep(message);
    };
    stopAnswers = {answer};
    const auto rows = Recover(RecoverAllTo(out));
    ASSERT_TRUE(asked);
    ASSERT_TRUE(sizeAtQuestion.has_value());
    EXPECT_GT(*sizeAtQuestion, 0u) << "what was written before the question is in the file";
    ASSERT_EQ(m_window.Count(kJobAskSaveErrorAction), 1u);
    const uint64_t bigSize = 2097452;
    const uint64_t written = fs::file_size(out / "Big.log");

    // The row of the file in hand, then the end row.
    ASSERT_GE(rows.size(), 2u);
    const std::u16string fileResult = std::get<2>(rows[rows.size() - 2]);
    const std::u16string end = std::get<1>(rows.back());
    switch (answer) {
    case Answer::ContinueSaving:
        EXPECT_EQ(end, u"Process completed");
        EXPECT_EQ(CountStatus(rows, StringTable::Program().English(kPartialId)), 0u);
        EXPECT_EQ(written, bigSize);
        break;
    case Answer::SaveFileAndAbort:
        EXPECT_EQ(fileResult, StringTable::Program().English(kRecoveredId));
        EXPECT_EQ(end, u"Process aborted, user intervention");
        EXPECT_EQ(written, bigSize);
        break;
    case Answer::AbortImmediately:
        // What was written before the stop stays; nothing after it.
        EXPECT_EQ(fileResult, StringTable::Program().English(kPartialId));
        EXPECT_EQ(end, u"Process aborted, user intervention");
        EXPECT_GT(written, 0u);
        EXPECT_LT(written, bigSize);
        EXPECT_EQ(written, *sizeAtQuestion);
        break;
    }
}

INSTANTIATE_TEST_SUITE_P(Answers, RecoveryStopTest,
                         ::testing::Values(Answer::ContinueSaving, Answer::SaveFileAndAbort,
                                           Answer::AbortImmediately));

TEST_F(RecoveryFlowsTest, UnreadableSectorsAreZerosAndMakeThePartialRow) {
    FoundTree::Entry* cluster2 = Named(u"CLUSTER2.TXT");
    ASSERT_NE(cluster2, nullptr);
    CFatFileSystem* volume = m_state.FatVolume();
    ASSERT_NE(volume, nullptr);
    // Reads end after the file's first cluster.
    const uint64_t firstSector =
        volume->ClusterToSector(static_cast<uint32_t>(cluster2->item.firstCluster));
    const uint64_t readable = firstSector + volume->SectorsPerCluster();
    m_drive->Map(readable);
    volume->Source().Close(); // the reader keeps its handle open: take the new mapping

    const fs::path out = Destination();
    const auto rows = Recover(RecoverAllTo(out));
    m_drive->Map();

    EXPECT_EQ(ResultsByName(rows).at(u"CLUSTER2.TXT"), StringTable::Program().English(kPartialId));
    const bool errorRow = std::any_of(rows.begin(), rows.end(), [&](const LogLine& row) {
        return std::get<3>(row) == 6 &&
               std::get<1>(row) == StringTable::Program().English(kReadErrorTextId);
    });
    EXPECT_TRUE(errorRow);
    const std::vector<uint8_t> bytes = FileBytes(out / "CLUSTER2.TXT");
    ASSERT_EQ(bytes.size(), cluster2->item.size);
    const size_t readableBytes = volume->SectorsPerCluster() * size_t{512};
    ASSERT_LT(readableBytes, bytes.size());
    EXPECT_TRUE(std::all_of(bytes.begin() + static_cast<std::ptrdiff_t>(readableBytes), bytes.end(),
                            [](uint8_t b) { return b == 0; }));
    EXPECT_NE(bytes[0], 0);
}

} // namespace

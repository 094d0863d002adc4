// The recovery job's other targets: one zip archive for everything, one archive per file, and a
// folder on an FTP server. Each must hold the same tree and bytes as a recovery into a local
// folder, checked with unzip -t, Python's zipfile and the FTP server's own folder on disk.

#include "platform/text/format_text.h"
#include "platform/resources/string_table.h"
#include "platform/text/utf_conversion.h"
#include "resources/string_ids.h"
#include "tests/jobs/recovery/recovery_test_fixture.h"
#include "tests/support/ftp_test_server.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr char kFixture[] = "fat16_volume";

// Relative path ('/' separated) -> sha256 of every file below `root`.
std::map<std::string, std::string> TreeHashes(const fs::path& root) {
    std::map<std::string, std::string> hashes;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root))
        if (entry.is_regular_file())
            hashes[fs::relative(entry.path(), root).generic_string()] = FileSha256(entry.path());
    return hashes;
}

// Lists the archives' entries as "name<TAB>sha256<TAB>flags" lines after checking them with
// zipfile.testzip(); "BAD <archive>" for an archive that fails.
constexpr char kZipLister[] = R"(
import hashlib, sys, zipfile
for path in sys.argv[1:]:
    with zipfile.ZipFile(path) as archive:
        if archive.testzip() is not None:
            print("BAD", path)
            continue
        for info in archive.infolist():
            data = archive.read(info)
            print(info.filename, hashlib.sha256(data).hexdigest(), info.flag_bits, sep="\t")
)";

struct ZipEntryRow {
    std::string sha256;
    int flags = 0;
};

std::map<std::string, ZipEntryRow>
ListZips(const fs::path& script, const std::vector<fs::path>& archives, std::string& bad) {
    std::string command = "/usr/bin/python3 " + ShellQuote(script.string());
    for (const fs::path& archive : archives)
        command += " " + ShellQuote(archive.string());
    std::map<std::string, ZipEntryRow> rows;
    const std::optional<std::vector<uint8_t>> output = CommandOutput(command);
    if (!output) {
        bad = "the lister failed";
        return rows;
    }
    std::istringstream lines(std::string(output->begin(), output->end()));
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("BAD ", 0) == 0) {
            bad += line + "\n";
            continue;
        }
        const size_t first = line.find('\t');
        const size_t second = line.find('\t', first + 1);
        if (first == std::string::npos || second == std::string::npos)
            continue;
        rows[line.substr(0, first)] = {line.substr(first + 1, second - first - 1),
                                       std::stoi(line.substr(second + 1))};
    }
    return rows;
}

bool UnzipTestPasses(const fs::path& archive) {
    return CommandOutput("unzip -tqq " + ShellQuote(archive.string()) + " 2>&1").has_value();
}

class RecoveryTargetsTest : public RecoveryTest {
protected:
    void SetUp() override {
        Scan(kFixture);
        m_reference = m_work.File("reference");
        Recover(RecoverAllTo(m_reference));
        m_expected = TreeHashes(m_reference);
        ASSERT_GT(m_expected.size(), 10u);
        m_lister = m_work.File("list_zips.py");
        std::ofstream(m_lister) << kZipLister;
    }

    fs::path m_reference;
    std::map<std::string, std::string> m_expected;
    fs::path m_lister;
};

TEST_F(RecoveryTargetsTest, OneArchiveHoldsTheWholeTree) {
    const fs::path out = m_work.File("zipped");
    Parameters parameters = RecoverAllTo(out);
    parameters.zip = true;
    parameters.singleArchive = true;
    const auto rows = Recover(parameters);

    const fs::path archive = out / "Recovered Data.zip";
    ASSERT_TRUE(fs::is_regular_file(archive));
    EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 1);
    EXPECT_TRUE(UnzipTestPasses(archive));
    std::string bad;
    const auto entries = ListZips(m_lister, {archive}, bad);
    EXPECT_TRUE(bad.empty()) << bad;
    ASSERT_EQ(entries.size(), m_expected.size());
    for (const auto& [path, sha] : m_expected) {
        auto it = entries.find(path);
        ASSERT_NE(it, entries.end()) << path;
        EXPECT_EQ(it->second.sha256, sha) << path;
    }
    // A name outside ASCII is stored as UTF-8 and says so.
    ASSERT_TRUE(entries.count("Résumé Notes.txt"));
    EXPECT_NE(entries.at("Résumé Notes.txt").flags & 0x800, 0);
    EXPECT_EQ(entries.at("README.TXT").flags & 0x800, 0);
    EXPECT_EQ(std::get<1>(rows.back()), u"Process completed");
}

TEST_F(RecoveryTargetsTest, EachFileGetsAnArchiveOfItsOwn) {
    const fs::path out = m_work.File("each");
    Parameters parameters = RecoverAllTo(out);
    parameters.zip = true;
    Recover(parameters);

    std::vector<fs::path> archives;
    for (const auto& [path, sha] : m_expected) {
        const fs::path archive = out / (path + ".zip");
        ASSERT_TRUE(fs::is_regular_file(archive)) << archive;
        archives.push_back(archive);
    }
    EXPECT_TRUE(UnzipTestPasses(archives.front()));
    std::string bad;
    ListZips(m_lister, archives, bad);
    EXPECT_TRUE(bad.empty()) << bad;
    for (const auto& [path, sha] : m_expected) {
        const auto entries = ListZips(m_lister, {out / (path + ".zip")}, bad);
        ASSERT_EQ(entries.size(), 1u) << path;
        EXPECT_EQ(entries.begin()->first, fs::path(path).filename().string());
        EXPECT_EQ(entries.begin()->second.sha256, sha) << path;
    }
}

TEST_F(RecoveryTargetsTest, AnExistingArchiveIsNotReplacedWithoutAnAnswer) {
    const fs::path out = m_work.File("zipped");
    fs::create_directories(out);
    std::ofstream(out / "Recovered Data.zip") << "old";
    Parameters parameters = RecoverAllTo(out);
    parameters.zip = true;
    parameters.singleArchive = true;
    Recover(parameters);

    ASSERT_EQ(clashQuestions.size(), 1u);
    EXPECT_EQ(clashQuestions[0].name, u"Recovered Data.zip");
    EXPECT_EQ(clashQuestions[0].proposal, u"Copy1_Recovered Data.zip");
    std::ifstream in(out / "Recovered Data.zip");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "old");
}

TEST_F(RecoveryTargetsTest, AnFtpFolderHoldsTheSameTree) {
    FtpTestServer server;
    ASSERT_TRUE(server.Running());
    Parameters parameters = RecoverAllTo("/recovered");
    parameters.target = CThreadForSavingFiles::Target::FtpServer;
    parameters.ftp = {Utf8ToUtf16("127.0.0.1:" + std::to_string(server.Port())),
                      Utf8ToUtf16(server.User()), Utf8ToUtf16(server.Password())};
    const auto rows = Recover(parameters);

    EXPECT_EQ(TreeHashes(server.Root() / "recovered"), m_expected);
    EXPECT_EQ(CountStatus(rows, StringTable::Program().English(kFailedId)), 0u);
    EXPECT_EQ(std::get<1>(rows.back()), u"Process completed");
}

TEST_F(RecoveryTargetsTest, ALostConnectionFailsEveryLaterFile) {
    FtpTestServer::Options options;
    options.dropUploadAfter = 300000;
    FtpTestServer server(options);
    ASSERT_TRUE(server.Running());
    Parameters parameters = RecoverAllTo("/recovered");
    parameters.target = CThreadForSavingFiles::Target::FtpServer;
    parameters.ftp = {Utf8ToUtf16("127.0.0.1:" + std::to_string(server.Port())),
                      Utf8ToUtf16(server.User()), Utf8ToUtf16(server.Password())};
    const auto rows = Recover(parameters);

    // Big.log (2 MiB) breaks the connection; it and every file after it fail, each with a row.
    const size_t started = CountStatus(rows, u"Started");
    const size_t failed = CountStatus(rows, StringTable::Program().English(kFailedId));
    const size_t partial = CountStatus(rows, StringTable::Program().English(kPartialId));
    EXPECT_EQ(CountStatus(rows, StringTable::Program().English(kRecoveredId)) + failed + partial,
              started);
    EXPECT_GE(failed + partial, 2u);
    EXPECT_EQ(std::get<1>(rows.back()), StringTable::Program().English(kConnectionLostTextId));
    // The loss when it happened, then the count of the files not recovered at the end.
    const auto boxes = m_window.MessageBoxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, StringTable::Program().English(kConnectionLostTextId));
    EXPECT_EQ(boxes[1].text, FormatText(StringTable::Program().English(kNotRecoveredBoxId),
                                        static_cast<int32_t>(failed)));
}

TEST_F(RecoveryTargetsTest, AServerThatRefusesTheLogOnIsReportedAndNothingRuns) {
    FtpTestServer server;
    ASSERT_TRUE(server.Running());
    Parameters parameters = RecoverAllTo("/recovered");
    parameters.target = CThreadForSavingFiles::Target::FtpServer;
    parameters.ftp = {Utf8ToUtf16("127.0.0.1:" + std::to_string(server.Port())),
                      Utf8ToUtf16(server.User()), u"wrong"};
    const auto rows = Recover(parameters);

    EXPECT_TRUE(rows.empty());
    const auto boxes = m_window.MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, StringTable::Program().English(kConnectFailedTextId));
    EXPECT_FALSE(fs::exists(server.Root() / "recovered"));
}

} // namespace

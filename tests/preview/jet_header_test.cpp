#include "preview/jet_header.h"

#include "tests/support/shell_command.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace {

using Verdict = JetHeader::Verdict;

// First pages written by the fixture's own writer, an independent implementation of the
// format (Python, its own RC4).
std::vector<uint8_t> WrittenPage(const TempDir& folder, const std::string& arguments) {
    const std::filesystem::path out = folder.File("page.mdb");
    const std::string script =
        std::string(MORWICK_SOURCE_DIR) + "/tests/fixtures/make_jet_header.py";
    EXPECT_EQ(RunCommand("/usr/bin/python3 " + ShellQuote(script) + " " + ShellQuote(out.string()) +
                         " " + arguments),
              0)
        << arguments;
    std::ifstream in(out, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(JetHeaderTest, TellsDatabasesPasswordsAndOtherFilesApart) {
    struct Case {
        const char* arguments;
        Verdict verdict;
        uint32_t version;
    };
    const Case cases[] = {
        {"--version 1", Verdict::Open, 1},
        {"--version 1 --masked-empty", Verdict::Open, 1},
        {"--version 1 --password swordfish", Verdict::PasswordProtected, 1},
        {"--version 1 --password x", Verdict::PasswordProtected, 1},
        {"--version 0", Verdict::Open, 0},
        {"--version 0 --password secret", Verdict::PasswordProtected, 0},
        {"--version 2 --engine ace", Verdict::Open, 2},
        {"--version 1 --magic 00010001", Verdict::NotJet, 0},
        {"--version 9", Verdict::NotJet, 9},
    };
    TempDir folder;
    for (const Case& c : cases) {
        const std::vector<uint8_t> page = WrittenPage(folder, c.arguments);
        ASSERT_GE(page.size(), JetHeader::kMinimumBytes) << c.arguments;
        const JetHeader header = CheckJetHeader(page);
        EXPECT_EQ(header.verdict, c.verdict) << c.arguments;
        if (c.verdict != Verdict::NotJet) {
            EXPECT_EQ(header.version, c.version) << c.arguments;
        }
    }
}

TEST(JetHeaderTest, ShortOrForeignBytesAreNoDatabase) {
    TempDir folder;
    const std::vector<uint8_t> page = WrittenPage(folder, "--version 1");
    const std::vector<uint8_t> compound = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
    };
    std::vector<uint8_t> renamed = page;
    renamed[4] = 'X';
    const Case cases[] = {
        {"empty", {}},
        {"one byte short", {page.begin(), page.begin() + JetHeader::kMinimumBytes - 1}},
        {"compound document", compound},
        {"another engine name", renamed},
        {"zeros", std::vector<uint8_t>(4096, 0)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CheckJetHeader(c.bytes).verdict, Verdict::NotJet) << c.what;
    }
    EXPECT_EQ(CheckJetHeader({page.begin(), page.begin() + JetHeader::kMinimumBytes}).verdict,
              Verdict::Open);
}

} // namespace

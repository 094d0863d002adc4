// Advance Settings without widgets: what it shows from the settings file and the scan state,
// and what OK writes.

#include "app/dialogs/settings/advance_settings_rules.h"

#include "jobs/scan/scan_state.h"
#include "platform/settings/settings_store.h"
#include "tests/support/folder_files.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using advance_settings::Values;

struct LoadCase {
    const char* name;
    // The settings file's text; null for no file.
    const char* file;
    uint32_t readAttemptsInMemory;
    bool expectedSaveLog;
    uint32_t expectedReadAttempts;
    std::u16string expectedLogPath;
};

TEST(AdvanceSettingsRulesTest, OpeningReadsTheFileAgainAndShowsABadCountAsOne) {
    const std::vector<LoadCase> cases = {
        {"six attempts", "LS=dword:1\nRR=dword:6\nLPath=string:/logs\n", 2, true, 6, u"/logs"},
        {"zero in the file", "RR=dword:0\n", 3, true, 1, u"/memory"},
        {"seven in the file", "RR=dword:7\n", 3, true, 1, u"/memory"},
        {"huge in the file", "RR=dword:4294967295\n", 3, true, 1, u"/memory"},
        {"the file wins over memory", "LS=dword:0\nRR=dword:2\n", 5, false, 2, u"/memory"},
        {"missing values keep memory", "LANG=dword:1\n", 4, true, 4, u"/memory"},
        {"no file", nullptr, 5, true, 5, u"/memory"},
        {"zero in memory, no file", nullptr, 0, true, 1, u"/memory"},
        {"a string where a number belongs", "RR=string:6\n", 3, true, 3, u"/memory"},
    };
    for (const LoadCase& each : cases) {
        TempDir dir;
        const std::filesystem::path file = dir.File("settings.conf");
        if (each.file != nullptr)
            WriteFileText(file, each.file);
        SettingsStore settings(file);
        ScanState state;
        state.saveLogOnClose = 1;
        state.readAttempts = each.readAttemptsInMemory;
        state.logPath = u"/memory";
        const Values values = advance_settings::Load(settings, state);
        EXPECT_EQ(values.saveLog, each.expectedSaveLog) << each.name;
        EXPECT_EQ(values.readAttempts, each.expectedReadAttempts) << each.name;
        EXPECT_EQ(values.logPath, each.expectedLogPath) << each.name;
    }
}

TEST(AdvanceSettingsRulesTest, TheSignatureSearchIsShownAsMemoryHoldsIt) {
    TempDir dir;
    const std::filesystem::path file = dir.File("settings.conf");
    WriteFileText(file, "SC=dword:1\n");
    SettingsStore settings(file);
    ScanState state;
    state.signatureSearch = 0;
    EXPECT_FALSE(advance_settings::Load(settings, state).signatureSearch);
    state.signatureSearch = 1;
    EXPECT_TRUE(advance_settings::Load(settings, state).signatureSearch);
}

TEST(AdvanceSettingsRulesTest, ListPositionsAndCountsConvert) {
    struct Case {
        uint32_t count;
        int position;
    };
    for (const Case each :
         {Case{1, 0}, Case{2, 1}, Case{6, 5}, Case{0, 0}, Case{7, 0}, Case{0xFFFFFFFFu, 0}}) {
        EXPECT_EQ(advance_settings::ReadAttemptsPosition(each.count), each.position) << each.count;
    }
    struct Back {
        int position;
        uint32_t count;
    };
    for (const Back each : {Back{0, 1}, Back{5, 6}, Back{-1, 1}, Back{6, 1}, Back{100, 1}}) {
        EXPECT_EQ(advance_settings::ReadAttemptsAt(each.position), each.count) << each.position;
    }
    EXPECT_TRUE(advance_settings::LogFolderEnabled(true));
    EXPECT_FALSE(advance_settings::LogFolderEnabled(false));
}

TEST(AdvanceSettingsRulesTest, StoringWritesLsRrAndLPathButNoSignatureSearchOrDate) {
    TempDir dir;
    const std::filesystem::path file = dir.File("settings.conf");
    WriteFileText(file, "LANG=dword:2\nShowTipOfTheDay=dword:1\n");
    SettingsStore settings(file);
    ASSERT_TRUE(settings.Load());
    ScanState state;
    Values values;
    values.saveLog = true;
    values.signatureSearch = false;
    values.readAttempts = 6;
    values.logPath = u"/home/user/logs";
    ASSERT_TRUE(advance_settings::Store(values, settings, state));

    EXPECT_EQ(state.saveLogOnClose.load(), 1u);
    EXPECT_EQ(state.signatureSearch.load(), 0u);
    EXPECT_EQ(state.readAttempts.load(), 6u);
    EXPECT_EQ(state.logPath, u"/home/user/logs");

    SettingsStore reread(file);
    ASSERT_TRUE(reread.Load());
    EXPECT_EQ(reread.GetDword("LS"), std::optional<uint32_t>(1));
    EXPECT_EQ(reread.GetDword("RR"), std::optional<uint32_t>(6));
    EXPECT_EQ(reread.GetString("LPath"), std::optional<std::u16string>(u"/home/user/logs"));
    EXPECT_FALSE(reread.Contains("SC"));
    // What others wrote stays; nothing about dates is written.
    EXPECT_EQ(reread.GetDword("LANG"), std::optional<uint32_t>(2));
    EXPECT_EQ(reread.GetDword("ShowTipOfTheDay"), std::optional<uint32_t>(1));
    const std::string text = ReadFileText(file);
    EXPECT_EQ(text.find("Date"), std::string::npos) << text;
    EXPECT_EQ(text.find("yyyy"), std::string::npos) << text;

    // What was stored is what the dialog shows next time.
    const Values shown = advance_settings::Load(settings, state);
    EXPECT_TRUE(shown.saveLog);
    EXPECT_EQ(shown.readAttempts, 6u);
    EXPECT_EQ(shown.logPath, u"/home/user/logs");
}

TEST(AdvanceSettingsRulesTest, StoringCutsTheFolderAndFailsWithoutAFile) {
    TempDir dir;
    SettingsStore settings(dir.File("settings.conf"));
    ScanState state;
    Values values;
    values.logPath = std::u16string(400, u'a');
    values.readAttempts = 9;
    ASSERT_TRUE(advance_settings::Store(values, settings, state));
    EXPECT_EQ(state.logPath.size(), ScanState::kMaxLogPathUnits);
    EXPECT_EQ(state.readAttempts.load(), 1u);

    SettingsStore none{std::filesystem::path()};
    values.readAttempts = 3;
    EXPECT_FALSE(advance_settings::Store(values, none, state));
    // The choice holds for this run all the same.
    EXPECT_EQ(state.readAttempts.load(), 3u);
}

} // namespace

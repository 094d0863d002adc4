// The shared scan state: its defaults, the settings it loads and saves, the one-reader rule, the
// read-attempt binding and the two resets.

#include "jobs/scan/scan_state.h"

#include "diskio/sources/read_attempts_setting.h"
#include "filesystems/fat/fat_file_system.h"
#include "filesystems/ntfs/ntfs_file_system.h"
#include "platform/settings/settings_store.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>

namespace {

// Points MORWICK_CONFIG at a file in a fresh folder for one test, and puts it back after.
class ConfigFile {
public:
    ConfigFile() {
        if (const char* old = std::getenv("MORWICK_CONFIG"))
            m_old = old;
        ::setenv("MORWICK_CONFIG", m_dir.File("settings.conf").c_str(), 1);
    }
    ~ConfigFile() {
        if (m_old)
            ::setenv("MORWICK_CONFIG", m_old->c_str(), 1);
        else
            ::unsetenv("MORWICK_CONFIG");
    }
    ConfigFile(const ConfigFile&) = delete;
    ConfigFile& operator=(const ConfigFile&) = delete;

    std::filesystem::path Path() const { return m_dir.File("settings.conf"); }

private:
    TempDir m_dir;
    std::optional<std::string> m_old;
};

TEST(ScanStateTest, StartsWithTheDefaults) {
    ScanState state;
    EXPECT_EQ(state.language, 0u);
    EXPECT_EQ(state.saveLogOnClose, 0u);
    EXPECT_EQ(state.signatureSearch, 1u);
    EXPECT_EQ(state.readAttempts, 0u);
    EXPECT_TRUE(state.logPath.empty());
    EXPECT_FALSE(state.HasVolume());
    EXPECT_EQ(state.SelectedDrive(), nullptr);
    EXPECT_FALSE(state.jobFlags.jobRunning);
    EXPECT_FALSE(state.resultsAvailable);
    EXPECT_FALSE(state.signaturesLoaded);
    EXPECT_TRUE(state.signatureLists.active.empty());
    // Readers built over the state see its flags and its signature search.
    EXPECT_EQ(state.Environment().flags, &state.jobFlags);
    EXPECT_EQ(state.Environment().signatures, &state.activeSearch);
}

TEST(ScanStateTest, SettingsRoundTripThroughTheSettingsFile) {
    ConfigFile config;
    {
        ScanState state;
        state.language = 2;
        state.saveLogOnClose = 1;
        state.readAttempts = 5;
        state.logPath = u"/home/ana/logs \u00e9t\u00e9";
        state.signatureSearch = 0;
        SettingsStore store(SettingsStore::DefaultPath());
        ASSERT_TRUE(state.SaveSettings(store));
    }
    ASSERT_TRUE(std::filesystem::exists(config.Path()));
    SettingsStore store(SettingsStore::DefaultPath());
    ASSERT_TRUE(store.Load());
    ScanState state;
    state.LoadSettings(store);
    EXPECT_EQ(state.language, 2u);
    EXPECT_EQ(state.saveLogOnClose, 1u);
    EXPECT_EQ(state.readAttempts, 5u);
    EXPECT_EQ(state.logPath, u"/home/ana/logs \u00e9t\u00e9");
    // The signature-search choice is never written: it lasts until the program ends.
    EXPECT_FALSE(store.Contains("SC"));
    EXPECT_EQ(state.signatureSearch, 1u);
}

TEST(ScanStateTest, MissingOrMistypedValuesLeaveTheFields) {
    ConfigFile config;
    {
        std::ofstream file(config.Path());
        file << "LANG=dword:7\nLS=string:1\nsc=dword:0\nRR=string:3\n";
    }
    SettingsStore store(SettingsStore::DefaultPath());
    ASSERT_TRUE(store.Load());
    ScanState state;
    state.saveLogOnClose = 1;
    state.readAttempts = 3;
    state.logPath = u"/kept";
    state.LoadSettings(store);
    // An unknown language is kept as it is; the resources fall back to English.
    EXPECT_EQ(state.language, 7u);
    EXPECT_EQ(state.signatureSearch, 0u);
    EXPECT_EQ(state.saveLogOnClose, 1u);
    EXPECT_EQ(state.readAttempts, 3u);
    EXPECT_EQ(state.logPath, u"/kept");
    // A folder longer than its buffer is cut to it.
    store.SetString("LPath", std::u16string(400, u'a'));
    state.LoadSettings(store);
    EXPECT_EQ(state.logPath, std::u16string(ScanState::kMaxLogPathUnits, u'a'));

    SettingsStore missing(config.Path().parent_path() / "none.conf");
    ASSERT_TRUE(missing.Load());
    ScanState fresh;
    fresh.LoadSettings(missing);
    EXPECT_EQ(fresh.language, 0u);
    EXPECT_EQ(fresh.signatureSearch, 1u);
    EXPECT_EQ(fresh.readAttempts, 0u);
}

TEST(ScanStateTest, ReadAttemptsAreBoundToTheSectorLayerWhileTheStateLives) {
    {
        ScanState state;
        ReadAttemptsSetting::Store(4);
        EXPECT_EQ(state.readAttempts, 4u);
        state.readAttempts = 6;
        EXPECT_EQ(ReadAttemptsSetting::AttemptsToMake(), 6u);
        // A key without "RR" leaves 0, which the reader makes one attempt.
        state.readAttempts = 0;
        EXPECT_EQ(ReadAttemptsSetting::AttemptsToMake(), 1u);
        EXPECT_EQ(state.readAttempts, 1u);
    }
    // Unbound again: the layer's own value, not the freed field.
    ReadAttemptsSetting::Store(2);
    EXPECT_EQ(ReadAttemptsSetting::Load(), 2u);
    ReadAttemptsSetting::Store(1);
}

TEST(ScanStateTest, HoldsAtMostOneReader) {
    ScanState state;
    CFatFileSystem& fat = state.NewFatVolume();
    EXPECT_EQ(state.FatVolume(), &fat);
    EXPECT_EQ(state.NtfsVolume(), nullptr);
    CNtfsFileSystem& ntfs = state.NewNtfsVolume();
    EXPECT_EQ(state.NtfsVolume(), &ntfs);
    EXPECT_EQ(state.FatVolume(), nullptr);
    EXPECT_EQ(state.VolumeFoundCount(), 0u);
    state.NewFatVolume();
    EXPECT_EQ(state.NtfsVolume(), nullptr);
    state.FreeVolume();
    EXPECT_FALSE(state.HasVolume());
}

TEST(ScanStateTest, ResetScanFlagsEndsTheJobButLeavesJobRunningToTheRunner) {
    ScanState state;
    state.jobFlags.jobRunning = true;
    state.jobFlags.stopRequested = true;
    state.jobFlags.stoppable = true;
    state.parentAvailable = true;
    state.NewFatVolume();
    state.ResetScanFlags();
    EXPECT_TRUE(state.jobFlags.jobRunning);
    EXPECT_FALSE(state.jobFlags.stopRequested);
    EXPECT_FALSE(state.jobFlags.stoppable);
    EXPECT_FALSE(state.parentAvailable);
    // A reader that found nothing gives no results...
    EXPECT_FALSE(state.resultsAvailable);
    // ...and takes none away either.
    state.resultsAvailable = true;
    state.FreeVolume();
    state.ResetScanFlags();
    EXPECT_TRUE(state.resultsAvailable);
}

TEST(ScanStateTest, FreeFoundListsEmptiesThePerScanListsOnly) {
    ScanState state;
    state.FreeFoundLists(); // empty lists: nothing to do
    FileSignature record;
    record.extension = u"JPG";
    state.signatureLists.user.push_back(record);
    state.signatureLists.active.push_back(record);
    state.pendingNames.push_back({42, u"name.txt"});
    state.filterExtensions.push_back(u"DOC");
    state.FreeFoundLists();
    EXPECT_TRUE(state.signatureLists.user.empty());
    EXPECT_TRUE(state.pendingNames.empty());
    EXPECT_TRUE(state.filterExtensions.empty());
    // The signatures in force stay for the next search.
    EXPECT_EQ(state.signatureLists.active.size(), 1u);
}

} // namespace

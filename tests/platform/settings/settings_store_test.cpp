#include "platform/settings/settings_store.h"

#include "tests/support/folder_files.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;

TEST(SettingsStoreTest, RoundTripsNumbersAndAwkwardStrings) {
    TempDir dir;
    const fs::path file = dir.File("settings.conf");
    const std::vector<std::pair<std::string, std::u16string>> strings = {
        {"LPath", u"/mnt/rescue\nsecond line"},
        {"Path", u""},
        {"Equals", u"a=b==c="},
        {"Slashes", u"C:\\Rescue\\\\n\\"},
        {"Wide", u"Grüße 日本 \U0001F600"},
        {"Controls", u"\t\r\x01\x7F end"},
        {"Lone", std::u16string(u"x\xD800y\xDC00")},
        {"Spaces", u"  padded  "},
        {"Hash", u"# not a comment"},
        {"Odd=Name\\", u"value"},
    };
    {
        SettingsStore store(file);
        EXPECT_TRUE(store.SetDword("LANG", 2));
        EXPECT_TRUE(store.SetDword("RR", 0));
        EXPECT_TRUE(store.SetDword("TipOfTheDayPos", 0xFFFFFFFFu));
        for (const auto& [name, value] : strings) {
            EXPECT_TRUE(store.SetString(name, value));
        }
        ASSERT_TRUE(store.Save());
    }
    const std::string text = ReadFileText(file);
    EXPECT_NE(text.find("\nLANG=dword:2\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nLPath=string:/mnt/rescue\\nsecond line\n"), std::string::npos);

    SettingsStore loaded(file);
    ASSERT_TRUE(loaded.Load());
    EXPECT_EQ(loaded.GetDword("LANG"), 2u);
    EXPECT_EQ(loaded.GetDword("RR"), 0u);
    EXPECT_EQ(loaded.GetDword("TipOfTheDayPos"), 0xFFFFFFFFu);
    for (const auto& [name, value] : strings) {
        EXPECT_EQ(loaded.GetString(name), value) << name;
    }
}

TEST(SettingsStoreTest, MissingFileOrValueLeavesDefaults) {
    TempDir dir;
    SettingsStore store(dir.File("absent/settings.conf"));
    EXPECT_TRUE(store.Load());
    EXPECT_EQ(store.GetDword("RR"), std::nullopt);
    EXPECT_EQ(store.GetDword("RR", 1), 1u);
    EXPECT_EQ(store.GetString("LPath", u"default"), u"default");
    EXPECT_FALSE(fs::exists(dir.File("absent"))) << "loading must not create anything";
}

TEST(SettingsStoreTest, SkipsCorruptLinesAndKeepsTheRest) {
    TempDir dir;
    const fs::path file = dir.File("settings.conf");
    WriteFileText(file, "\xEF\xBB\xBF# comment\n"
                        "LANG=dword:3\r\n"
                        "garbage without separator\n"
                        "=dword:1\n"
                        "RR=dword:\n"
                        "RR=dword:4294967296\n"
                        "SC=dword:-1\n"
                        "LS=dword:12abc\n"
                        "Path=string:bad\\qescape\n"
                        "Path=string:short\\u12\n"
                        "Path=string:trailing\\\n"
                        "Broken=string:\xC3\x28\n"
                        "Float=real:1.5\n"
                        "Big=string:" +
                            std::string(SettingsStore::kMaxLineBytes, 'x') +
                            "\n"
                            "ShowTipOfTheDay=dword:0\n"
                            "ShowTipOfTheDay=dword:1\n"
                            "LPath=string:kept\\u0041");
    SettingsStore store(file);
    ASSERT_TRUE(store.Load());
    EXPECT_EQ(store.GetDword("LANG"), 3u);
    EXPECT_EQ(store.GetDword("ShowTipOfTheDay"), 1u) << "a later line wins";
    EXPECT_EQ(store.GetString("LPath"), u"keptA") << "a last line without newline counts";
    for (const char* name : {"RR", "SC", "LS", "Path", "Broken", "Float", "Big"}) {
        EXPECT_FALSE(store.Contains(name)) << name;
    }
}

TEST(SettingsStoreTest, UnreadableFileFailsAndKeepsValues) {
    TempDir dir;
    SettingsStore store(dir.Path());
    store.SetDword("RR", 4);
    EXPECT_FALSE(store.Load()) << "a folder is not a settings file";
    EXPECT_EQ(store.GetDword("RR"), 4u);

    const fs::path huge = dir.File("huge.conf");
    WriteFileText(huge, std::string(SettingsStore::kMaxFileBytes + 1, '#'));
    SettingsStore big(huge);
    EXPECT_FALSE(big.Load());
}

TEST(SettingsStoreTest, NamesAreCaseInsensitiveAndTyped) {
    TempDir dir;
    SettingsStore store(dir.File("settings.conf"));
    EXPECT_TRUE(store.SetDword("Lang", 1));
    EXPECT_TRUE(store.SetDword("LANG", 3));
    EXPECT_EQ(store.GetDword("lang"), 3u);
    EXPECT_EQ(store.GetString("LANG"), std::nullopt) << "a number is not a string";
    EXPECT_TRUE(store.SetString("lang", u"now text"));
    EXPECT_EQ(store.GetDword("LANG"), std::nullopt);
    EXPECT_FALSE(store.SetDword("", 1));
    EXPECT_FALSE(store.SetString("bad\nname", u""));
    ASSERT_TRUE(store.Save());
    const std::string text = ReadFileText(dir.File("settings.conf"));
    EXPECT_NE(text.find("\nLang=string:now text\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("LANG"), std::string::npos) << "one value, first spelling";
    EXPECT_TRUE(store.Remove("LANG"));
    EXPECT_FALSE(store.Contains("lang"));
}

TEST(SettingsStoreTest, SaveCreatesFolderReplacesFileAndLeavesNoTemporary) {
    TempDir dir;
    const fs::path file = dir.File("a/b/settings.conf");
    SettingsStore store(file);
    store.SetDword("RR", 2);
    ASSERT_TRUE(store.Save());
    store.SetDword("RR", 5);
    ASSERT_TRUE(store.Save());
    EXPECT_EQ(FolderNames(file.parent_path()), std::vector<std::string>{"settings.conf"});
    SettingsStore loaded(file);
    ASSERT_TRUE(loaded.Load());
    EXPECT_EQ(loaded.GetDword("RR"), 5u);
}

TEST(SettingsStoreTest, FailedSaveKeepsWhatIsThere) {
    TempDir dir;
    // A folder path through a regular file fails even for root.
    const fs::path blocker = dir.File("blocker");
    WriteFileText(blocker, "not a folder");
    SettingsStore blocked(blocker / "settings.conf");
    blocked.SetDword("RR", 1);
    EXPECT_FALSE(blocked.Save());
    EXPECT_EQ(ReadFileText(blocker), "not a folder");

    // The rename fails over a non-empty folder: its content stays and the temporary goes.
    const fs::path target = dir.File("settings.conf");
    fs::create_directory(target);
    WriteFileText(target / "old", "old content");
    SettingsStore store(target);
    store.SetDword("RR", 1);
    EXPECT_FALSE(store.Save());
    EXPECT_EQ(ReadFileText(target / "old"), "old content");
    const std::vector<std::string> left = FolderNames(dir.Path());
    EXPECT_EQ(left.size(), 2u) << "only blocker and settings.conf may remain";
}

// What Save writes must load back: a value whose escaped line would be longer than Load reads
// is refused when set and dropped when read, and a text past the file limit is never saved.
TEST(SettingsStoreTest, KeepsOnlyValuesThatLoadBack) {
    TempDir dir;
    const fs::path file = dir.File("settings.conf");
    SettingsStore store(file);
    const std::u16string plain(SettingsStore::kMaxLineBytes - 32, u'a');
    // Each control character is written as a six-byte escape.
    const std::u16string controls(SettingsStore::kMaxLineBytes / 4, u'\x01');
    EXPECT_TRUE(store.SetString("Plain", plain));
    EXPECT_FALSE(store.SetString("Controls", controls));
    EXPECT_FALSE(store.Contains("Controls"));
    ASSERT_TRUE(store.Save());
    SettingsStore loaded(file);
    ASSERT_TRUE(loaded.Load());
    EXPECT_EQ(loaded.GetString("Plain"), plain);

    // Read raw, the same characters fit in a line; they could not be written back.
    const std::string raw(SettingsStore::kMaxLineBytes / 4, '\x01');
    ASSERT_TRUE(loaded.LoadText("RR=dword:3\nRaw=string:" + raw + "\nLANG=dword:2\n"));
    EXPECT_FALSE(loaded.Contains("Raw"));
    EXPECT_EQ(loaded.GetDword("RR"), 3u);
    EXPECT_EQ(loaded.GetDword("LANG"), 2u);

    // Twenty long values pass the file limit: the file stays as it was.
    const std::string before = ReadFileText(file);
    for (int i = 0; i < 20; ++i) {
        ASSERT_TRUE(store.SetString("Plain" + std::to_string(i), plain));
    }
    EXPECT_FALSE(store.Save());
    EXPECT_EQ(ReadFileText(file), before);
    EXPECT_EQ(FolderNames(dir.Path()), std::vector<std::string>{"settings.conf"});
}

class SettingsPathTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : kNames) {
            const char* value = std::getenv(name);
            m_saved.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
        }
    }
    void TearDown() override {
        for (const auto& [name, value] : m_saved) {
            value ? setenv(name.c_str(), value->c_str(), 1) : unsetenv(name.c_str());
        }
    }
    static constexpr const char* kNames[] = {"MORWICK_CONFIG", "XDG_CONFIG_HOME", "HOME"};
    std::vector<std::pair<std::string, std::optional<std::string>>> m_saved;
};

TEST_F(SettingsPathTest, ChoosesOverrideThenXdgThenHome) {
    setenv("HOME", "/home/tester", 1);
    setenv("XDG_CONFIG_HOME", "/xdg", 1);
    setenv("MORWICK_CONFIG", "/etc/morwick/custom.conf", 1);
    EXPECT_EQ(SettingsStore::DefaultPath(), fs::path("/etc/morwick/custom.conf"));
    EXPECT_EQ(SettingsStore::UserDataFolder(), fs::path("/etc/morwick"));

    unsetenv("MORWICK_CONFIG");
    EXPECT_EQ(SettingsStore::DefaultPath(), fs::path("/xdg/morwick-wrenfal/settings.conf"));

    setenv("XDG_CONFIG_HOME", "relative/dir", 1);
    const fs::path fromHome("/home/tester/.config/morwick-wrenfal/settings.conf");
    EXPECT_EQ(SettingsStore::DefaultPath(), fromHome);
    setenv("XDG_CONFIG_HOME", "", 1);
    EXPECT_EQ(SettingsStore::DefaultPath(), fromHome);
    EXPECT_EQ(SettingsStore::UserDataFolder(), fromHome.parent_path());
}

} // namespace

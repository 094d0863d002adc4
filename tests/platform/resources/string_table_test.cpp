#include "platform/resources/string_table.h"

#include "platform/settings/settings_store.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;

void WriteText(const fs::path& file, const std::string& text) {
    std::ofstream out(file, std::ios::binary);
    out << text;
}

TEST(StringTableTest, BuiltInEnglishHasTheProgramsIds) {
    const StringTable table;
    EXPECT_EQ(table.Get(61501), u"Activity");
    EXPECT_EQ(table.Get(61526), u"Cannot open file ");
    EXPECT_EQ(table.Get(61572), u"file(s)");
    EXPECT_EQ(table.Get(61614), u"Unable to open scan file, to resume recovery");
    EXPECT_EQ(table.Get(61597), u"Failed to connect to FTP server.");
    // Escapes of the built-in table are decoded like a pack's.
    EXPECT_EQ(table.Get(61494).substr(0, 57),
              u"This process can not be resumed from the current stage.\n\n");
    EXPECT_NE(table.Get(61565).find(u":\n\t\\ / :"), std::u16string_view::npos);
    EXPECT_TRUE(table.CurrentPack().empty());
}

TEST(StringTableTest, MissingPackOrIdFallsBackToEnglish) {
    TempDir dir;
    StringTable table;
    EXPECT_FALSE(table.LoadPack(dir.File("French.dll")));
    EXPECT_FALSE(table.LoadPack(dir.Path())); // a folder is no pack
    EXPECT_EQ(table.Get(61503), u"Status");
    EXPECT_TRUE(table.CurrentPack().empty());

    WriteText(dir.File("French.dll"), "61503\tÉtat\n");
    ASSERT_TRUE(table.LoadPack(dir.File("French.dll")));
    EXPECT_EQ(table.Get(61503), u"État");
    EXPECT_EQ(table.Get(61502), u"Description"); // not in the pack
    EXPECT_EQ(table.Get(9), u"");                // nowhere
}

TEST(StringTableTest, FailedLoadKeepsTheCurrentPack) {
    TempDir dir;
    WriteText(dir.File("German.dll"), "61610\tSuche\n");
    WriteText(dir.File("Spanish.dll"), "# only a comment\n\nnot a line\n");
    StringTable table;
    ASSERT_TRUE(table.LoadPack(dir.File("German.dll")));
    EXPECT_FALSE(table.LoadPack(dir.File("Spanish.dll")));
    EXPECT_FALSE(table.LoadPack(dir.File("Italian.dll")));
    EXPECT_EQ(table.Get(61610), u"Suche");
}

TEST(StringTableTest, PackDecodesEscapesAndSkipsMalformedLines) {
    TempDir dir;
    WriteText(dir.File("French.dll"), "\xEF\xBB\xBF"
                                      "61501\tActivité\r\n"
                                      "# 61502\tcommented out\n"
                                      "61568\ta\\tb\\nc\\\\d\n"
                                      "61569\tbad \\q escape\n"
                                      "61570\ttrailing backslash\\\n"
                                      "61571 no tab\n"
                                      "x61572\tbad id\n"
                                      "0\tzero id\n"
                                      "65536\ttoo large\n"
                                      "-1\tnegative\n"
                                      "61610\t\n"
                                      "61611\tfirst\n"
                                      "61611\tsecond\n"
                                      "61516\tsans fin de ligne");
    StringTable table;
    ASSERT_TRUE(table.LoadPack(dir.File("French.dll")));
    EXPECT_EQ(table.Get(61501), u"Activité"); // BOM and CR dropped
    EXPECT_EQ(table.Get(61502), u"Description");
    EXPECT_EQ(table.Get(61568), u"a\tb\nc\\d");
    EXPECT_EQ(table.Get(61569), u"Marked");
    EXPECT_EQ(table.Get(61570), u"in");
    EXPECT_EQ(table.Get(61571), u"folder(s)");
    EXPECT_EQ(table.Get(61572), u"file(s)");
    EXPECT_EQ(table.Get(61610), u""); // an empty translation is a translation
    EXPECT_EQ(table.Get(61611), u"first");
    EXPECT_EQ(table.Get(61516), u"sans fin de ligne");
}

TEST(StringTableTest, OverlongTextAndOversizedPackAreRefused) {
    TempDir dir;
    WriteText(dir.File("French.dll"), "61501\t" + std::string(StringTable::kMaxTextUnits + 1, 'x') +
                                          "\n61502\t" +
                                          std::string(StringTable::kMaxTextUnits, 'y') + "\n");
    StringTable table;
    ASSERT_TRUE(table.LoadPack(dir.File("French.dll")));
    EXPECT_EQ(table.Get(61501), u"Activity");
    EXPECT_EQ(table.Get(61502).size(), StringTable::kMaxTextUnits);

    WriteText(dir.File("German.dll"),
              "61503\tStatus\n" + std::string(StringTable::kMaxPackBytes, '#'));
    EXPECT_FALSE(table.LoadPack(dir.File("German.dll")));
}

TEST(StringTableTest, LanguagesSwitchAndPacksStayLoaded) {
    TempDir dir;
    WriteText(dir.File("French.dll"), "61610\tAnalyse\n");
    WriteText(dir.File("Italian.dll"), "61610\tScansione\n");
    StringTable table;

    ASSERT_TRUE(table.LoadLanguage(1, dir.Path()));
    const std::u16string_view french = table.Get(61610);
    ASSERT_TRUE(table.LoadLanguage(4, dir.Path()));
    EXPECT_EQ(table.Get(61610), u"Scansione");
    EXPECT_EQ(french, u"Analyse"); // the first pack's text is still alive

    // A pack is read once: changing the file does not change a loaded pack.
    WriteText(dir.File("French.dll"), "61610\tChangé\n");
    ASSERT_TRUE(table.LoadLanguage(1, dir.Path()));
    EXPECT_EQ(table.Get(61610), u"Analyse");
    EXPECT_EQ(table.CurrentPack().filename(), "French.dll");

    EXPECT_TRUE(table.LoadLanguage(0, dir.Path()));
    EXPECT_EQ(table.Get(61610), u"Scan");
    EXPECT_TRUE(table.LoadLanguage(7, dir.Path())); // unknown: English
    EXPECT_EQ(table.Get(61610), u"Scan");
    EXPECT_FALSE(table.LoadLanguage(2, dir.Path())); // no German.dll
    EXPECT_EQ(table.Get(61610), u"Scan");

    // A pack that fails to load leaves the language in force, not English.
    ASSERT_TRUE(table.LoadLanguage(1, dir.Path()));
    EXPECT_FALSE(table.LoadLanguage(2, dir.Path()));
    EXPECT_EQ(table.Get(61610), u"Analyse");
    EXPECT_EQ(table.CurrentPack().filename(), "French.dll");
}

TEST(StringTableTest, PackNamesByLanguage) {
    EXPECT_EQ(StringTable::PackName(0), "");
    EXPECT_EQ(StringTable::PackName(1), "French.dll");
    EXPECT_EQ(StringTable::PackName(2), "German.dll");
    EXPECT_EQ(StringTable::PackName(3), "Spanish.dll");
    EXPECT_EQ(StringTable::PackName(4), "Italian.dll");
    EXPECT_EQ(StringTable::PackName(5), "");
}

TEST(StringTableTest, FrenchWithoutItsPackStartsInEnglishAndKeepsLang) {
    TempDir dir;
    const fs::path settingsFile = dir.File("settings.conf");
    {
        SettingsStore store(settingsFile);
        ASSERT_TRUE(store.SetDword("LANG", 1));
        ASSERT_TRUE(store.Save());
    }
    SettingsStore store(settingsFile);
    ASSERT_TRUE(store.Load());
    const uint32_t language = store.GetDword("LANG", 0);
    StringTable table;
    EXPECT_FALSE(table.LoadLanguage(language, dir.Path()));
    EXPECT_EQ(table.Get(61501), u"Activity");
    EXPECT_EQ(store.GetDword("LANG"), std::optional<uint32_t>(1));
}

TEST(StringTableTest, ReadsWhileLanguagesSwitch) {
    TempDir dir;
    WriteText(dir.File("French.dll"), "61501\tActivité\n");
    WriteText(dir.File("German.dll"), "61501\tAktivität\n");
    WriteText(dir.File("Spanish.dll"), "61501\tActividad\n");
    StringTable table;
    std::atomic<bool> done{false};
    std::atomic<int> wrong{0};
    std::atomic<long> reads{0};

    std::vector<std::thread> readers;
    for (int i = 0; i < 4; ++i) {
        readers.emplace_back([&] {
            // At least one read even when the switching ends first.
            do {
                const std::u16string_view text = table.Get(61501);
                if (text != u"Activity" && text != u"Activité" && text != u"Aktivität" &&
                    text != u"Actividad") {
                    ++wrong;
                }
                if (table.Get(61503) != u"Status") {
                    ++wrong;
                }
                ++reads;
            } while (!done.load());
        });
    }
    int failedLoads = 0;
    for (int round = 0; round < 300; ++round) {
        failedLoads += table.LoadLanguage(1 + static_cast<uint32_t>(round % 3), dir.Path()) ? 0 : 1;
        if (round % 7 == 0) {
            table.UseEnglish();
        }
    }
    done = true;
    for (std::thread& reader : readers) {
        reader.join();
    }
    EXPECT_EQ(failedLoads, 0);
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_GE(reads.load(), 4);
}

} // namespace

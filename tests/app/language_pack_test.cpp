// Every language pack translates every text of the English table and keeps its format
// specifiers, so no text is left in English and no value is formatted wrongly.

#include "platform/resources/string_table.h"
#include "platform/text/utf_conversion.h"
#include "tests/support/fixture_image.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

fs::path PackFolder() {
    return FixturesFolder() / ".." / ".." / "resources" / "packs";
}

// The printf specifiers (%d, %s, %I64d, %.2f, %%) and Qt's place markers (%1) of a text, in
// order: a translation must keep them all, or the program formats the wrong values.
std::vector<std::string> Specifiers(const std::u16string& text) {
    static const std::regex kSpecifier(
        R"(%(%|[0-9]+|[-+ #0]*[0-9]*(\.[0-9]+)?(I64|ll|l|h)?[diouxXsScfeEgGp]))");
    const std::string utf8 = Utf16ToUtf8(text);
    std::vector<std::string> found;
    for (auto it = std::sregex_iterator(utf8.begin(), utf8.end(), kSpecifier);
         it != std::sregex_iterator(); ++it) {
        found.push_back(it->str());
    }
    return found;
}

TEST(LanguagePackTest, SpecifiersAreFoundInOrder) {
    EXPECT_EQ(Specifiers(u"%d of %s, %I64d bytes, %.2f GB, 100%% and %1"),
              (std::vector<std::string>{"%d", "%s", "%I64d", "%.2f", "%%", "%1"}));
    EXPECT_TRUE(Specifiers(u"no markers").empty());
}

class EveryPackTest : public ::testing::TestWithParam<const char*> {};

TEST_P(EveryPackTest, HoldsEveryEnglishIdWithTheSameSpecifiers) {
    const fs::path pack = PackFolder() / GetParam();
    const auto texts = StringTable::ReadPackTexts(pack);
    ASSERT_TRUE(texts.has_value()) << pack;
    const StringTable english;
    size_t missing = 0;
    for (const uint32_t id : english.EnglishIds()) {
        const auto found = texts->find(id);
        if (found == texts->end()) {
            ADD_FAILURE() << GetParam() << " lacks id " << id;
            ++missing;
            continue;
        }
        const std::u16string source(english.English(id));
        EXPECT_EQ(Specifiers(found->second), Specifiers(source))
            << GetParam() << " id " << id << ": " << Utf16ToUtf8(found->second);
        EXPECT_FALSE(found->second.empty()) << GetParam() << " id " << id;
    }
    EXPECT_EQ(missing, 0u);
    // Nothing the program never asks for.
    for (const auto& [id, text] : *texts) {
        EXPECT_FALSE(english.English(id).empty()) << GetParam() << " has unknown id " << id;
    }
}

INSTANTIATE_TEST_SUITE_P(Packs, EveryPackTest,
                         ::testing::Values("French.dll", "German.dll", "Spanish.dll",
                                           "Italian.dll"));

} // namespace

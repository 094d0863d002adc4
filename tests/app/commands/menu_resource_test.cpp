// The menus as data against the command table, the toolbar and the English strings.

#include "app/commands/command_ids.h"
#include "app/commands/command_rules.h"
#include "app/commands/key_decision.h"
#include "app/commands/menu_resource.h"

#include "platform/resources/string_table.h"
#include "platform/text/text_compare.h"
#include "tests/support/fixture_image.h"

#include <QtCore/qnamespace.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

constexpr uint32_t kMenuIds[] = {kMainMenuId, kEntryContextMenuId, kDriveContextMenuId};

struct CommandPlace {
    uint32_t id;
    // Index of the main menu's top-level popup, or -1 in a context menu.
    int group;
};

void CollectCommands(const std::vector<MenuItemResource>& items, int group,
                     std::vector<CommandPlace>& out) {
    for (const MenuItemResource& item : items) {
        if (item.kind == MenuItemResource::Kind::Command)
            out.push_back({item.commandId, group});
        else if (item.kind == MenuItemResource::Kind::Popup)
            CollectCommands(item.children, group, out);
    }
}

// Commands of the three menus in menu order.
std::vector<CommandPlace> MenuCommands() {
    std::vector<CommandPlace> out;
    for (const uint32_t menuId : kMenuIds) {
        const MenuResource* menu = FindMenuResource(menuId);
        if (!menu)
            continue;
        for (size_t i = 0; i < menu->items.size(); ++i) {
            const int group = menuId == kMainMenuId ? static_cast<int>(i) : -1;
            CollectCommands({menu->items[i]}, group, out);
        }
    }
    return out;
}

// Calls `visit` for every item list (the menu itself and each popup).
template <typename Visit>
void ForEachList(const std::vector<MenuItemResource>& items, Visit visit) {
    visit(items);
    for (const MenuItemResource& item : items) {
        if (item.kind == MenuItemResource::Kind::Popup)
            ForEachList(item.children, visit);
    }
}

// The folded letter after the first single "&", if any.
std::optional<char16_t> Mnemonic(std::u16string_view text) {
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != u'&')
            continue;
        if (text[i + 1] == u'&') {
            ++i;
            continue;
        }
        return FoldCase(text[i + 1]);
    }
    return std::nullopt;
}

std::u16string_view Shortcut(std::u16string_view text) {
    const size_t tab = text.find(u'\t');
    return tab == std::u16string_view::npos ? std::u16string_view{} : text.substr(tab + 1);
}

TEST(MenuResourceTest, OnlyTheThreeMenusExist) {
    for (const uint32_t id : kMenuIds) {
        ASSERT_NE(FindMenuResource(id), nullptr) << id;
        EXPECT_EQ(FindMenuResource(id)->id, id);
    }
    EXPECT_EQ(FindMenuResource(0), nullptr);
    EXPECT_EQ(FindMenuResource(129), nullptr);
}

TEST(MenuResourceTest, CommandTableFollowsTheMenus) {
    std::vector<uint32_t> fromMenus;
    for (const CommandPlace& place : MenuCommands())
        fromMenus.push_back(place.id);
    std::vector<uint32_t> fromTable;
    for (const CommandRow& row : CommandTable()) {
        fromTable.push_back(row.id);
        EXPECT_EQ(FindCommand(row.id), &row);
    }
    EXPECT_EQ(fromMenus, fromTable);
    EXPECT_EQ(std::set<uint32_t>(fromTable.begin(), fromTable.end()).size(), fromTable.size())
        << "a command is listed twice";
}

TEST(MenuResourceTest, PopupsAreWellFormed) {
    for (const uint32_t id : kMenuIds) {
        ForEachList(FindMenuResource(id)->items, [&](const std::vector<MenuItemResource>& list) {
            ASSERT_FALSE(list.empty()) << id;
            EXPECT_NE(list.front().kind, MenuItemResource::Kind::Separator) << id;
            EXPECT_NE(list.back().kind, MenuItemResource::Kind::Separator) << id;
            for (size_t i = 1; i < list.size(); ++i) {
                EXPECT_FALSE(list[i].kind == MenuItemResource::Kind::Separator &&
                             list[i - 1].kind == MenuItemResource::Kind::Separator)
                    << id;
            }
            for (const MenuItemResource& item : list) {
                if (item.kind == MenuItemResource::Kind::Command) {
                    EXPECT_EQ(item.textId, item.commandId);
                }
                if (item.kind != MenuItemResource::Kind::Popup) {
                    EXPECT_TRUE(item.children.empty());
                }
            }
        });
        // The main menu's top level holds only popups; the context menus open as one popup.
        for (const MenuItemResource& item : FindMenuResource(id)->items) {
            EXPECT_EQ(item.kind == MenuItemResource::Kind::Popup, id == kMainMenuId) << id;
        }
    }
}

// The menu texts of English ("") or of a language pack in resources/packs/.
std::unordered_map<uint32_t, std::u16string> MenuTexts(const std::string& pack) {
    if (pack.empty()) {
        const StringTable strings;
        std::unordered_map<uint32_t, std::u16string> texts;
        for (const uint32_t id : strings.EnglishIds()) {
            texts.emplace(id, std::u16string(strings.English(id)));
        }
        return texts;
    }
    const std::filesystem::path file =
        FixturesFolder() / ".." / ".." / "resources" / "packs" / pack;
    auto texts = StringTable::ReadPackTexts(file);
    EXPECT_TRUE(texts.has_value()) << file;
    return texts.value_or(std::unordered_map<uint32_t, std::u16string>());
}

class MenuTextsTest : public ::testing::TestWithParam<std::string> {};

TEST_P(MenuTextsTest, EveryTextExistsWithOneMnemonicPerPopup) {
    const auto texts = MenuTexts(GetParam());
    for (const uint32_t id : kMenuIds) {
        ForEachList(FindMenuResource(id)->items, [&](const std::vector<MenuItemResource>& list) {
            std::map<char16_t, uint32_t> taken;
            for (const MenuItemResource& item : list) {
                if (item.kind == MenuItemResource::Kind::Separator)
                    continue;
                const auto found = texts.find(item.textId);
                ASSERT_NE(found, texts.end()) << "no text for " << item.textId;
                const std::optional<char16_t> key = Mnemonic(found->second);
                EXPECT_TRUE(key.has_value()) << "no mnemonic in " << item.textId;
                if (!key)
                    continue;
                const auto [at, fresh] = taken.emplace(*key, item.textId);
                EXPECT_TRUE(fresh) << item.textId << " shares its mnemonic with " << at->second;
            }
        });
    }
}

INSTANTIATE_TEST_SUITE_P(Languages, MenuTextsTest,
                         ::testing::Values("", "French.dll", "German.dll", "Spanish.dll",
                                           "Italian.dll"),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             return info.param.empty() ? std::string("English")
                                                       : info.param.substr(0, info.param.find('.'));
                         });

TEST(MenuResourceTest, ShownShortcutsAreTheKeysTheFrameHandles) {
    StringTable strings;
    const KeyContext findDone{.resultsShown = true, .findDone = true, .jobRunning = false};
    const std::map<std::u16string, std::pair<int, KeyAction>> handled = {
        {u"F1", {Qt::Key_F1, KeyAction::OpenHelp}}, {u"F3", {Qt::Key_F3, KeyAction::FindNext}}};
    std::map<uint32_t, std::u16string> shown;
    for (const CommandPlace& place : MenuCommands()) {
        const std::u16string_view shortcut = Shortcut(strings.English(place.id));
        if (shortcut.empty())
            continue;
        shown[place.id] = std::u16string(shortcut);
        const auto it = handled.find(std::u16string(shortcut));
        ASSERT_NE(it, handled.end()) << "shortcut nobody handles on " << place.id;
        KeyFacts facts;
        facts.key = it->second.first;
        facts.focus = KeyFocus::FolderTree;
        EXPECT_EQ(DecideKey(facts, findDone), it->second.second);
    }
    const std::map<uint32_t, std::u16string> expected = {{CommandId::kHelpTopics, u"F1"},
                                                         {CommandId::kFindNext, u"F3"}};
    EXPECT_EQ(shown, expected);
}

TEST(MenuResourceTest, MainMenuPicturesAreDistinct) {
    std::map<int, uint32_t> pictures;
    ForEachList(FindMenuResource(kMainMenuId)->items,
                [&](const std::vector<MenuItemResource>& list) {
                    for (const MenuItemResource& item : list) {
                        if (item.image < 0)
                            continue;
                        EXPECT_EQ(item.kind, MenuItemResource::Kind::Command);
                        EXPECT_LT(item.image, 25) << "the strip holds 25 pictures";
                        const auto [at, fresh] = pictures.emplace(item.image, item.commandId);
                        EXPECT_TRUE(fresh) << item.commandId << " and " << at->second;
                    }
                });
    EXPECT_EQ(pictures.at(0), CommandId::kShowDriveList);
    EXPECT_EQ(pictures.at(22), CommandId::kFilePreview);
}

TEST(ToolbarTest, ButtonsAreTheCommandsWithButtonRulesInMenuOrder) {
    std::vector<uint32_t> buttons;
    std::vector<size_t> separators;
    for (const uint32_t id : ToolbarButtons()) {
        if (id == 0)
            separators.push_back(buttons.size());
        else
            buttons.push_back(id);
    }
    EXPECT_EQ(buttons.size(), 19u);

    // Expected: the commands with a button rule in menu order, a separator wherever the
    // top-level popup changes.
    std::vector<uint32_t> expected;
    std::vector<size_t> expectedSeparators;
    int lastGroup = -2;
    for (const CommandPlace& place : MenuCommands()) {
        const CommandRow* row = FindCommand(place.id);
        ASSERT_NE(row, nullptr);
        if (!row->hasButtonRule)
            continue;
        EXPECT_NE(place.group, -1) << "a context-menu command with a button rule";
        if (lastGroup != -2 && place.group != lastGroup)
            expectedSeparators.push_back(expected.size());
        lastGroup = place.group;
        expected.push_back(place.id);
    }
    EXPECT_EQ(buttons, expected);
    EXPECT_EQ(separators, expectedSeparators);
}

} // namespace

// The frame's two tables against what feeds them: every message of the job protocol has a
// handler in the job-message router, and every command of the main menu, the drive tree's
// menu and the toolbar has a handler in the command table, or is one the frame leaves to
// others on purpose.
#include "app/commands/command_ids.h"
#include "app/commands/menu_resource.h"
#include "app/frame/main_frame.h"
#include "tests/app/frame_test_harness.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <string>

namespace {

// The message ids the protocol header defines, by name: "WM_X = kWmUser + 0x1F" and
// "kJobX = kWmApp + 0x01". Read from the header itself, so that a message added there is
// checked here without a list to keep.
std::map<std::string, uint32_t> ProtocolMessages() {
    const std::filesystem::path header =
        std::filesystem::path(MORWICK_SOURCE_DIR) / "platform" / "jobs" / "job_messages.h";
    std::ifstream in(header);
    const std::regex definition(
        R"(inline constexpr uint32_t (\w+) = (kWmUser|kWmApp) \+ 0x([0-9A-Fa-f]+);)");
    std::map<std::string, uint32_t> messages;
    std::string line;
    while (std::getline(in, line)) {
        std::smatch match;
        if (std::regex_search(line, match, definition)) {
            const uint32_t base = match[2] == "kWmUser" ? kWmUser : kWmApp;
            messages[match[1]] = base + static_cast<uint32_t>(std::stoul(match[3], nullptr, 16));
        }
    }
    return messages;
}

void CollectCommands(const std::vector<MenuItemResource>& items, std::set<uint32_t>& ids) {
    for (const MenuItemResource& item : items) {
        if (item.kind == MenuItemResource::Kind::Command) {
            ids.insert(item.commandId);
        }
        CollectCommands(item.children, ids);
    }
}

using FrameTablesTest = WindowTest;

TEST_F(FrameTablesTest, EveryJobMessageOfTheProtocolHasAHandler) {
    const std::map<std::string, uint32_t> messages = ProtocolMessages();
    // The protocol is large; a header the pattern no longer reads must not pass as empty.
    ASSERT_GE(messages.size(), 40u);
    for (const auto& [name, id] : messages) {
        EXPECT_TRUE(frame.JobRouter().Handles(id)) << name;
    }
}

TEST_F(FrameTablesTest, EveryCommandOfTheMenusAndToolbarHasAHandlerOrIsLeftToOthers) {
    // The drive menu's Properties goes straight to the drive it was opened on.
    const std::set<uint32_t> leftToOthers = {CommandId::kProperties};
    struct Source {
        const char* name;
        std::set<uint32_t> ids;
    };
    std::vector<Source> sources;
    for (const auto& [name, menuId] :
         {std::pair{"main menu", kMainMenuId}, std::pair{"drive menu", kDriveContextMenuId}}) {
        const MenuResource* menu = FindMenuResource(menuId);
        ASSERT_NE(menu, nullptr) << name;
        Source source{name, {}};
        CollectCommands(menu->items, source.ids);
        sources.push_back(source);
    }
    Source toolbar{"toolbar", {}};
    for (const uint32_t id : ToolbarButtons()) {
        if (id != 0) {
            toolbar.ids.insert(id);
        }
    }
    sources.push_back(toolbar);
    for (const Source& source : sources) {
        ASSERT_FALSE(source.ids.empty()) << source.name;
        for (const uint32_t id : source.ids) {
            EXPECT_NE(frame.Commands().Handles(id), leftToOthers.count(id) == 1)
                << source.name << " command " << id;
        }
    }
}

} // namespace

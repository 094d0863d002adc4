// Availability of the commands in the states the frame passes through.

#include "app/commands/command_ids.h"
#include "app/commands/command_rules.h"
#include "app/commands/command_values.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <optional>
#include <ostream>
#include <set>
#include <vector>

namespace {

namespace C = CommandId;

// No rule of that kind, a rule answering disabled, or one answering enabled.
enum class Rule {
    None,
    Off,
    On,
};

Rule Of(const std::optional<CommandUi>& ui) {
    if (!ui)
        return Rule::None;
    return ui->enabled ? Rule::On : Rule::Off;
}

CommandState Idle() {
    return CommandState{};
}

CommandState Results() {
    CommandState s;
    s.resultsAvailable = true;
    return s;
}

CommandState Job() {
    CommandState s;
    s.jobRunning = true;
    s.stoppable = true;
    s.resultsAvailable = true;
    return s;
}

template <typename Change> CommandState With(CommandState s, Change change) {
    change(s);
    return s;
}

struct RuleCase {
    const char* label;
    uint32_t id;
    CommandState state;
    Rule menu;
    Rule button;
};

std::ostream& operator<<(std::ostream& out, const RuleCase& c) {
    return out << c.label;
}

class CommandRuleTest : public ::testing::TestWithParam<RuleCase> {};

TEST_P(CommandRuleTest, MenuAndButtonRules) {
    const RuleCase& c = GetParam();
    EXPECT_EQ(Of(MenuRule(c.id, c.state)), c.menu) << "menu rule";
    EXPECT_EQ(Of(ButtonRule(c.id, c.state)), c.button) << "button rule";
}

const auto kSome = [](CommandState& s) { s.someSelected = true; };
const auto kAll = [](CommandState& s) { s.someSelected = s.allSelected = true; };
const auto kMask = [](CommandState& s) { s.maskInForce = true; };
const auto kFind = [](CommandState& s) { s.findDone = true; };
const auto kFilter = [](CommandState& s) { s.filterListEmpty = false; };
const auto kLogRows = [](CommandState& s) { s.logHasRows = true; };
const auto kSaved = [](CommandState& s) { s.scanInfoSaved = true; };
const auto kParent = [](CommandState& s) { s.parentAvailable = true; };
const auto kUpdater = [](CommandState& s) { s.updaterPresent = true; };
const auto kUnstoppable = [](CommandState& s) { s.stoppable = false; };

using R = Rule;

INSTANTIATE_TEST_SUITE_P(
    States, CommandRuleTest,
    ::testing::Values(
        RuleCase{"drive list, idle without results", C::kShowDriveList, Idle(), R::Off, R::Off},
        RuleCase{"drive list with results", C::kShowDriveList, Results(), R::On, R::On},
        RuleCase{"drive list during a job", C::kShowDriveList, Job(), R::Off, R::Off},
        RuleCase{"refresh idle", C::kRefreshDriveList, Idle(), R::On, R::On},
        RuleCase{"refresh during a job", C::kRefreshDriveList, Job(), R::Off, R::Off},
        RuleCase{"open scan file idle", C::kOpenDriveUsingScanInformation, Idle(), R::On, R::None},
        RuleCase{"open scan file in a job", C::kOpenDriveUsingScanInformation, Job(), R::Off,
                 R::None},
        RuleCase{"open image in a job", C::kOpenImageFile, Job(), R::Off, R::None},
        RuleCase{"exit has no rule", C::kExit, Job(), R::None, R::None},
        RuleCase{"recover all with results", C::kRecoverAll, Results(), R::On, R::On},
        RuleCase{"recover all without results", C::kRecoverAll, Idle(), R::Off, R::Off},
        RuleCase{"recover all in a job", C::kRecoverAll, Job(), R::Off, R::Off},
        RuleCase{"recover selected, some", C::kRecoverSelected, With(Results(), kSome), R::On,
                 R::On},
        RuleCase{"recover selected, none", C::kRecoverSelected, Results(), R::Off, R::Off},
        // Back at the drive list the selection is still known: only the button follows it.
        RuleCase{"recover selected, drive list", C::kRecoverSelected, With(Idle(), kSome), R::Off,
                 R::On},
        RuleCase{"recover selected in a job", C::kRecoverSelected, With(Job(), kSome), R::Off,
                 R::Off},
        RuleCase{"add filter with results", C::kAddFileFilter, Results(), R::On, R::On},
        RuleCase{"add filter in a job", C::kAddFileFilter, Job(), R::Off, R::Off},
        RuleCase{"remove filter, list filled", C::kRemoveFileFilter, With(Results(), kFilter),
                 R::On, R::None},
        RuleCase{"remove filter, list empty", C::kRemoveFileFilter, Results(), R::Off, R::None},
        RuleCase{"remove filter, no results", C::kRemoveFileFilter, With(Idle(), kFilter), R::Off,
                 R::None},
        RuleCase{"remove filter in a job", C::kRemoveFileFilter, With(Job(), kFilter), R::Off,
                 R::None},
        RuleCase{"stop a stoppable job", C::kStopCurrentProcess, Job(), R::None, R::On},
        RuleCase{"stop an unstoppable job", C::kStopCurrentProcess, With(Job(), kUnstoppable),
                 R::None, R::Off},
        RuleCase{"stop without a job", C::kStopCurrentProcess, Results(), R::None, R::Off},
        RuleCase{"save scan info unsaved", C::kSaveScanInformation, Results(), R::On, R::None},
        RuleCase{"save scan info saved", C::kSaveScanInformation, With(Results(), kSaved), R::Off,
                 R::None},
        RuleCase{"save scan info in a job", C::kSaveScanInformation, Job(), R::Off, R::None},
        RuleCase{"settings in a job", C::kAdvanceSettings, Job(), R::On, R::None},
        RuleCase{"find with results", C::kFind, Results(), R::On, R::On},
        RuleCase{"find in a job", C::kFind, Job(), R::Off, R::On},
        RuleCase{"find without results", C::kFind, Idle(), R::Off, R::Off},
        RuleCase{"find next after a find", C::kFindNext, With(Results(), kFind), R::On, R::On},
        RuleCase{"find next in a job", C::kFindNext, With(Job(), kFind), R::Off, R::On},
        RuleCase{"find next before a find", C::kFindNext, Results(), R::Off, R::Off},
        RuleCase{"mask with results", C::kFileMask, Results(), R::On, R::On},
        RuleCase{"mask in force", C::kFileMask, With(Results(), kMask), R::Off, R::Off},
        RuleCase{"mask in a job", C::kFileMask, Job(), R::Off, R::Off},
        RuleCase{"original list, mask in force", C::kShowOriginalList, With(Results(), kMask),
                 R::On, R::None},
        RuleCase{"original list, no mask", C::kShowOriginalList, Results(), R::Off, R::None},
        RuleCase{"original list in a job", C::kShowOriginalList, With(Job(), kMask), R::Off,
                 R::None},
        RuleCase{"select all, none selected", C::kSelectAll, Results(), R::On, R::None},
        RuleCase{"select all, some selected", C::kSelectAll, With(Results(), kSome), R::On,
                 R::None},
        RuleCase{"select all, all selected", C::kSelectAll, With(Results(), kAll), R::Off, R::None},
        RuleCase{"select all without results", C::kSelectAll, Idle(), R::Off, R::None},
        RuleCase{"select all in a job", C::kSelectAll, Job(), R::Off, R::None},
        RuleCase{"unselect all, some", C::kUnselectAll, With(Results(), kSome), R::On, R::None},
        RuleCase{"unselect all, none", C::kUnselectAll, Results(), R::Off, R::None},
        RuleCase{"unselect all in a job", C::kUnselectAll, With(Job(), kAll), R::Off, R::None},
        RuleCase{"save log with rows", C::kSaveLog, With(Idle(), kLogRows), R::On, R::None},
        RuleCase{"save log without rows", C::kSaveLog, Results(), R::Off, R::None},
        RuleCase{"save log in a job", C::kSaveLog, With(Job(), kLogRows), R::Off, R::None},
        RuleCase{"clear log with rows", C::kClearLog, With(Idle(), kLogRows), R::On, R::None},
        RuleCase{"clear log without rows", C::kClearLog, Idle(), R::Off, R::None},
        RuleCase{"append header in a job", C::kAppendHeaderFile, Job(), R::On, R::None},
        RuleCase{"preview without results", C::kFilePreview, Idle(), R::On, R::Off},
        RuleCase{"preview with results", C::kFilePreview, Results(), R::On, R::On},
        RuleCase{"preview in a job", C::kFilePreview, Job(), R::Off, R::On},
        RuleCase{"go up with a parent", C::kGoUp, With(Results(), kParent), R::On, R::On},
        RuleCase{"go up with a parent in a job", C::kGoUp, With(Job(), kParent), R::On, R::On},
        RuleCase{"go up without a parent", C::kGoUp, Results(), R::Off, R::Off},
        RuleCase{"arrange with results", C::kArrangeModified, Results(), R::On, R::None},
        RuleCase{"arrange without results", C::kArrangeFileId, Idle(), R::Off, R::None},
        RuleCase{"arrange in a job", C::kArrangeName, Job(), R::Off, R::None},
        RuleCase{"help topics in a job", C::kHelpTopics, Job(), R::On, R::None},
        RuleCase{"support mail in a job", C::kEmailSupport, Job(), R::On, R::None},
        RuleCase{"ticket in a job", C::kGenerateTicket, Job(), R::On, R::None},
        RuleCase{"update, updater present", C::kUpdate, With(Idle(), kUpdater), R::On, R::On},
        RuleCase{"update, no updater", C::kUpdate, Idle(), R::Off, R::Off},
        RuleCase{"update in a job", C::kUpdate, With(Job(), kUpdater), R::Off, R::Off},
        RuleCase{"tip in a job", C::kTipOfTheDay, Job(), R::On, R::None},
        RuleCase{"select/unselect with results", C::kSelectUnselect, Results(), R::On, R::None},
        RuleCase{"select/unselect in a job", C::kSelectUnselect, Job(), R::Off, R::None},
        RuleCase{"rename with results", C::kRename, Results(), R::On, R::None},
        RuleCase{"rename without results", C::kRename, Idle(), R::Off, R::None},
        RuleCase{"rename in a job", C::kRename, Job(), R::Off, R::None}));

constexpr std::array kLinkingModes = {C::kLinkingFat1, C::kLinkingFat2, C::kLinkingContiguous};

TEST(LinkingModeRuleTest, AllButTheCurrentModeOnFatWithResults) {
    for (uint8_t current = 0; current < 3; ++current) {
        CommandState fat = Results();
        fat.fatVolume = true;
        fat.linkingMode = current;
        for (uint8_t mode = 0; mode < 3; ++mode) {
            EXPECT_EQ(Of(MenuRule(kLinkingModes[mode], fat)), mode == current ? R::Off : R::On)
                << "current " << int(current) << " item " << int(mode);
        }
    }
}

TEST(LinkingModeRuleTest, AllGrayOnNtfsWithoutResultsOrInAJob) {
    CommandState ntfs = Results();
    ntfs.linkingMode = 1;
    CommandState fatNoResults = Idle();
    fatNoResults.fatVolume = true;
    CommandState fatJob = Job();
    fatJob.fatVolume = true;
    for (const CommandState& state : {ntfs, fatNoResults, fatJob}) {
        for (const uint32_t id : kLinkingModes)
            EXPECT_EQ(Of(MenuRule(id, state)), R::Off) << id;
    }
}

TEST(LanguageRuleTest, EveryLanguageButTheCurrentOne) {
    constexpr std::array kLanguages = {C::kEnglish, C::kFrench, C::kGerman, C::kSpanish,
                                       C::kItalian};
    for (const uint32_t lang : {0u, 1u, 2u, 3u, 4u, 7u}) {
        for (const bool job : {false, true}) {
            CommandState s;
            s.language = lang;
            s.jobRunning = job;
            for (uint32_t i = 0; i < kLanguages.size(); ++i) {
                EXPECT_EQ(MenuItemState(kLanguages[i], s).enabled, i != lang)
                    << "LANG " << lang << " item " << i << " job " << job;
            }
        }
    }
}

TEST(ViewRuleTest, RadioMarkOnTheCurrentStyle) {
    // Style values: 0 large icon, 1 details, 2 small icon, 3 list.
    constexpr std::array kByStyle = {C::kLargeIcon, C::kDetails, C::kSmallIcon, C::kList};
    for (uint32_t style = 0; style < 4; ++style) {
        CommandState s = Job();
        s.viewStyle = style;
        for (uint32_t i = 0; i < kByStyle.size(); ++i) {
            const CommandUi ui = MenuItemState(kByStyle[i], s);
            EXPECT_TRUE(ui.enabled);
            EXPECT_EQ(ui.checked, i == style) << "style " << style << " item " << i;
            EXPECT_EQ(ButtonState(kByStyle[i], s).checked, i == style);
        }
    }
}

TEST(ViewRuleTest, BarTogglesCheckedWhileShown) {
    struct Toggle {
        uint32_t id;
        bool CommandState::*visible;
    };
    for (const Toggle t : {Toggle{C::kViewToolbar, &CommandState::toolbarVisible},
                           Toggle{C::kViewStatusBar, &CommandState::statusBarVisible},
                           Toggle{C::kMessageLog, &CommandState::logBarVisible}}) {
        for (const bool visible : {false, true}) {
            CommandState s = Job();
            s.*(t.visible) = visible;
            EXPECT_EQ(MenuItemState(t.id, s).checked, visible) << t.id;
            EXPECT_TRUE(MenuItemState(t.id, s).enabled) << t.id;
            EXPECT_EQ(ButtonState(t.id, s).checked, visible) << t.id;
        }
        // Each toggle follows its own bar only.
        CommandState others = Idle();
        others.toolbarVisible = others.statusBarVisible = others.logBarVisible = true;
        others.*(t.visible) = false;
        EXPECT_FALSE(MenuItemState(t.id, others).checked) << t.id;
    }
}

// Every combination of the flags the rules read, so that no state enables a pending command.
std::vector<CommandState> ManyStates() {
    std::vector<CommandState> states;
    for (uint32_t bits = 0; bits < (1u << 12); ++bits) {
        CommandState s;
        s.jobRunning = bits & 1;
        s.stoppable = bits & 2;
        s.resultsAvailable = bits & 4;
        s.someSelected = bits & 8;
        s.allSelected = bits & 16;
        s.maskInForce = bits & 32;
        s.findDone = bits & 64;
        s.filterListEmpty = bits & 128;
        s.scanInfoSaved = bits & 256;
        s.logHasRows = bits & 512;
        s.fatVolume = bits & 1024;
        s.parentAvailable = bits & 2048;
        s.updaterPresent = true;
        s.linkingMode = static_cast<uint8_t>(bits % 3);
        s.language = bits % 5;
        states.push_back(s);
    }
    return states;
}

TEST(CommandStateTest, PendingCommandsAreNeverEnabled) {
    const std::set<uint32_t> expectedPending = {C::kRecover};
    std::set<uint32_t> pending;
    for (const CommandRow& row : CommandTable()) {
        if (row.pending)
            pending.insert(row.id);
    }
    EXPECT_EQ(pending, expectedPending);

    const std::vector<CommandState> states = ManyStates();
    for (const uint32_t id : pending) {
        for (const CommandState& s : states) {
            ASSERT_FALSE(MenuItemState(id, s).enabled) << id;
            ASSERT_FALSE(ButtonState(id, s).enabled) << id;
        }
    }
}

TEST(CommandStateTest, BuiltCommandsShowTheirRules) {
    const std::vector<CommandState> states = ManyStates();
    for (const CommandRow& row : CommandTable()) {
        if (row.pending)
            continue;
        for (const CommandState& s : states) {
            const std::optional<CommandUi> menu = MenuRule(row.id, s);
            const std::optional<CommandUi> button = ButtonRule(row.id, s);
            const CommandUi item = MenuItemState(row.id, s);
            // The menu rule decides where there is one, else the button rule, else enabled.
            const bool enabled = menu ? menu->enabled : button ? button->enabled : true;
            ASSERT_EQ(item.enabled, enabled) << row.id;
            ASSERT_EQ(item.checked, button && button->checked) << row.id;
            // Only rows the frame makes checkable can show a mark.
            ASSERT_TRUE(!item.checked || row.checkable || row.radio) << row.id;
            ASSERT_EQ(ButtonState(row.id, s).enabled, button ? button->enabled : true) << row.id;
            ASSERT_EQ(row.hasMenuRule, menu.has_value()) << row.id;
            ASSERT_EQ(row.hasButtonRule, button.has_value()) << row.id;
        }
    }
}

TEST(CommandStateTest, MenuItemsWithoutAMenuRule) {
    // Stop has only a button rule, which the menu item follows.
    EXPECT_TRUE(MenuItemState(C::kStopCurrentProcess, Job()).enabled);
    EXPECT_FALSE(MenuItemState(C::kStopCurrentProcess, With(Job(), kUnstoppable)).enabled);
    EXPECT_FALSE(MenuItemState(C::kStopCurrentProcess, Results()).enabled);
    EXPECT_TRUE(MenuItemState(C::kExit, Job()).enabled);
    // A command no menu holds has no handler.
    EXPECT_FALSE(MenuItemState(1, Idle()).enabled);
    EXPECT_FALSE(ButtonState(1, Idle()).enabled);
    EXPECT_EQ(FindCommand(1), nullptr);
}

// The command the frame runs to set a value is the one the menu marks while that value is in
// force: the language and linking-mode items of the current value are gray, the view style's
// is checked; every other item of the group is not.
TEST(CommandStateTest, TheCommandOfEachValueIsTheOneTheMenuMarksForIt) {
    struct Group {
        const char* name;
        std::vector<uint32_t> commands;
        CommandState (*inForce)(size_t value);
        // Whether the rule marks the item as the value in force.
        bool (*marked)(const CommandUi& ui);
    };
    const std::array<Group, 3> groups = {{
        {"language",
         {CommandValues::kLanguageCommands.begin(), CommandValues::kLanguageCommands.end()},
         [](size_t value) {
             CommandState s = Idle();
             s.language = static_cast<uint32_t>(value);
             return s;
         },
         [](const CommandUi& ui) { return !ui.enabled; }},
        {"linking mode",
         {CommandValues::kLinkingCommands.begin(), CommandValues::kLinkingCommands.end()},
         [](size_t value) {
             CommandState s = Results();
             s.fatVolume = true;
             s.linkingMode = static_cast<uint8_t>(value);
             return s;
         },
         [](const CommandUi& ui) { return !ui.enabled; }},
        {"view style",
         {CommandValues::kViewStyleCommands.begin(), CommandValues::kViewStyleCommands.end()},
         [](size_t value) {
             CommandState s = Idle();
             s.viewStyle = static_cast<uint32_t>(value);
             return s;
         },
         [](const CommandUi& ui) { return ui.checked; }},
    }};
    for (const Group& group : groups) {
        for (size_t value = 0; value < group.commands.size(); ++value) {
            const CommandState s = group.inForce(value);
            for (size_t other = 0; other < group.commands.size(); ++other) {
                EXPECT_EQ(group.marked(MenuItemState(group.commands[other], s)), other == value)
                    << group.name << " " << value << ": item " << other;
            }
        }
    }
}

} // namespace

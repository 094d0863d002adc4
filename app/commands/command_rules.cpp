#include "app/commands/command_rules.h"

#include "app/commands/command_ids.h"

#include <array>

namespace {

using Rule = CommandUi (*)(const CommandState&);

CommandUi Enabled(bool enabled) {
    return CommandUi{enabled, false};
}

// Most menu items are gray while a job runs and otherwise follow one condition.
CommandUi IdleAnd(const CommandState& s, bool condition) {
    return Enabled(!s.jobRunning && condition);
}

CommandUi AlwaysEnabled(const CommandState&) {
    return Enabled(true);
}

CommandUi WhenIdle(const CommandState& s) {
    return IdleAnd(s, true);
}

CommandUi IdleWithResults(const CommandState& s) {
    return IdleAnd(s, s.resultsAvailable);
}

CommandUi WhenResults(const CommandState& s) {
    return Enabled(s.resultsAvailable);
}

CommandUi WhenFindDone(const CommandState& s) {
    return Enabled(s.findDone);
}

CommandUi WhenParent(const CommandState& s) {
    return Enabled(s.parentAvailable);
}

CommandUi IdleWithLogRows(const CommandState& s) {
    return IdleAnd(s, s.logHasRows);
}

// Toggles of the window's bars: always available, checked while shown.
CommandUi Shown(bool visible) {
    return CommandUi{true, visible};
}

template <uint8_t kMode> CommandUi LinkingMode(const CommandState& s) {
    return IdleAnd(s, s.resultsAvailable && s.fatVolume && s.linkingMode != kMode);
}

template <uint32_t kStyle> CommandUi ViewStyle(const CommandState& s) {
    return CommandUi{true, s.viewStyle == kStyle};
}

// A LANG value outside 0 to 4 names no language, so no item is gray.
template <uint32_t kLanguage> CommandUi Language(const CommandState& s) {
    return Enabled(s.language != kLanguage);
}

struct Entry {
    uint32_t id;
    Rule menu;
    Rule button;
    bool checkable;
    bool radio;
    bool pending;
};

constexpr bool kPending = true;
constexpr bool kBuilt = false;

constexpr Entry Plain(uint32_t id, Rule menu, Rule button, bool pending) {
    return Entry{id, menu, button, false, false, pending};
}

constexpr Entry Check(uint32_t id, Rule menu, Rule button) {
    return Entry{id, menu, button, true, false, kBuilt};
}

constexpr Entry Radio(uint32_t id, Rule menu, Rule button) {
    return Entry{id, menu, button, false, true, kBuilt};
}

namespace C = CommandId;

// Menu order: main menu 128, then the entry context menu 218 and the drive context menu 239.
constexpr std::array kEntries = {
    // Drives
    Plain(C::kShowDriveList, IdleWithResults, IdleWithResults, kBuilt),
    Plain(C::kRefreshDriveList, WhenIdle, WhenIdle, kBuilt),
    Plain(C::kOpenDriveUsingScanInformation, WhenIdle, nullptr, kBuilt),
    Plain(C::kOpenImageFile, WhenIdle, nullptr, kBuilt),
    Plain(C::kExit, nullptr, nullptr, kBuilt),
    // Files
    Plain(C::kRecoverAll, IdleWithResults, IdleWithResults, kBuilt),
    Plain(
        C::kRecoverSelected,
        [](const CommandState& s) { return IdleAnd(s, s.resultsAvailable && s.someSelected); },
        [](const CommandState& s) { return IdleAnd(s, s.someSelected); }, kBuilt),
    Plain(C::kAddFileFilter, IdleWithResults, IdleWithResults, kBuilt),
    Plain(
        C::kRemoveFileFilter,
        [](const CommandState& s) { return IdleAnd(s, s.resultsAvailable && !s.filterListEmpty); },
        nullptr, kBuilt),
    // Tools
    Plain(
        C::kStopCurrentProcess, nullptr,
        [](const CommandState& s) { return Enabled(s.jobRunning && s.stoppable); }, kBuilt),
    Plain(
        C::kSaveScanInformation, [](const CommandState& s) { return IdleAnd(s, !s.scanInfoSaved); },
        nullptr, kBuilt),
    Plain(C::kAdvanceSettings, AlwaysEnabled, nullptr, kBuilt),
    Plain(C::kFind, IdleWithResults, WhenResults, kBuilt),
    Plain(
        C::kFindNext, [](const CommandState& s) { return IdleAnd(s, s.findDone); }, WhenFindDone,
        kBuilt),
    Plain(
        C::kFileMask,
        [](const CommandState& s) { return IdleAnd(s, s.resultsAvailable && !s.maskInForce); },
        [](const CommandState& s) { return IdleAnd(s, s.resultsAvailable && !s.maskInForce); },
        kBuilt),
    Plain(
        C::kShowOriginalList,
        [](const CommandState& s) { return IdleAnd(s, s.resultsAvailable && s.maskInForce); },
        nullptr, kBuilt),
    Plain(
        C::kSelectAll,
        [](const CommandState& s) { return IdleAnd(s, s.resultsAvailable && !s.allSelected); },
        nullptr, kBuilt),
    Plain(
        C::kUnselectAll,
        [](const CommandState& s) { return IdleAnd(s, s.resultsAvailable && s.someSelected); },
        nullptr, kBuilt),
    Plain(C::kSaveLog, IdleWithLogRows, nullptr, kBuilt),
    Plain(C::kClearLog, IdleWithLogRows, nullptr, kBuilt),
    Plain(C::kLinkingFat1, LinkingMode<0>, nullptr, kBuilt),
    Plain(C::kLinkingFat2, LinkingMode<1>, nullptr, kBuilt),
    Plain(C::kLinkingContiguous, LinkingMode<2>, nullptr, kBuilt),
    Plain(C::kAppendHeaderFile, AlwaysEnabled, nullptr, kBuilt),
    Plain(C::kFilePreview, WhenIdle, WhenResults, kBuilt),
    // View
    Check(C::kViewToolbar, AlwaysEnabled,
          [](const CommandState& s) { return Shown(s.toolbarVisible); }),
    Check(C::kViewStatusBar, AlwaysEnabled,
          [](const CommandState& s) { return Shown(s.statusBarVisible); }),
    Check(C::kMessageLog, AlwaysEnabled,
          [](const CommandState& s) { return Shown(s.logBarVisible); }),
    Plain(C::kGoUp, WhenParent, WhenParent, kBuilt),
    Radio(C::kLargeIcon, AlwaysEnabled, ViewStyle<0>),
    Radio(C::kSmallIcon, AlwaysEnabled, ViewStyle<2>),
    Radio(C::kList, AlwaysEnabled, ViewStyle<3>),
    Radio(C::kDetails, AlwaysEnabled, ViewStyle<1>),
    Plain(C::kArrangeName, IdleWithResults, nullptr, kBuilt),
    Plain(C::kArrangeType, IdleWithResults, nullptr, kBuilt),
    Plain(C::kArrangeSize, IdleWithResults, nullptr, kBuilt),
    Plain(C::kArrangeModified, IdleWithResults, nullptr, kBuilt),
    Plain(C::kArrangeCreated, IdleWithResults, nullptr, kBuilt),
    Plain(C::kArrangeAccessed, IdleWithResults, nullptr, kBuilt),
    Plain(C::kArrangeFileId, IdleWithResults, nullptr, kBuilt),
    // Language
    Plain(C::kEnglish, Language<0>, nullptr, kBuilt),
    Plain(C::kFrench, Language<1>, nullptr, kBuilt),
    Plain(C::kGerman, Language<2>, nullptr, kBuilt),
    Plain(C::kSpanish, Language<3>, nullptr, kBuilt),
    Plain(C::kItalian, Language<4>, nullptr, kBuilt),
    // Help. The updater is offered only when it is there to start.
    Plain(C::kHelpTopics, AlwaysEnabled, nullptr, kBuilt),
    Plain(
        C::kUpdate, [](const CommandState& s) { return IdleAnd(s, s.updaterPresent); },
        [](const CommandState& s) { return IdleAnd(s, s.updaterPresent); }, kBuilt),
    Plain(C::kEmailSupport, AlwaysEnabled, nullptr, kBuilt),
    Plain(C::kViewSupportSection, AlwaysEnabled, nullptr, kBuilt),
    Plain(C::kKnowledgeBase, AlwaysEnabled, nullptr, kBuilt),
    Plain(C::kGenerateTicket, AlwaysEnabled, nullptr, kBuilt),
    Plain(C::kTipOfTheDay, AlwaysEnabled, nullptr, kBuilt),
    Plain(C::kAbout, AlwaysEnabled, nullptr, kBuilt),
    // Entry context menu: every item acts on the shown results.
    Plain(C::kPreview, IdleWithResults, nullptr, kBuilt),
    Plain(C::kSelectUnselect, IdleWithResults, nullptr, kBuilt),
    Plain(C::kRecover, IdleWithResults, nullptr, kPending),
    Plain(C::kRename, IdleWithResults, nullptr, kBuilt),
    Plain(C::kShowProperties, IdleWithResults, nullptr, kBuilt),
    // Drive context menu: the drive tree is shown only between jobs.
    Plain(C::kDiskPreview, WhenIdle, nullptr, kBuilt),
    Plain(C::kProperties, WhenIdle, nullptr, kBuilt),
};

const std::array<CommandRow, kEntries.size()>& Rows() {
    static const std::array<CommandRow, kEntries.size()> rows = [] {
        std::array<CommandRow, kEntries.size()> out{};
        for (size_t i = 0; i < kEntries.size(); ++i) {
            const Entry& e = kEntries[i];
            out[i] = CommandRow{e.id,        e.menu != nullptr, e.button != nullptr,
                                e.checkable, e.radio,           e.pending};
        }
        return out;
    }();
    return rows;
}

const Entry* FindEntry(uint32_t id) {
    for (const Entry& e : kEntries) {
        if (e.id == id)
            return &e;
    }
    return nullptr;
}

} // namespace

std::span<const CommandRow> CommandTable() {
    return Rows();
}

const CommandRow* FindCommand(uint32_t id) {
    for (const CommandRow& row : Rows()) {
        if (row.id == id)
            return &row;
    }
    return nullptr;
}

std::optional<CommandUi> MenuRule(uint32_t id, const CommandState& state) {
    const Entry* e = FindEntry(id);
    if (!e || !e->menu)
        return std::nullopt;
    return e->menu(state);
}

std::optional<CommandUi> ButtonRule(uint32_t id, const CommandState& state) {
    const Entry* e = FindEntry(id);
    if (!e || !e->button)
        return std::nullopt;
    return e->button(state);
}

namespace {

// The button rule gives the mark and the enabled state; the menu rule, where it is asked and
// present, overrides the enabled state; a pending command is never enabled.
CommandUi Shown(uint32_t id, const CommandState& state, bool asMenuItem) {
    const Entry* e = FindEntry(id);
    // A command nobody knows has no handler either.
    if (!e)
        return Enabled(false);
    CommandUi ui;
    if (e->button)
        ui = e->button(state);
    if (asMenuItem && e->menu)
        ui.enabled = e->menu(state).enabled;
    if (e->pending)
        ui.enabled = false;
    return ui;
}

} // namespace

CommandUi MenuItemState(uint32_t id, const CommandState& state) {
    return Shown(id, state, true);
}

CommandUi ButtonState(uint32_t id, const CommandState& state) {
    return Shown(id, state, false);
}

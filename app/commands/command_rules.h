#pragma once

#include "app/commands/command_state.h"

#include <cstdint>
#include <optional>
#include <span>

// The command table: for every command of the menus, whether it has a menu rule (applied when
// its popup is about to show) and a button rule (applied to its toolbar button on an idle timer
// and after each job message), as pure functions of CommandState.
//
// A menu item shows its button rule first and then its menu rule, which decides the enabled
// state where it has one (a check or radio mark comes from the button rule). A command with
// neither rule is enabled. Commands whose handler this build does not have yet (`pending`)
// keep their rules but are always shown disabled.
struct CommandUi {
    bool enabled = true;
    bool checked = false;
};

struct CommandRow {
    uint32_t id = 0;
    bool hasMenuRule = false;
    bool hasButtonRule = false;
    // Shown as a check mark (toggles) or a radio mark (one of a group).
    bool checkable = false;
    bool radio = false;
    // No handler yet: always disabled.
    bool pending = false;
};

// Every command of menus 128, 218 and 239, in menu order.
std::span<const CommandRow> CommandTable();
// The row of `id`, or null.
const CommandRow* FindCommand(uint32_t id);

// The rules alone, pending or not; nullopt when the command has no rule of that kind.
std::optional<CommandUi> MenuRule(uint32_t id, const CommandState& state);
std::optional<CommandUi> ButtonRule(uint32_t id, const CommandState& state);

// What a menu item and a toolbar button show, pending commands included.
CommandUi MenuItemState(uint32_t id, const CommandState& state);
CommandUi ButtonState(uint32_t id, const CommandState& state);

#pragma once

// Where a command came from: its menu item (and the keys) or its toolbar button, whose rules
// may differ.
enum class CommandSource {
    Menu,
    Button,
};

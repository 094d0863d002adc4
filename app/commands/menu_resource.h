#pragma once

#include "controls/menu_item_kind.h"

#include <cstdint>
#include <span>
#include <vector>

// Menus as data: the main menu (128) and the context menus (218, 239). An item's text is the
// string of its text id in the current language ("&Find Next\tF3": "&" marks the mnemonic, the
// part after a tab is the shortcut shown at the right). For a command the text id is its
// command id.
struct MenuItemResource {
    using Kind = MenuItemKind;
    Kind kind = Kind::Command;
    uint32_t commandId = 0;
    uint32_t textId = 0;
    // Index in the 16 x 16 menu picture strip, or -1.
    int image = -1;
    // Items of a popup.
    std::vector<MenuItemResource> children;
};

// The main menu's items are its popups; a context menu's items are the commands of the one
// popup it opens as.
struct MenuResource {
    uint32_t id = 0;
    std::vector<MenuItemResource> items;
};

// Menu 128, 218 or 239; null for any other id.
const MenuResource* FindMenuResource(uint32_t id);

// Commands of the toolbar (resource 128) in order; 0 stands for a separator. Button i without
// separators shows picture i of the toolbar strips.
std::span<const uint32_t> ToolbarButtons();

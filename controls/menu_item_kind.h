#pragma once

// What an item of a menu is, the same in the menu resources and in the menus built from them.
enum class MenuItemKind {
    Command,
    Separator,
    Popup,
};

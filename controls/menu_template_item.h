#pragma once

#include "controls/menu_item_kind.h"

#include <QString>

#include <cstdint>
#include <vector>

// One item of a menu as data, already in the current language. The text marks the mnemonic
// with "&" and may end in a tab and the shortcut, which is drawn right-aligned. A command's id
// becomes its action's data and object name; a popup's id (its text id, or 0) only its data.
struct MenuTemplateItem {
    using Kind = MenuItemKind;
    Kind kind = Kind::Command;
    uint32_t commandId = 0;
    QString text;
    // Index in the image strip given to the menu, or -1.
    int image = -1;
    // Items of a popup.
    std::vector<MenuTemplateItem> children;
};

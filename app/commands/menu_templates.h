#pragma once

#include "controls/menu_template_item.h"

#include <cstdint>
#include <vector>

// The menu resource of `menuId` (128, 218 or 239) as templates for COwnerDrawMenu, with every
// text in the current language. A popup carries its text id as its id, so a reload or a
// retranslation finds it. Empty for an unknown id.
std::vector<MenuTemplateItem> MenuTemplatesOf(uint32_t menuId);

#include "app/commands/menu_templates.h"

#include "app/commands/menu_resource.h"
#include "app/program_text.h"

namespace {

std::vector<MenuTemplateItem> Templates(const std::vector<MenuItemResource>& items) {
    std::vector<MenuTemplateItem> templates;
    templates.reserve(items.size());
    for (const MenuItemResource& item : items) {
        MenuTemplateItem entry;
        entry.image = item.image;
        switch (item.kind) {
        case MenuItemResource::Kind::Command:
            entry.kind = MenuTemplateItem::Kind::Command;
            entry.commandId = item.commandId;
            entry.text = ProgramText(item.textId);
            break;
        case MenuItemResource::Kind::Separator:
            entry.kind = MenuTemplateItem::Kind::Separator;
            break;
        case MenuItemResource::Kind::Popup:
            entry.kind = MenuTemplateItem::Kind::Popup;
            entry.commandId = item.textId;
            entry.text = ProgramText(item.textId);
            entry.children = Templates(item.children);
            break;
        }
        templates.push_back(std::move(entry));
    }
    return templates;
}

} // namespace

std::vector<MenuTemplateItem> MenuTemplatesOf(uint32_t menuId) {
    const MenuResource* resource = FindMenuResource(menuId);
    return resource != nullptr ? Templates(resource->items) : std::vector<MenuTemplateItem>();
}

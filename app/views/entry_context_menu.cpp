#include "app/views/entry_context_menu.h"

#include "app/commands/command_ids.h"
#include "app/commands/command_rules.h"
#include "app/commands/menu_templates.h"
#include "controls/owner_draw_menu.h"
#include "controls/program_pictures.h"

#include <QAction>
#include <QMenu>

EntryContextMenu::EntryContextMenu() : m_builder(std::make_unique<COwnerDrawMenu>()) {
    m_builder->SetImageStrip(StripImage(PictureStrip::Menu));
}

EntryContextMenu::~EntryContextMenu() = default;

QMenu* EntryContextMenu::Create(QWidget* parent, bool renameAllowed,
                                std::function<void()> toggleMark, std::function<void()> rename,
                                std::function<void()> preview,
                                std::function<void()> properties) {
    auto* menu = new QMenu(parent);
    menu->setObjectName(QStringLiteral("menu %1").arg(kEntryContextMenuId));
    m_builder->LoadMenu(*menu, MenuTemplatesOf(kEntryContextMenuId));
    for (QAction* action : menu->actions()) {
        const uint32_t id = action->data().toUInt();
        const CommandRow* row = FindCommand(id);
        action->setEnabled(row != nullptr && !row->pending);
        if (id == CommandId::kRename) {
            action->setEnabled(renameAllowed);
            QObject::connect(action, &QAction::triggered, menu, rename);
        } else if (id == CommandId::kSelectUnselect) {
            QObject::connect(action, &QAction::triggered, menu, toggleMark);
        } else if (id == CommandId::kPreview) {
            action->setEnabled(row != nullptr && !row->pending && preview != nullptr);
            if (preview)
                QObject::connect(action, &QAction::triggered, menu, preview);
        } else if (id == CommandId::kShowProperties) {
            QObject::connect(action, &QAction::triggered, menu, properties);
        }
    }
    return menu;
}

#include "app/frame/toolbar_and_menus.h"

#include "app/commands/command_ids.h"
#include "app/commands/command_rules.h"
#include "app/commands/menu_resource.h"
#include "app/commands/menu_templates.h"
#include "app/program_text.h"
#include "controls/owner_draw_menu.h"
#include "controls/program_pictures.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QRegularExpression>
#include <QToolBar>

#include <utility>

namespace {

// The menus' colour, RGB(222,219,213).
constexpr int kMenuRed = 222;
constexpr int kMenuGreen = 219;
constexpr int kMenuBlue = 213;
constexpr int kButtonPictureSize = 48;

// A toolbar tip is the menu text without its mnemonic and shortcut.
QString TipText(uint32_t id) {
    QString text = ProgramText(id);
    if (const qsizetype tab = text.indexOf(QLatin1Char('\t')); tab >= 0) {
        text.truncate(tab);
    }
    text.remove(QRegularExpression(QStringLiteral("&(?!&)")));
    return text.replace(QStringLiteral("&&"), QStringLiteral("&")).trimmed();
}

bool Checkable(uint32_t id) {
    const CommandRow* row = FindCommand(id);
    return row != nullptr && (row->checkable || row->radio);
}

void SetActionState(QAction* action, const CommandUi& ui) {
    action->setEnabled(ui.enabled);
    if (action->isCheckable()) {
        // Marks follow the state; they are never the user's toggle.
        const QSignalBlocker block(action);
        action->setChecked(ui.checked);
    }
}

QAction* Find(const std::map<uint32_t, QAction*>& actions, uint32_t id) {
    const auto found = actions.find(id);
    return found != actions.end() ? found->second : nullptr;
}

} // namespace

ToolbarAndMenus::ToolbarAndMenus(QMainWindow& frame, Run run, Gather gather)
    : m_frame(frame), m_run(std::move(run)), m_gather(std::move(gather)) {
    CreateToolBar();
    m_mainMenu = std::make_unique<COwnerDrawMenu>();
    m_mainMenu->SetMenuColor(QColor(kMenuRed, kMenuGreen, kMenuBlue));
    m_mainMenu->SetImageStrip(StripImage(PictureStrip::Menu));
}

ToolbarAndMenus::~ToolbarAndMenus() = default;

void ToolbarAndMenus::CreateToolBar() {
    m_toolBar = m_frame.addToolBar(QString());
    m_toolBar->setObjectName(QStringLiteral("toolbar 128"));
    m_toolBar->setMovable(true);
    m_toolBar->setIconSize(QSize(kButtonPictureSize, kButtonPictureSize));
    m_toolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    int picture = 0;
    for (const uint32_t id : ToolbarButtons()) {
        if (id == 0) {
            m_toolBar->addSeparator();
            continue;
        }
        // Normal, hot (under the mouse) and disabled pictures of one drawing.
        QIcon icon;
        icon.addPixmap(StripPicture(PictureStrip::ToolbarNormal, picture), QIcon::Normal);
        icon.addPixmap(StripPicture(PictureStrip::ToolbarHot, picture), QIcon::Active);
        icon.addPixmap(StripPicture(PictureStrip::ToolbarDisabled, picture), QIcon::Disabled);
        ++picture;
        QAction* action = m_toolBar->addAction(icon, TipText(id));
        action->setObjectName(QString::number(id));
        action->setToolTip(TipText(id));
        action->setData(id);
        action->setCheckable(Checkable(id));
        QObject::connect(action, &QAction::triggered, &m_frame,
                         [this, id] { m_run(id, CommandSource::Button); });
        m_buttonActions[id] = action;
    }
}

void ToolbarAndMenus::RebuildMenu() {
    m_menuActions.clear();
    m_mainMenu->LoadMenu(*m_frame.menuBar(), MenuTemplatesOf(kMainMenuId));
    for (const QPointer<QMenu>& popup : m_mainMenu->Popups()) {
        if (popup.isNull()) {
            continue;
        }
        QMenu* menu = popup.data();
        menu->setObjectName(QStringLiteral("menu %1").arg(menu->menuAction()->data().toUInt()));
        QObject::connect(menu, &QMenu::aboutToShow, &m_frame,
                         [this, menu] { ApplyMenuRules(menu); });
        for (QAction* action : menu->actions()) {
            if (action->menu() != nullptr || action->isSeparator()) {
                continue;
            }
            const uint32_t id = action->data().toUInt();
            action->setCheckable(Checkable(id));
            // A command may build the menus again (the language switch does) while the popup
            // that delivered the click is still handling it: it runs once the click returned.
            QObject::connect(
                action, &QAction::triggered, &m_frame,
                [this, id] { m_run(id, CommandSource::Menu); }, Qt::QueuedConnection);
            m_menuActions[id] = action;
        }
        ApplyMenuRules(menu);
    }
    for (auto& [id, action] : m_buttonActions) {
        action->setText(TipText(id));
        action->setToolTip(TipText(id));
    }
}

void ToolbarAndMenus::ApplyMenuRules(QMenu* menu) {
    if (menu == nullptr) {
        return;
    }
    const CommandState state = m_gather();
    for (QAction* action : menu->actions()) {
        if (action->menu() != nullptr) {
            ApplyMenuRules(action->menu());
            continue;
        }
        bool valid = false;
        const uint32_t id = action->data().toUInt(&valid);
        if (!valid || id == 0) {
            continue;
        }
        SetActionState(action, MenuItemState(id, state));
    }
}

void ToolbarAndMenus::ApplyButtonRules() {
    const CommandState state = m_gather();
    for (auto& [id, action] : m_buttonActions) {
        SetActionState(action, ButtonState(id, state));
    }
}

QAction* ToolbarAndMenus::MenuAction(uint32_t id) const {
    return Find(m_menuActions, id);
}

QAction* ToolbarAndMenus::ButtonAction(uint32_t id) const {
    return Find(m_buttonActions, id);
}

QMenu* ToolbarAndMenus::CreateDriveMenu(QWidget* parent) {
    if (m_driveMenu == nullptr) {
        m_driveMenu = std::make_unique<COwnerDrawMenu>();
        m_driveMenu->SetImageStrip(StripImage(PictureStrip::Menu));
    }
    auto* menu = new QMenu(parent);
    menu->setObjectName(QStringLiteral("menu %1").arg(kDriveContextMenuId));
    m_driveMenu->LoadMenu(*menu, MenuTemplatesOf(kDriveContextMenuId));
    const CommandState state = m_gather();
    for (QAction* action : menu->actions()) {
        action->setEnabled(MenuItemState(action->data().toUInt(), state).enabled);
    }
    return menu;
}

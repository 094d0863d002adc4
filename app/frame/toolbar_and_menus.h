#pragma once

#include "app/commands/command_source.h"
#include "app/commands/command_state.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>

class COwnerDrawMenu;
class QAction;
class QMainWindow;
class QMenu;
class QToolBar;
class QWidget;

// The frame's toolbar, its main menu and the drive tree's context menu, built from the menus
// as data in the current language, with one action per command. Which actions are enabled and
// checked is decided by the rules of app/commands/ over the state `gather` returns; a triggered
// action goes to `run`. The toolbar and the menu bar are the frame's; this keeps the actions
// and the owner-drawn menus, and lives as long as the frame.
class ToolbarAndMenus {
public:
    using Run = std::function<void(uint32_t id, CommandSource source)>;
    using Gather = std::function<CommandState()>;

    ToolbarAndMenus(QMainWindow& frame, Run run, Gather gather);
    ~ToolbarAndMenus();
    ToolbarAndMenus(const ToolbarAndMenus&) = delete;
    ToolbarAndMenus& operator=(const ToolbarAndMenus&) = delete;

    QToolBar* ToolBar() const { return m_toolBar; }
    // Builds the main menu from its resource in the current language and retitles the buttons.
    void RebuildMenu();
    // Applies the menu rules to the items of `menu` (the popup about to show) and its
    // submenus.
    void ApplyMenuRules(QMenu* menu);
    // Applies the button rules to the toolbar.
    void ApplyButtonRules();
    // The menu action and the toolbar action of a command (null when there is none).
    QAction* MenuAction(uint32_t id) const;
    QAction* ButtonAction(uint32_t id) const;
    // The drive tree's context menu with the menu rules applied, a child of `parent`; its
    // actions are not connected. The caller owns it.
    QMenu* CreateDriveMenu(QWidget* parent);

private:
    void CreateToolBar();

    QMainWindow& m_frame;
    Run m_run;
    Gather m_gather;
    QToolBar* m_toolBar = nullptr;
    std::unique_ptr<COwnerDrawMenu> m_mainMenu;
    std::unique_ptr<COwnerDrawMenu> m_driveMenu;
    std::map<uint32_t, QAction*> m_menuActions;
    std::map<uint32_t, QAction*> m_buttonActions;
};

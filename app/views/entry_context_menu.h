#pragma once

#include <functional>
#include <memory>

class COwnerDrawMenu;
class QMenu;
class QWidget;

// The context menu of a found entry in the folder tree and the file list (Preview, Select /
// Unselect, Recover, Rename, Show Properties), drawn owner-drawn with the menu pictures.
// Commands whose handlers this build does not have are shown disabled; Rename follows the
// owner's rule (no rename while a job runs).
class EntryContextMenu {
public:
    EntryContextMenu();
    ~EntryContextMenu();
    EntryContextMenu(const EntryContextMenu&) = delete;
    EntryContextMenu& operator=(const EntryContextMenu&) = delete;

    // A new popup, child of `parent`, whose Preview, Select / Unselect, Rename and Show
    // Properties run the given actions. The caller shows it and lets it delete itself on close.
    QMenu* Create(QWidget* parent, bool renameAllowed, std::function<void()> toggleMark,
                  std::function<void()> rename, std::function<void()> preview,
                  std::function<void()> properties);

private:
    std::unique_ptr<COwnerDrawMenu> m_builder;
};

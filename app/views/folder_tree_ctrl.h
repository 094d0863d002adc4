#pragma once

#include "app/models/folder_tree_model.h"

#include <QTreeView>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

class QMenu;
class EntryContextMenu;
class SortedFolders;

// The folder tree of a scan's results in the left pane: the folder-tree model shown sorted (by
// name, case ignored, until Arrange picks another order), with check boxes and folder pictures.
// Entries are addressed by their index in the entry store, so callers never see the sorting.
// Checking goes straight to the model; the view only tells that the user changed a check, so the
// frame can recount. F2 renames the current folder unless the owner's rule forbids it (while a job
// runs); a name the model refuses brings the message box that says why, once the editor has closed.
class CFolderTreeCtrl : public QTreeView {
    Q_OBJECT
public:
    explicit CFolderTreeCtrl(FolderTreeModel& model, QWidget* parent = nullptr);

    FolderTreeModel& Model() const { return m_model; }

    // The entry of the current folder, or FoundEntryStore::kNone.
    std::size_t SelectedEntry() const;
    // Makes the entry's folder current and visible. False when it has no tree node.
    bool SelectEntry(std::size_t entry);
    void ExpandEntry(std::size_t entry);
    // Expands and selects the newest folder with this entry id (find's match); false when
    // there is none or it has no tree node.
    bool SelectFolderById(uint64_t entryId);
    bool IsEntryExpanded(std::size_t entry) const;
    // Collapses every child of the root. With `reselect` the root is also collapsed and opened
    // again and made current, so the file list shows its entries.
    void CollapseRoot(bool reselect);
    // Asked each time an editor would open; without a rule renaming is always allowed.
    void SetRenameAllowed(std::function<bool()> allowed);
    // Orders every folder's children by a file-list column code (0 name, 1 type, 2 size,
    // 3 modified, 4 created, 5 accessed, 6 file id) and direction; folders that arrive later
    // take their places in that order. Until then folders are sorted by name, ascending. A
    // code the list does not have changes nothing.
    void Arrange(uint8_t column, bool ascending);

    ~CFolderTreeCtrl() override;

    // The context menu of a folder (the caller owns it): Preview, Select / Unselect, Recover,
    // Rename, Show Properties. Select / Unselect acts as a click on the folder's check box and
    // Rename starts editing its name (not while a job runs); Preview asks for the folder's
    // preview (PreviewRequested), Show Properties for its properties (PropertiesRequested).
    // Recover stays disabled until the command behind it exists. The actions carry their
    // command ids (CommandId) as object names. Null for an entry without a tree node.
    QMenu* CreateContextMenu(std::size_t entry);

signals:
    // The current folder changed; kNone when no folder is current.
    void FolderSelected(std::size_t entry);
    // Preview was chosen on this folder.
    void PreviewRequested(std::size_t entry);
    // A click or the space key changed an item's check box.
    void CheckChangedByUser();
    // Show Properties of the context menu, for this entry.
    void PropertiesRequested(std::size_t entry);

protected:
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    QModelIndex ViewIndex(std::size_t entry) const;
    std::size_t EntryOfViewIndex(const QModelIndex& index) const;

    FolderTreeModel& m_model;
    SortedFolders* m_sorted = nullptr;
    std::function<bool()> m_renameAllowed;
    std::unique_ptr<EntryContextMenu> m_contextMenu;
};

#pragma once

#include "diskio/records/drive_node.h"

#include <QWidget>

#include <list>

class CDiskTreeCtrl;
class CFolderTreeCtrl;
class QStackedLayout;

// The left pane: exactly one of the drive tree (what can be scanned) and the folder tree of a
// scan's results. Both trees live as long as the pane; showing one hides the other.
class CLeftView : public QWidget {
    Q_OBJECT
public:
    // Takes the folder tree as its child.
    CLeftView(CFolderTreeCtrl* folderTree, QWidget* parent = nullptr);

    CDiskTreeCtrl* DriveTree() const { return m_driveTree; }
    CFolderTreeCtrl* FolderTree() const { return m_folderTree; }

    // Fills the drive tree from the list and shows it.
    void ShowDriveList(const std::list<DriveNode>& nodes);
    // Shows the folder tree (its items come from the entry store).
    void ShowFolderTree();
    bool DriveTreeShown() const;
    bool FolderTreeShown() const;
    // Empties the drive tree, whose nodes are about to be freed; the folder tree's items go
    // with the entry store they show, which its owner empties.
    void RefreshMode();
    // Adds an image node to the drive tree (Drives > Open Image File).
    void AddImageItem(const DriveNode& node);
    // Adds a volume the lost-drive search found, a node of `nodes`, below its disk or image
    // in the drive tree (CDiskTreeCtrl::AddDriveItem).
    void AddDriveItem(const DriveNode& node, const std::list<DriveNode>& nodes);

private:
    CDiskTreeCtrl* m_driveTree = nullptr;
    CFolderTreeCtrl* m_folderTree = nullptr;
    QStackedLayout* m_layout = nullptr;
};

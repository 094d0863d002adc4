#pragma once

#include "diskio/records/drive_node.h"

#include <QTreeWidget>

#include <list>

// The drive tree: what can be scanned, by kind, under "My Computer" (rows of DriveTreeRows).
// Every item carries its role and, for a drive, the address of its node; a node is only ever
// used after it has been found again in the list the caller passes, so a click on the
// computer, a group, or an item whose node has gone acts on nothing.
class CDiskTreeCtrl : public QTreeWidget {
    Q_OBJECT
public:
    static constexpr int kControlId = 1025;

    explicit CDiskTreeCtrl(QWidget* parent = nullptr);

    // Shows the drives of `nodes`; an empty list shows an empty tree.
    void Fill(const std::list<DriveNode>& nodes);
    // The width that shows every item's name whole: indentation, picture, text and frame.
    int NeededWidth() const;
    // Adds an image node below the "Image File" group, making the group when it is missing.
    void AddImageItem(const DriveNode& node);
    // Adds a found volume, a node of `nodes`, below the item of the drive that holds it
    // (FoundVolumeHolder: its disk, or its image file) and expands that item, whatever item is
    // selected. Nothing when that drive is not shown; a volume shown already is not added
    // twice. Returns the volume's item, or null.
    QTreeWidgetItem* AddDriveItem(const DriveNode& volume, const std::list<DriveNode>& nodes);
    // The node of a drive item, looked up in `nodes`; null for the computer, a group, no item
    // or a node that is no longer listed.
    static const DriveNode* NodeOf(const QTreeWidgetItem* item, const std::list<DriveNode>& nodes);
    // The item that shows `node`, or null.
    QTreeWidgetItem* ItemOf(const DriveNode& node) const;

signals:
    // A drive item was double-clicked.
    void DriveOpened(QTreeWidgetItem* item);

private:
    QTreeWidgetItem* AddRow(QTreeWidgetItem* parent, int role, const QString& text, int picture,
                            const DriveNode* node);
};

#pragma once

#include "diskio/records/drive_node.h"

#include <QString>

#include <cstddef>
#include <list>
#include <vector>

// What the drive tree shows for a drive list, without widgets: one row per item in display
// order, each with its parent row, text, picture and role. Groups ("Physical Disk", "Logical
// Drive", ...) are made before the first drive of their kind; volumes found on a disk go below
// that disk's item, volumes inside an image file below the image's item.
struct DriveTreeRow {
    enum class Role {
        Computer,
        Group,
        Drive,
    };
    static constexpr std::size_t kNoParent = static_cast<std::size_t>(-1);

    Role role = Role::Drive;
    std::size_t parent = kNoParent;
    QString text;
    // Index in the drive-tree picture strip: 0 computer, 1 disk, 2 removable, 3 logical drive,
    // 4 CD/DVD, 5 image file.
    int picture = 0;
    // Drives only: the node shown (an address inside the list the rows were made from).
    const DriveNode* node = nullptr;
    bool expanded = false;
};

// The drive a found volume (kind 2 or 3) is shown below, the first of `nodes` in list order
// that holds it: for a volume inside an image file, an image node of that file; otherwise the
// drive whose number is the volume's disk number. Found volumes hold none. Null when no node
// holds it, or `volume` is no found volume. The rows below and the drive tree's AddDriveItem
// both place volumes by this rule, so a refill shows them where the search put them.
const DriveNode* FoundVolumeHolder(const std::list<DriveNode>& nodes, const DriveNode& volume);

// The rows of the list; none for an empty list.
std::vector<DriveTreeRow> DriveTreeRows(const std::list<DriveNode>& nodes);

// The text of one drive's item; `removableNumber` counts removable disks from 1.
QString DriveItemText(const DriveNode& node, int removableNumber);

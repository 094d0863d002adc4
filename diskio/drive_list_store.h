#pragma once

#include "diskio/drive_node.h"

#include <cstdint>
#include <list>

// Owns the drive list between builds: the nodes in list order (addresses stay valid until
// the next build frees them) and the counts of hard and removable disks. The application
// state holds one.
struct DriveListStore {
    std::list<DriveNode> nodes;
    uint8_t hardDiskCount = 0;
    uint8_t removableDiskCount = 0;

    void Free() {
        nodes.clear();
        hardDiskCount = 0;
        removableDiskCount = 0;
    }
};

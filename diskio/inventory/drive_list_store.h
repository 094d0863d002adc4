#pragma once

#include "diskio/records/drive_node.h"

#include <cstdint>
#include <list>
#include <string>
#include <vector>

// Owns the drive list between builds: the nodes in list order (addresses stay valid until
// the next build frees them), the counts of hard and removable disks, and what the last build
// left out. The application state holds one.
struct DriveListStore {
    std::list<DriveNode> nodes;
    uint8_t hardDiskCount = 0;
    uint8_t removableDiskCount = 0;
    // One message per source or partition table the build could not use (a device-map path
    // that does not exist, a folder, a looping extended partition chain ...). The build runs
    // before any window exists, so it only collects them; they are also on standard error.
    std::vector<std::string> problems;

    void Free() {
        nodes.clear();
        hardDiskCount = 0;
        removableDiskCount = 0;
        problems.clear();
    }
};

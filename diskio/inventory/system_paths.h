#pragma once

#include <filesystem>

// Where the Linux enumeration looks; tests point these at a fake tree.
struct SystemPaths {
    std::filesystem::path sysfsRoot = "/sys";
    std::filesystem::path devRoot = "/dev";
    std::filesystem::path mountinfo = "/proc/self/mountinfo";
};

#pragma once

#include <filesystem>
#include <sys/types.h>

// The whole disk a block device belongs to, by device number: a partition's disk, else the
// device itself (a whole disk, or a device the kernel lists no partition of, such as the
// devices of memory file systems). Read from sysfs: <root>/dev/block/<major>:<minor> is a
// partition when it holds a "partition" file, and its folder lies in its disk's folder, whose
// "dev" file gives the disk's number.
dev_t WholeDiskOf(dev_t device, const std::filesystem::path& sysfsRoot = "/sys");

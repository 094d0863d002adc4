#pragma once

#include "tests/support/temp_dir.h"

#include <filesystem>
#include <memory>
#include <string>
#include <sys/types.h>
#include <vector>

// A fake sysfs tree in a temporary folder, laid out as the kernel lays out disks and partitions:
// each device has a folder under devices/ holding its "dev" number (and a "partition" file for
// a partition, whose folder lies in its disk's), and dev/block/<major>:<minor> links to it.
class FakeSysfs {
public:
    const std::filesystem::path& Root() const { return m_dir.Path(); }
    // Adds the device `folder` (relative to the root, "devices/pci0/block/sda/sda2").
    void AddDevice(const std::filesystem::path& folder, dev_t device, bool partition);
    // Adds disk `name` under devices/fake/block with the partitions `name`1, `name`2 ...
    void AddDisk(const std::string& name, dev_t disk, const std::vector<dev_t>& partitions);
    // Declares the file systems that hold `paths` partitions of one disk `name`.
    void AddDiskHolding(const std::string& name, dev_t disk,
                        const std::vector<std::filesystem::path>& paths);

private:
    TempDir m_dir;
};

// Where a destination on another file system than its source's lies, three ways: by the
// system's own tree (another disk, as the two file systems really are), and by fake trees that
// make the two file systems partitions of one disk, or of two.
class OneDiskOrTwo {
public:
    struct Case {
        const char* what;
        std::filesystem::path sysfsRoot;
        bool oneDisk;
    };

    OneDiskOrTwo(const std::filesystem::path& source, const std::filesystem::path& destination);
    std::vector<Case> Cases() const;

private:
    FakeSysfs m_oneDisk;
    FakeSysfs m_twoDisks;
};

// The device of the file system `path` lies on.
dev_t FileSystemDevice(const std::filesystem::path& path);

// A temporary folder on another file system than TempDir's (a tmpfs in /dev/shm); null when the
// machine has none.
std::unique_ptr<TempDir> TempDirOnAnotherFileSystem();

// The whole disk of a device number, over a fake sysfs tree laid out as the kernel lays out
// disks and partitions (the entries under dev/block link into the devices folder).
#include "diskio/whole_disk.h"

#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <sys/sysmacros.h>

namespace fs = std::filesystem;

namespace {

void Write(const fs::path& path, const std::string& text) {
    std::ofstream(path) << text;
}

// Disk `name` with number major:minor, and its partition `name`<n> at minor + n.
void AddDevice(const fs::path& root, const fs::path& folder, unsigned major, unsigned minor,
               bool partition) {
    fs::create_directories(root / folder);
    Write(root / folder / "dev", std::to_string(major) + ":" + std::to_string(minor) + "\n");
    if (partition)
        Write(root / folder / "partition", "1\n");
    fs::create_directories(root / "dev" / "block");
    fs::create_directory_symlink(fs::path("../..") / folder,
                                 root / "dev" / "block" /
                                     (std::to_string(major) + ":" + std::to_string(minor)));
}

TEST(WholeDiskTest, PartitionsNameTheirDiskAndEverythingElseItself) {
    TempDir sysfs;
    const fs::path root = sysfs.Path();
    AddDevice(root, "devices/pci0/block/sda", 8, 0, false);
    AddDevice(root, "devices/pci0/block/sda/sda2", 8, 2, true);
    AddDevice(root, "devices/virtual/block/loop0", 7, 0, false);
    AddDevice(root, "devices/virtual/block/loop0/loop0p1", 259, 4, true);
    // A partition whose disk folder says nothing usable.
    AddDevice(root, "devices/odd/block/sdz/sdz1", 65, 161, true);
    fs::remove(root / "devices/odd/block/sdz/dev");

    struct Case {
        dev_t device;
        dev_t disk;
    };
    const Case cases[] = {
        {makedev(8, 2), makedev(8, 0)},       {makedev(8, 0), makedev(8, 0)},
        {makedev(259, 4), makedev(7, 0)},     {makedev(7, 0), makedev(7, 0)},
        {makedev(65, 161), makedev(65, 161)}, {makedev(0, 45), makedev(0, 45)},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(std::to_string(major(each.device)) + ":" + std::to_string(minor(each.device)));
        EXPECT_EQ(WholeDiskOf(each.device, root), each.disk);
    }
    EXPECT_EQ(WholeDiskOf(makedev(8, 2), root / "missing"), makedev(8, 2));
}

} // namespace

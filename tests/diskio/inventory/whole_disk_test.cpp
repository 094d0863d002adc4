// The whole disk of a device number, over a fake sysfs tree laid out as the kernel lays out
// disks and partitions (the entries under dev/block link into the devices folder).
#include "diskio/inventory/whole_disk.h"

#include "tests/support/fake_sysfs.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <sys/sysmacros.h>

namespace fs = std::filesystem;

namespace {

TEST(WholeDiskTest, PartitionsNameTheirDiskAndEverythingElseItself) {
    FakeSysfs sysfs;
    const fs::path root = sysfs.Root();
    sysfs.AddDevice("devices/pci0/block/sda", makedev(8, 0), false);
    sysfs.AddDevice("devices/pci0/block/sda/sda2", makedev(8, 2), true);
    sysfs.AddDevice("devices/virtual/block/loop0", makedev(7, 0), false);
    sysfs.AddDevice("devices/virtual/block/loop0/loop0p1", makedev(259, 4), true);
    // A partition whose disk folder says nothing usable.
    sysfs.AddDevice("devices/odd/block/sdz/sdz1", makedev(65, 161), true);
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

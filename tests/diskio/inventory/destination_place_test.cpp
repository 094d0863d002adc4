// Where a job's destination lies from the disk it reads: beside a source image, on the source
// disk or one of its partitions (over a fake sysfs tree), on another disk, or the source itself.
#include "diskio/inventory/destination_place.h"

#include "tests/support/fake_sysfs.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace fs = std::filesystem;

namespace {

const char* Name(DestinationPlace place) {
    switch (place) {
    case DestinationPlace::Elsewhere:
        return "elsewhere";
    case DestinationPlace::SourceDisk:
        return "on the source disk";
    case DestinationPlace::SourceItself:
        return "the source itself";
    }
    return "?";
}

TEST(DestinationPlaceTest, AnImageSourceIsTheFileSystemItLivesOn) {
    TempDir dir;
    const fs::path image = dir.File("disk.img");
    std::ofstream(image) << std::string(4096, 'd');
    fs::create_hard_link(image, dir.File("other-name.img"));
    fs::create_directory(dir.File("out"));
    const struct {
        const char* what;
        fs::path destination;
        std::string source;
        DestinationPlace place;
    } cases[] = {
        {"a folder beside the image", dir.File("out"), image.string(),
         DestinationPlace::SourceDisk},
        {"a folder still to be made beside it", dir.File("new-folder"), image.string(),
         DestinationPlace::SourceDisk},
        {"a file still to be made in a folder beside it", dir.File("out") / "copy.img",
         image.string(), DestinationPlace::SourceDisk},
        {"the image itself", image, image.string(), DestinationPlace::SourceItself},
        {"another name of the image", dir.File("other-name.img"), image.string(),
         DestinationPlace::SourceItself},
        {"a folder whose parent is missing: nothing can be written", dir.File("no/such/folder"),
         image.string(), DestinationPlace::Elsewhere},
        {"a source on the kernel's own file system", dir.File("out"), "/proc/version",
         DestinationPlace::Elsewhere},
        {"a source that is gone", dir.File("out"), dir.File("missing.img").string(),
         DestinationPlace::Elsewhere},
        {"no source", dir.File("out"), "", DestinationPlace::Elsewhere},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.what);
        EXPECT_STREQ(Name(PlaceOfDestination(each.destination, each.source)), Name(each.place));
    }
}

TEST(DestinationPlaceTest, ADiskAndItsPartitionsAreOneDisk) {
    FakeSysfs sysfs;
    sysfs.AddDevice("devices/pci0/block/sda", makedev(8, 0), false);
    sysfs.AddDevice("devices/pci0/block/sda/sda1", makedev(8, 1), true);
    sysfs.AddDevice("devices/pci0/block/sda/sda2", makedev(8, 2), true);
    sysfs.AddDevice("devices/pci0/block/sdb", makedev(8, 16), false);
    sysfs.AddDevice("devices/pci0/block/sdb/sdb1", makedev(8, 17), true);
    const struct {
        dev_t first;
        dev_t second;
        bool oneDisk;
    } cases[] = {
        {makedev(8, 0), makedev(8, 2), true},    {makedev(8, 1), makedev(8, 2), true},
        {makedev(8, 2), makedev(8, 2), true},    {makedev(8, 0), makedev(8, 17), false},
        {makedev(8, 1), makedev(8, 16), false},  {makedev(0, 45), makedev(0, 45), true},
        {makedev(0, 45), makedev(0, 46), false},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(std::to_string(minor(each.first)) + " and " +
                     std::to_string(minor(each.second)));
        EXPECT_EQ(OnOneDisk(each.first, each.second, sysfs.Root()), each.oneDisk);
    }
}

// The source is a disk's device node; the destination's own file system is declared, in the
// fake tree, a partition of that disk (or of another).
TEST(DestinationPlaceTest, AFolderOnAPartitionOfTheSourceDiskIsOnIt) {
    TempDir dir;
    const fs::path out = dir.File("out");
    fs::create_directory(out);
    struct stat folder {};
    ASSERT_EQ(::stat(out.c_str(), &folder), 0);
    const dev_t disk = makedev(250, 0);
    const dev_t otherDisk = makedev(250, 16);
    FakeSysfs sysfs;
    sysfs.AddDevice("devices/fake/block/sdx", disk, false);
    sysfs.AddDevice("devices/fake/block/sdx/sdx2", folder.st_dev, true);
    sysfs.AddDevice("devices/fake/block/sdx/sdx3", makedev(250, 3), true);
    sysfs.AddDisk("sdy", otherDisk, {});

    const struct {
        const char* what;
        dev_t node;
        DestinationPlace place;
    } cases[] = {
        {"the whole source disk", disk, DestinationPlace::SourceDisk},
        {"another partition of it", makedev(250, 3), DestinationPlace::SourceDisk},
        {"another disk", otherDisk, DestinationPlace::Elsewhere},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.what);
        const fs::path node = dir.File("node-" + std::to_string(minor(each.node)));
        if (::mknod(node.c_str(), S_IFBLK | 0600, each.node) != 0)
            GTEST_SKIP() << "device nodes cannot be made here: " << std::strerror(errno);
        EXPECT_STREQ(Name(PlaceOfDestination(out, node.string(), sysfs.Root())), Name(each.place));
        EXPECT_STREQ(Name(PlaceOfDestination(out / "file.img", node.string(), sysfs.Root())),
                     Name(each.place));
    }
}

} // namespace

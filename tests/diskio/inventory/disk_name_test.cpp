// A disk that says nothing of itself is named after its source: the file name of an image
// file, the path of a device, with the size; a disk with any identify text keeps its own.

#include "diskio/inventory/disk_name.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <string>

namespace {

struct NameCase {
    const char* what;
    std::optional<DiskIdentifyInfo> identify;
    bool identifies;
};

DiskIdentifyInfo Identify(std::string model, std::string serial, std::string firmware) {
    DiskIdentifyInfo info;
    info.model = std::move(model);
    info.serialNumber = std::move(serial);
    info.firmwareRevision = std::move(firmware);
    return info;
}

TEST(DiskNameTest, OnlyADiskWithoutAnyIdentifyTextIsNamedAfterItsSource) {
    TempDir dir;
    const auto image = dir.File("sdb copy.img");
    std::ofstream(image) << "x";
    DeviceTable table;
    table.SetPhysicalDisk(0, DeviceSource{image.string()});
    table.SetPhysicalDisk(1, DeviceSource{"/dev/null"});

    const NameCase cases[] = {
        {"no identify record", std::nullopt, false},
        {"three empty texts", Identify("", "", ""), false},
        {"blanks and text after the terminator", Identify("   ", std::string("\0SN", 3), " "),
         false},
        {"a model", Identify("QEMU HARDDISK", "", ""), true},
        {"a serial number only", Identify("", "QM00001", ""), true},
        {"a firmware only", Identify("", "", "2.5+"), true},
    };
    for (const NameCase& c : cases) {
        PhysicalDiskInfo disk;
        disk.drive = 0x80;
        disk.sizeText = u"64.00 MB";
        disk.identify = c.identify;
        EXPECT_EQ(DiskIdentifiesItself(disk), c.identifies) << c.what;
        EXPECT_EQ(UnidentifiedDiskName(disk, table),
                  c.identifies ? u"" : u"sdb copy.img (64.00 MB)")
            << c.what;
    }
    // A device keeps its whole path; a drive number the table does not know has no name.
    PhysicalDiskInfo device;
    device.drive = 0x81;
    device.sizeText = u"1.00 GB";
    EXPECT_EQ(UnidentifiedDiskName(device, table), u"/dev/null (1.00 GB)");
    device.drive = 0x82;
    EXPECT_EQ(UnidentifiedDiskName(device, table), u"");
    EXPECT_EQ(DiskSourceName(0x05, table), u"");
}

} // namespace

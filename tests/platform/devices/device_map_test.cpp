#include "platform/devices/device_map.h"

#include <gtest/gtest.h>

namespace {

TEST(DeviceMapTest, ParsesDisksDrivesAndPartitions) {
    DeviceTable table;
    auto errors = DeviceMap::Parse(
        "C:=disk0@2048+4096; disk0=/images/a.img;disk23=/images/b.img ;d:=/images/vol.img", table);
    EXPECT_TRUE(errors.empty());

    EXPECT_EQ(table.PhysicalDisk(0), (DeviceSource{"/images/a.img", 0, std::nullopt}));
    EXPECT_EQ(table.PhysicalDisk(23), (DeviceSource{"/images/b.img", 0, std::nullopt}));
    // A partition listed before its disk still resolves, relative to the disk's path.
    EXPECT_EQ(table.DriveLetter(2), (DeviceSource{"/images/a.img", 2048, 4096}));
    EXPECT_EQ(table.DriveLetter(3), (DeviceSource{"/images/vol.img", 0, std::nullopt}));
    EXPECT_FALSE(table.PhysicalDisk(1));
    EXPECT_FALSE(table.DriveLetter(0));
}

TEST(DeviceMapTest, SkipsBadEntriesNamingEachOne) {
    DeviceTable table;
    auto errors = DeviceMap::Parse("disk24=/x.img;noequals;E:=;F:=disk5@1+2;G:=disk0@abc+2;"
                                   "H:=disk0@10+0;1:=/y.img;disk0=/ok.img;I:=disk0@1+1",
                                   table);
    ASSERT_EQ(errors.size(), 7u);
    const char* named[] = {"disk24=/x.img", "noequals",       "E:=",          "1:=/y.img",
                           "F:=disk5@1+2",  "G:=disk0@abc+2", "H:=disk0@10+0"};
    for (const char* entry : named) {
        bool found = false;
        for (const auto& error : errors)
            found = found || error.find(std::string("\"") + entry + "\"") != std::string::npos;
        EXPECT_TRUE(found) << "no message names " << entry;
    }
    EXPECT_EQ(table.PhysicalDisk(0), (DeviceSource{"/ok.img", 0, std::nullopt}));
    EXPECT_EQ(table.DriveLetter(8), (DeviceSource{"/ok.img", 1, 1}));
    EXPECT_FALSE(table.PhysicalDisk(23));
}

TEST(DeviceMapTest, PathsWithAtSignsAreNotPartitions) {
    DeviceTable table;
    EXPECT_TRUE(DeviceMap::Parse("Z:=/home/me/copy@home+1.img", table).empty());
    EXPECT_EQ(table.DriveLetter(25), (DeviceSource{"/home/me/copy@home+1.img", 0, std::nullopt}));
}

TEST(DeviceMapTest, OverflowingRangeIsRejected) {
    DeviceTable table;
    auto errors = DeviceMap::Parse("disk0=/a;C:=disk0@36028797018963967+2", table);
    EXPECT_EQ(errors.size(), 1u);
    EXPECT_FALSE(table.DriveLetter(2));
}

TEST(DeviceTableTest, ResolvesWindowsDeviceNames) {
    DeviceTable table;
    table.SetPhysicalDisk(3, {"/d3", 0, std::nullopt});
    table.SetDriveLetter(2, {"/c", 0, std::nullopt});
    EXPECT_EQ(table.Resolve("\\\\.\\PHYSICALDRIVE3")->path, "/d3");
    EXPECT_EQ(table.Resolve("\\\\.\\C:")->path, "/c");
    EXPECT_FALSE(table.Resolve("\\\\.\\PHYSICALDRIVE24"));
    EXPECT_FALSE(table.Resolve("\\\\.\\PHYSICALDRIVE"));
    EXPECT_FALSE(table.Resolve("\\\\.\\~:"));
    EXPECT_FALSE(table.Resolve("C:"));
}

} // namespace

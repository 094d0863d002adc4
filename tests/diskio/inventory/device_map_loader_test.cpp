#include "diskio/inventory/device_map_loader.h"

#include "diskio/inventory/drive_list.h"
#include "platform/devices/device_map.h"
#include "tests/support/fixture_image.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// An MBR disk whose extended chain loops: table 2048 holds logical 5 and links to itself.
fs::path LoopingDisk(const TempDir& dir) {
    const fs::path path = dir.File("loop.img");
    std::ofstream(path).close();
    fs::resize_file(path, 8192 * 512);
    uint8_t sector[512] = {};
    auto entry = [&sector](int slot, uint8_t type, uint32_t start, uint32_t count) {
        uint8_t* e = sector + 446 + 16 * slot;
        e[4] = type;
        for (int i = 0; i < 4; ++i) {
            e[8 + i] = static_cast<uint8_t>(start >> (8 * i));
            e[12 + i] = static_cast<uint8_t>(count >> (8 * i));
        }
        sector[510] = 0x55;
        sector[511] = 0xAA;
    };
    int fd = ::open(path.c_str(), O_WRONLY);
    entry(0, 0x05, 2048, 4096);
    EXPECT_EQ(::pwrite(fd, sector, 512, 0), 512);
    std::fill(std::begin(sector), std::end(sector), uint8_t{0});
    entry(0, 0x06, 2048, 1024);
    entry(1, 0x05, 0, 4096);
    EXPECT_EQ(::pwrite(fd, sector, 512, 2048 * 512), 512);
    ::close(fd);
    return path;
}

TEST(DeviceMapLoaderTest, SameTextAndDisksGiveTheSameTable) {
    TempDir dir;
    const fs::path mbr = UnpackFixture("mbr_logical.img", dir);
    const fs::path gpt = UnpackFixture("gpt_disk.img", dir);
    ASSERT_FALSE(mbr.empty() || gpt.empty());
    const std::string text = "disk1=" + mbr.string() + ";disk0=" + gpt.string() +
                             ";E:=" + gpt.string() + ";F:=disk1@2048+6144";
    DeviceTable first, second;
    EXPECT_TRUE(DeviceMapLoader::Load(text, first).empty());
    EXPECT_TRUE(DeviceMapLoader::Load(text, second).empty());
    EXPECT_TRUE(first.SameEntries(second));
    // disk0 is named by E:; disk1 by F:, so neither gets letters of its own partitions.
    EXPECT_FALSE(first.DriveLetter(2));
    EXPECT_FALSE(first.DriveLetter(3));

    // Loading again starts from an empty table.
    EXPECT_TRUE(DeviceMapLoader::Load("disk0=" + gpt.string(), second).empty());
    EXPECT_FALSE(second.PhysicalDisk(1));
    EXPECT_EQ(second.DriveLetter(2), (DeviceSource{gpt.string(), 2048, 6144}));
    EXPECT_EQ(second.DriveLetter(3), (DeviceSource{gpt.string(), 8192, 8192}));
    EXPECT_FALSE(second.DriveLetter(4));
}

TEST(DeviceMapLoaderTest, LettersRunOutAtZ) {
    TempDir dir;
    const fs::path mbr = UnpackFixture("mbr_logical.img", dir);
    ASSERT_FALSE(mbr.empty());
    std::string text = "disk0=" + mbr.string();
    for (char letter = 'A'; letter <= 'X'; ++letter)
        text += std::string(";") + letter + ":=" + dir.File("other.img").string();
    std::ofstream(dir.File("other.img")).close();
    DeviceTable table;
    // other.img is no disk: the letters stay; disk0 gets Y: and Z: for partitions 1 and 3.
    std::vector<std::string> problems = DeviceMapLoader::Load(text, table);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].find("no drive letter is left for partition 5"), std::string::npos);
    EXPECT_EQ(table.DriveLetter(24), (DeviceSource{mbr.string(), 2048, 6144}));
    EXPECT_EQ(table.DriveLetter(25), (DeviceSource{mbr.string(), 24576, 4096}));
}

// The table's trouble reaches the drive list, where the caller logs it; the sound partition
// read before the loop still gets its letter.
TEST(DeviceMapLoaderTest, BrokenTablesAreNamedInTheDriveList) {
    TempDir dir;
    const fs::path disk = LoopingDisk(dir);
    DeviceTable::Process().Clear();
    DriveListStore store;
    {
        ScopedEnv env(DeviceMap::kEnvironmentVariable, "disk0=" + disk.string());
        CDriveList list(store);
        list.Build();
    }
    ASSERT_EQ(store.problems.size(), 1u);
    EXPECT_NE(store.problems[0].find("disk0 (" + disk.string() + ")"), std::string::npos);
    EXPECT_NE(store.problems[0].find("loops back to sector 2048"), std::string::npos);
    ASSERT_EQ(store.nodes.size(), 2u);
    const LogicalDriveInfo* c = store.nodes.back().Logical();
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->drive, 2);
    EXPECT_EQ(c->firstSector, 4096u);
    EXPECT_EQ(c->totalSectors, 1024u);
    DeviceTable::Process().Clear();
}

} // namespace

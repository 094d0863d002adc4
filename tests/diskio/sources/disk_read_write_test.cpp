#include "diskio/sources/disk_read_write.h"

#include "diskio/sources/read_attempts_setting.h"
#include "platform/devices/device_table.h"
#include "tests/support/fixture_image.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

constexpr uint8_t kDisk0 = 0x80;

// Sector n of the file is filled with the byte n.
std::filesystem::path WriteCountingImage(const TempDir& dir, const char* name, size_t sectors) {
    auto path = dir.File(name);
    std::ofstream out(path, std::ios::binary);
    for (size_t sector = 0; sector < sectors; ++sector) {
        std::vector<char> block(512, static_cast<char>(sector));
        out.write(block.data(), static_cast<std::streamsize>(block.size()));
    }
    return path;
}

std::vector<char> FileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int OpenDescriptorCount() {
    int count = 0;
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (readdir(dir) != nullptr)
            ++count;
        closedir(dir);
    }
    return count;
}

// Every test maps its own sources into the process table and leaves it empty.
class DiskReadWriteTest : public ::testing::Test {
protected:
    void SetUp() override {
        DeviceTable::Process().Clear();
        ReadAttemptsSetting::Store(1);
    }
    void TearDown() override {
        DeviceTable::Process().Clear();
        ReadAttemptsSetting::Store(1);
    }
    TempDir m_dir;
};

TEST_F(DiskReadWriteTest, DriveNumbersChooseDiskOrLetterByTheTopBit) {
    auto disk = WriteCountingImage(m_dir, "disk0.img", 8);
    DeviceTable::Process().SetPhysicalDisk(0, {disk.string(), 0, std::nullopt});

    std::vector<uint8_t> buffer(512, 0xEE);
    ASSERT_NE(DiskReadWrite(kDisk0, 5, 0, buffer.data(), 512, nullptr, 0), 0);
    EXPECT_EQ(buffer[0], 5);

    // 0x7F is letter index 127: no such drive, and disk 0 must not be read instead.
    std::fill(buffer.begin(), buffer.end(), 0xEE);
    EXPECT_EQ(DiskReadWrite(0x7F, 5, 0, buffer.data(), 512, nullptr, 0), 0);
    EXPECT_EQ(buffer[0], 0xEE);
    EXPECT_EQ(DiskDeviceName(0x7F).substr(0, 4), "\\\\.\\");
    EXPECT_EQ(DiskDeviceName(0x80), "\\\\.\\PHYSICALDRIVE0");
    EXPECT_EQ(DiskDeviceName(0x97), "\\\\.\\PHYSICALDRIVE23");
    EXPECT_EQ(DiskDeviceName(2), "\\\\.\\C:");
    EXPECT_EQ(OpenDiskDevice(0x98).GetState(), DeviceHandle::State::Invalid);
}

TEST_F(DiskReadWriteTest, LogicalDrivesReadTheirPartitionOnly) {
    auto disk = WriteCountingImage(m_dir, "disk0.img", 16);
    DeviceTable::Process().SetPhysicalDisk(0, {disk.string(), 0, std::nullopt});
    DeviceTable::Process().SetDriveLetter(2, {disk.string(), 4, 6}); // C: = sectors 4..9

    std::vector<uint8_t> buffer(1024);
    ASSERT_NE(DiskReadWrite(2, 0, 0, buffer.data(), 1024, nullptr, 0), 0);
    EXPECT_EQ(buffer[0], 4);
    EXPECT_EQ(buffer[512], 5);
    EXPECT_NE(DiskReadWrite(2, 5, 0, buffer.data(), 512, nullptr, 0), 0);
    EXPECT_EQ(buffer[0], 9);
    // Reaching past the partition's count fails, even though the disk goes on.
    EXPECT_EQ(DiskReadWrite(2, 6, 0, buffer.data(), 512, nullptr, 0), 0);
    EXPECT_EQ(DiskReadWrite(2, 5, 0, buffer.data(), 1024, nullptr, 0), 0);

    DeviceHandle handle = OpenDiskDevice(2);
    ASSERT_TRUE(handle.IsOpen());
    ASSERT_NE(DiskReadWrite(2, 1, 0, buffer.data(), 512, &handle, 0), 0);
    EXPECT_EQ(buffer[0], 5);
    EXPECT_EQ(DiskReadWrite(2, 6, 0, buffer.data(), 512, &handle, 0), 0);
}

TEST_F(DiskReadWriteTest, NullHandleOpensPerCallAndGivenHandleStaysOpen) {
    auto disk = WriteCountingImage(m_dir, "disk0.img", 4);
    DeviceTable::Process().SetPhysicalDisk(0, {disk.string(), 0, std::nullopt});
    DeviceTable::Process().SetDriveLetter(3, {disk.string(), 0, std::nullopt});
    std::vector<uint8_t> buffer(512);

    int before = OpenDescriptorCount();
    for (uint8_t drive : {kDisk0, uint8_t{3}}) {
        ASSERT_NE(DiskReadWrite(drive, 1, 0, buffer.data(), 512, nullptr, 0), 0);
        DeviceHandle none; // a handle in the None state means the same as no handle
        ASSERT_NE(DiskReadWrite(drive, 2, 0, buffer.data(), 512, &none, 0), 0);
        EXPECT_EQ(buffer[0], 2);
    }
    EXPECT_EQ(OpenDescriptorCount(), before);

    for (uint8_t drive : {kDisk0, uint8_t{3}}) {
        DeviceHandle handle = OpenDiskDevice(drive);
        ASSERT_TRUE(handle.IsOpen());
        for (uint32_t sector = 0; sector < 4; ++sector) {
            ASSERT_NE(DiskReadWrite(drive, sector, 0, buffer.data(), 512, &handle, 0), 0);
            EXPECT_EQ(buffer[0], sector);
        }
        EXPECT_TRUE(handle.IsOpen());
        EXPECT_NE(fcntl(handle.Descriptor(), F_GETFD), -1);
        DeviceHandle invalid = DeviceHandle::MakeInvalid();
        EXPECT_EQ(DiskReadWrite(drive, 0, 0, buffer.data(), 512, &invalid, 0), 0);
    }
}

TEST_F(DiskReadWriteTest, ReadAttemptsOutOfRangeBecomeOne) {
    // An empty file: every read of it fails.
    auto failing = m_dir.File("empty.img");
    std::ofstream(failing).close();
    DeviceTable::Process().SetPhysicalDisk(0, {failing.string(), 0, std::nullopt});
    std::vector<uint8_t> buffer(512);

    for (uint32_t setting : {0u, 7u, 1000u}) {
        ReadAttemptsSetting::Store(setting);
        uint64_t before = PhysicalReadAttemptCount();
        EXPECT_EQ(DiskReadWrite(kDisk0, 0, 0, buffer.data(), 512, nullptr, 0), 0);
        EXPECT_EQ(PhysicalReadAttemptCount() - before, 1u) << "setting " << setting;
        EXPECT_EQ(ReadAttemptsSetting::Load(), 1u) << "setting " << setting;
    }

    ReadAttemptsSetting::Store(6);
    uint64_t before = PhysicalReadAttemptCount();
    EXPECT_EQ(DiskReadWrite(kDisk0, 0, 0, buffer.data(), 512, nullptr, 0), 0);
    EXPECT_EQ(PhysicalReadAttemptCount() - before, 6u);
    EXPECT_EQ(ReadAttemptsSetting::Load(), 6u);

    // A readable disk stops at the first success.
    auto good = WriteCountingImage(m_dir, "good.img", 1);
    DeviceTable::Process().SetPhysicalDisk(0, {good.string(), 0, std::nullopt});
    before = PhysicalReadAttemptCount();
    EXPECT_NE(DiskReadWrite(kDisk0, 0, 0, buffer.data(), 512, nullptr, 0), 0);
    EXPECT_EQ(PhysicalReadAttemptCount() - before, 1u);
}

TEST_F(DiskReadWriteTest, ReadAttemptsFollowABoundSetting) {
    std::atomic<uint32_t> appSetting{9};
    ReadAttemptsSetting::Bind(&appSetting);
    EXPECT_EQ(ReadAttemptsSetting::AttemptsToMake(), 1u);
    EXPECT_EQ(appSetting.load(), 1u);
    appSetting = 4;
    EXPECT_EQ(ReadAttemptsSetting::AttemptsToMake(), 4u);
    ReadAttemptsSetting::Bind(nullptr);
}

TEST_F(DiskReadWriteTest, ShortReadAtTheEndIsAFailure) {
    auto disk = WriteCountingImage(m_dir, "disk0.img", 3);
    DeviceTable::Process().SetPhysicalDisk(0, {disk.string(), 0, std::nullopt});
    std::vector<uint8_t> buffer(1024);
    EXPECT_NE(DiskReadWrite(kDisk0, 1, 0, buffer.data(), 1024, nullptr, 0), 0);
    EXPECT_EQ(DiskReadWrite(kDisk0, 2, 0, buffer.data(), 1024, nullptr, 0), 0);
}

TEST_F(DiskReadWriteTest, WriteRequestsFailAndChangeNothing) {
    auto disk = WriteCountingImage(m_dir, "disk0.img", 4);
    DeviceTable::Process().SetPhysicalDisk(0, {disk.string(), 0, std::nullopt});
    DeviceTable::Process().SetDriveLetter(2, {disk.string(), 1, 2});
    auto original = FileBytes(disk);

    std::vector<uint8_t> data(512, 0xAB);
    ReadAttemptsSetting::Store(6);
    EXPECT_EQ(DiskReadWrite(kDisk0, 0, 0, data.data(), 512, nullptr, 1), 0);
    EXPECT_EQ(DiskReadWrite(2, 0, 0, data.data(), 512, nullptr, 1), 0);
    DeviceHandle handle = OpenDiskDevice(kDisk0);
    EXPECT_EQ(DiskReadWrite(kDisk0, 0, 0, data.data(), 512, &handle, 1), 0);
    DeviceHandle letter = OpenDiskDevice(2);
    EXPECT_EQ(DiskReadWrite(2, 0, 0, data.data(), 512, &letter, 1), 0);
    EXPECT_EQ(FileBytes(disk), original);
}

TEST_F(DiskReadWriteTest, SectorAbove2To32ReachesTheRightByte) {
    constexpr uint64_t kSector = (1ull << 32) + 5;
    auto path = m_dir.File("huge.img");
    const std::vector<uint8_t> marker = {'M', 'A', 'R', 'K', 0x55, 0xAA};
    if (!WriteSparseFileWithMarker(path, kSector * 512, marker, (kSector + 1) * 512))
        GTEST_SKIP() << "the temporary folder's file system refuses a file of 2 TiB";
    DeviceTable::Process().SetPhysicalDisk(0, {path.string(), 0, std::nullopt});
    DeviceTable::Process().SetDriveLetter(2, {path.string(), 0, std::nullopt});

    for (uint8_t drive : {kDisk0, uint8_t{2}}) {
        std::vector<uint8_t> buffer(512, 0xEE);
        ASSERT_NE(DiskReadWrite(drive, 5, 1, buffer.data(), 512, nullptr, 0), 0);
        EXPECT_TRUE(std::equal(marker.begin(), marker.end(), buffer.begin()));
        // The low half alone is sector 5, which is a hole.
        ASSERT_NE(DiskReadWrite(drive, 5, 0, buffer.data(), 512, nullptr, 0), 0);
        EXPECT_EQ(buffer[0], 0);
    }
}

TEST_F(DiskReadWriteTest, ReadsTheFatFixtureBootSector) {
    TempDir dir;
    auto image = UnpackFixture("fat12_small.img", dir);
    ASSERT_FALSE(image.empty());
    DeviceTable::Process().SetDriveLetter(0, {image.string(), 0, std::nullopt});
    std::vector<uint8_t> boot(512);
    ASSERT_NE(DiskReadWrite(0, 0, 0, boot.data(), 512, nullptr, 0), 0);
    EXPECT_EQ(boot[510], 0x55);
    EXPECT_EQ(boot[511], 0xAA);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(&boot[54]), 5), "FAT12");
}

} // namespace

#include "platform/devices/device_handle.h"

#include "platform/resources/string_table.h"
#include "platform/text/utf_conversion.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>
#include <vector>

namespace {

std::filesystem::path WriteCountingFile(const TempDir& dir, size_t sectors) {
    auto path = dir.File("count.img");
    std::ofstream out(path, std::ios::binary);
    for (size_t sector = 0; sector < sectors; ++sector) {
        std::vector<char> block(512, static_cast<char>(sector));
        out.write(block.data(), static_cast<std::streamsize>(block.size()));
    }
    return path;
}

TEST(DeviceHandleTest, StatesOfNoneInvalidAndOpen) {
    TempDir dir;
    DeviceHandle none;
    EXPECT_EQ(none.GetState(), DeviceHandle::State::None);
    EXPECT_EQ(DeviceHandle::OpenPath(dir.File("missing").string()).GetState(),
              DeviceHandle::State::Invalid);

    DeviceHandle open = DeviceHandle::OpenPath(WriteCountingFile(dir, 4).string());
    ASSERT_EQ(open.GetState(), DeviceHandle::State::Open);
    EXPECT_EQ(open.SizeInBytes(), 4u * 512);

    DeviceHandle moved = std::move(open);
    EXPECT_EQ(open.GetState(), DeviceHandle::State::None);
    EXPECT_TRUE(moved.IsOpen());
    moved.Close();
    EXPECT_EQ(moved.GetState(), DeviceHandle::State::None);
}

TEST(DeviceHandleTest, ShortReadsAndReadsPastTheEndFail) {
    TempDir dir;
    DeviceHandle handle = DeviceHandle::OpenPath(WriteCountingFile(dir, 4).string());
    std::vector<uint8_t> buffer(1024, 0xEE);
    EXPECT_TRUE(handle.ReadAt(3 * 512, buffer.data(), 512));
    EXPECT_EQ(buffer[0], 3);
    EXPECT_FALSE(handle.ReadAt(3 * 512, buffer.data(), 1024)); // half of it exists
    EXPECT_FALSE(handle.ReadAt(4 * 512, buffer.data(), 512));
    EXPECT_FALSE(handle.ReadAt(UINT64_MAX - 10, buffer.data(), 512));
}

TEST(DeviceHandleTest, RangedSourceIsRelativeAndBounded) {
    TempDir dir;
    auto path = WriteCountingFile(dir, 10);
    DeviceHandle handle = DeviceHandle::Open({path.string(), 2, 3});
    ASSERT_TRUE(handle.IsOpen());
    EXPECT_EQ(handle.SizeInBytes(), 3u * 512);

    std::vector<uint8_t> buffer(512);
    ASSERT_TRUE(handle.ReadAt(0, buffer.data(), 512));
    EXPECT_EQ(buffer[0], 2);
    ASSERT_TRUE(handle.ReadAt(2 * 512, buffer.data(), 512));
    EXPECT_EQ(buffer[511], 4);
    // Sector 3 of the range is sector 5 of the file: it exists, but lies outside the drive.
    EXPECT_FALSE(handle.ReadAt(3 * 512, buffer.data(), 512));
    EXPECT_FALSE(handle.ReadAt(2 * 512, buffer.data(), 1024));
}

TEST(DeviceHandleTest, ReadsTouchingAnUnreadableRunFailAndOthersRead) {
    TempDir dir;
    auto path = WriteCountingFile(dir, 20);
    // Runs are relative to the source's first sector (file sector 2): file sectors 6 and 7, and
    // the last one, 21, past the end anyway.
    DeviceSource source{path.string(), 2, 18};
    source.unreadable = {{4, 2}, {19, 1}, {0, 0}};
    DeviceHandle handle = DeviceHandle::Open(source);
    ASSERT_TRUE(handle.IsOpen());
    struct Case {
        uint64_t sector;
        size_t sectors;
        bool reads;
    };
    const Case cases[] = {
        {0, 4, true},  {3, 1, true},  {4, 1, false}, {5, 1, false}, {6, 1, true},
        {3, 2, false}, {5, 2, false}, {2, 6, false}, {6, 12, true}, {0, 18, false},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(std::to_string(each.sector) + " +" + std::to_string(each.sectors));
        std::vector<uint8_t> buffer(each.sectors * 512);
        EXPECT_EQ(handle.ReadAt(each.sector * 512, buffer.data(), buffer.size()), each.reads);
        if (each.reads) {
            EXPECT_EQ(buffer[0], static_cast<uint8_t>(each.sector + 2));
        }
    }
    // A run that reaches past the numbering covers everything after its start.
    source.unreadable = {{10, UINT64_MAX}};
    DeviceHandle endless = DeviceHandle::Open(source);
    std::vector<uint8_t> buffer(512);
    EXPECT_TRUE(endless.ReadAt(9 * 512, buffer.data(), 512));
    EXPECT_FALSE(endless.ReadAt(17 * 512, buffer.data(), 512));
    DeviceHandle moved = std::move(endless);
    EXPECT_FALSE(moved.ReadAt(10 * 512, buffer.data(), 512)) << "a moved handle keeps its runs";
}

TEST(DeviceHandleTest, OnlyFilesAndDevicesThatOpenServeAsSources) {
    TempDir dir;
    const auto file = WriteCountingFile(dir, 1);
    std::filesystem::create_directories(dir.File("folder"));
    const auto pipe = dir.File("pipe");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    struct Case {
        std::string path;
        // The string id of the problem; 0 for none.
        uint32_t problemId;
    };
    const Case cases[] = {
        {file.string(), 0},
        {"/dev/null", 0},
        {dir.File("missing.img").string(), 62311},
        {(file / "below").string(), 62311},
        {dir.File("folder").string(), 62313},
        {pipe.string(), 62314},
        {"", 62310},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const std::string expected = c.problemId == 0
                                         ? std::string()
                                         : Utf16ToUtf8(StringTable::Program().English(c.problemId));
        EXPECT_EQ(DeviceHandle::ProblemOpening(c.path), expected);
    }
    // A folder opens read-only on Linux, but is no source.
    EXPECT_EQ(DeviceHandle::OpenPath(dir.File("folder").string()).GetState(),
              DeviceHandle::State::Invalid);
}

} // namespace

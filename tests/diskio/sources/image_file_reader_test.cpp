#include "diskio/sources/image_file_reader.h"

#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <vector>

namespace {

TEST(ImageFileReaderTest, FullReadsOnlyAtTheGivenOffset) {
    TempDir dir;
    auto path = dir.File("volume.img");
    {
        std::ofstream out(path, std::ios::binary);
        for (int sector = 0; sector < 6; ++sector) {
            std::vector<char> block(512, static_cast<char>(0x10 + sector));
            out.write(block.data(), 512);
        }
    }
    std::vector<uint8_t> buffer(1024, 0);
    ASSERT_TRUE(ImageFileReader::ReadSectors(path.string(), 1024, 1, buffer.data(), 2));
    EXPECT_EQ(buffer[0], 0x13);
    EXPECT_EQ(buffer[1023], 0x14);

    // Half of the request lies past the end: that is a failure, never a success with stale
    // bytes in the rest of the buffer.
    std::fill(buffer.begin(), buffer.end(), 0xEE);
    EXPECT_FALSE(ImageFileReader::ReadSectors(path.string(), 0, 5, buffer.data(), 2));
    EXPECT_FALSE(
        ImageFileReader::ReadSectors(path.string(), 0, UINT64_MAX / 256, buffer.data(), 1));
    EXPECT_FALSE(
        ImageFileReader::ReadSectors(dir.File("missing").string(), 0, 0, buffer.data(), 1));
    EXPECT_TRUE(ImageFileReader::ReadBytes(path.string(), 3071, buffer.data(), 1));
    EXPECT_EQ(buffer[0], 0x15);
}

} // namespace

// The write buffer of recovered files and disk images: the file ends up byte for byte what the
// writes gave, held back only until a flush, and a failed write out is a failure of every
// call after it.
#include "jobs/recovery/descriptor_write_buffer.h"
#include "jobs/recovery/local_file_sink.h"

#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr size_t kBlock = DescriptorWriteBuffer::kFlushBytes;

std::vector<uint8_t> Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Bytes that differ from offset to offset, so a piece written twice or out of place shows.
std::vector<uint8_t> Pattern(size_t bytes, uint32_t seed) {
    std::vector<uint8_t> data(bytes);
    uint32_t value = seed * 2654435761u + 1;
    for (uint8_t& byte : data) {
        value = value * 1103515245u + 12345u;
        byte = static_cast<uint8_t>(value >> 16);
    }
    return data;
}

struct WriteCase {
    const char* name;
    std::vector<size_t> writes;
};

TEST(DescriptorWriteBufferTest, TheFileHoldsEveryWriteInOrderOnceFlushed) {
    const WriteCase cases[] = {
        {"nothing", {}},
        {"one small write", {3000}},
        {"clusters up to a block and past it", {4096, 4096, kBlock - 8192, 4096, 512}},
        {"a block with nothing waiting goes straight through", {kBlock, 10}},
        {"a large write after a small one", {100, 3 * kBlock + 7, 100}},
        {"uneven sectors", {525 * 512, 525 * 512, 525 * 512, 525 * 512, 525 * 512}},
        {"empty writes between", {0, 700, 0, kBlock, 0}},
    };
    TempDir dir;
    for (const WriteCase& test : cases) {
        SCOPED_TRACE(test.name);
        const fs::path path = dir.File("out.bin");
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        ASSERT_GE(fd, 0);
        DescriptorWriteBuffer buffer(fd);
        std::vector<uint8_t> expected;
        uint32_t seed = 0;
        for (size_t bytes : test.writes) {
            const std::vector<uint8_t> piece = Pattern(bytes, ++seed);
            EXPECT_TRUE(buffer.Write(piece));
            expected.insert(expected.end(), piece.begin(), piece.end());
            // What reached the file is the start of what was written, and what waits is
            // less than a block.
            EXPECT_LT(buffer.Pending(), kBlock);
            EXPECT_EQ(fs::file_size(path) + buffer.Pending(), expected.size());
        }
        EXPECT_TRUE(buffer.Flush());
        EXPECT_EQ(buffer.Pending(), 0u);
        ::close(fd);
        EXPECT_EQ(Read(path), expected);
    }
}

TEST(DescriptorWriteBufferTest, ReservedRoomIsWrittenAsCommitted) {
    TempDir dir;
    const fs::path path = dir.File("image.bin");
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0);
    DescriptorWriteBuffer buffer(fd);
    std::vector<uint8_t> expected;
    for (uint32_t round = 0; round < 9; ++round) {
        const std::vector<uint8_t> piece = Pattern(1399 * 512, round);
        uint8_t* room = buffer.Reserve(piece.size());
        ASSERT_NE(room, nullptr);
        std::copy(piece.begin(), piece.end(), room);
        EXPECT_TRUE(buffer.Commit(piece.size()));
        expected.insert(expected.end(), piece.begin(), piece.end());
    }
    EXPECT_EQ(buffer.Reserve(DescriptorWriteBuffer::kMaxReserve + 1), nullptr);
    EXPECT_FALSE(buffer.Failed()) << "too large a reservation is refused, not a failure";
    EXPECT_TRUE(buffer.Flush());
    ::close(fd);
    EXPECT_EQ(Read(path), expected);
}

TEST(DescriptorWriteBufferTest, AFailedWriteOutFailsThatCallAndEveryLaterOne) {
    const int fd = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        GTEST_SKIP() << "no /dev/full";
    DescriptorWriteBuffer buffer(fd);
    // Held back: nothing has reached the device yet.
    EXPECT_TRUE(buffer.Write(Pattern(100, 1)));
    EXPECT_FALSE(buffer.Flush());
    EXPECT_TRUE(buffer.Failed());
    EXPECT_EQ(buffer.Error(), ENOSPC);
    EXPECT_FALSE(buffer.Write(Pattern(10, 2)));
    EXPECT_EQ(buffer.Reserve(10), nullptr);
    EXPECT_FALSE(buffer.Flush());

    DescriptorWriteBuffer large(fd);
    EXPECT_FALSE(large.Write(Pattern(kBlock, 3))) << "a block long write goes out at once";
    EXPECT_EQ(large.Error(), ENOSPC);
    ::close(fd);

    DescriptorWriteBuffer closed(-1);
    EXPECT_TRUE(closed.Write(Pattern(10, 4)));
    EXPECT_FALSE(closed.Flush());
    EXPECT_EQ(closed.Error(), EBADF);
}

TEST(LocalFileSinkTest, HeldBackBytesReachTheFileAtFlushAndAreAFailureThere) {
    TempDir dir;
    const fs::path path = dir.File("recovered.bin");
    const std::vector<uint8_t> bytes = Pattern(5000, 7);
    {
        LocalFileSink sink(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
        ASSERT_TRUE(sink.Write(bytes.data(), bytes.size()));
        EXPECT_EQ(fs::file_size(path), 0u) << "a small write waits for more";
        EXPECT_TRUE(sink.Flush());
        EXPECT_EQ(Read(path), bytes);
        ASSERT_TRUE(sink.Write(bytes.data(), bytes.size()));
        // The times are set on the file as it ends, after what was held back.
        const timespec modified{1000000000, 0};
        EXPECT_TRUE(sink.SetTimes(modified, std::nullopt));
        EXPECT_TRUE(sink.Close());
    }
    struct stat status {};
    ASSERT_EQ(::stat(path.c_str(), &status), 0);
    EXPECT_EQ(status.st_mtim.tv_sec, 1000000000);
    EXPECT_EQ(fs::file_size(path), 2 * bytes.size());

    // A sink whose held-back bytes cannot be written: the flush and the close say so.
    const int full = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
    if (full < 0)
        GTEST_SKIP() << "no /dev/full";
    LocalFileSink failing(full);
    EXPECT_TRUE(failing.Write(bytes.data(), bytes.size()));
    EXPECT_FALSE(failing.Flush());
    EXPECT_FALSE(failing.Write(bytes.data(), bytes.size()));
    EXPECT_FALSE(failing.Close());

    LocalFileSink failingAtClose(::open("/dev/full", O_WRONLY | O_CLOEXEC));
    EXPECT_TRUE(failingAtClose.Write(bytes.data(), bytes.size()));
    EXPECT_FALSE(failingAtClose.Close());
}

} // namespace

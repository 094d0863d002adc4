#include "filesystems/fat/fat_directory_entry.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

namespace {

std::array<uint8_t, 32> Entry(const char (&name)[12]) {
    std::array<uint8_t, 32> bytes{};
    std::memcpy(bytes.data(), name, 11);
    return bytes;
}

void Put16(std::array<uint8_t, 32>& bytes, size_t at, uint16_t value) {
    bytes[at] = static_cast<uint8_t>(value);
    bytes[at + 1] = static_cast<uint8_t>(value >> 8);
}

TEST(FatDirectoryEntryTest, ReadsEveryFieldAtItsOffset) {
    std::array<uint8_t, 32> bytes = Entry("README  TXT");
    bytes[11] = 0x20;
    Put16(bytes, 14, 0x1111);
    Put16(bytes, 16, 0x2222);
    Put16(bytes, 18, 0x3333);
    Put16(bytes, 20, 0x0004); // high half of the first cluster
    Put16(bytes, 22, 0x5555);
    Put16(bytes, 24, 0x6666);
    Put16(bytes, 26, 0x0007); // low half
    Put16(bytes, 28, 0x5678);
    Put16(bytes, 30, 0x1234);

    FatDirectoryEntry entry;
    ASSERT_TRUE(FatDirectoryEntry::Read(bytes, entry));
    EXPECT_EQ(entry.first, 'R');
    EXPECT_EQ(entry.attributes, 0x20);
    EXPECT_EQ(entry.createdTime, 0x1111);
    EXPECT_EQ(entry.createdDate, 0x2222);
    EXPECT_EQ(entry.lastAccess, 0x3333);
    EXPECT_EQ(entry.firstCluster, 0x00040007u);
    EXPECT_EQ(entry.modifiedTime, 0x5555);
    EXPECT_EQ(entry.modifiedDate, 0x6666);
    EXPECT_EQ(entry.size, 0x12345678u);
}

TEST(FatDirectoryEntryTest, ShortBytesAreNoEntryAndLeaveItAsItWas) {
    const std::array<uint8_t, 32> bytes = Entry("README  TXT");
    for (size_t length : {size_t{0}, size_t{11}, size_t{31}}) {
        SCOPED_TRACE(length);
        FatDirectoryEntry entry;
        entry.size = 99;
        EXPECT_FALSE(FatDirectoryEntry::Read(std::span(bytes).first(length), entry));
        EXPECT_EQ(entry.size, 99u);
        EXPECT_EQ(entry.first, 0);
    }
}

TEST(FatDirectoryEntryTest, ShortNameChecksumIsTheLongNamePartsOne) {
    // Worked out apart from the reader, by the rotate-right-and-add rule over the name bytes.
    struct Case {
        const char* name;
        uint8_t checksum;
    };
    for (const Case& each : {Case{"README  TXT", 115}, Case{"FOO     BAR", 83}}) {
        SCOPED_TRACE(each.name);
        std::array<uint8_t, 32> bytes{};
        std::memcpy(bytes.data(), each.name, 11);
        EXPECT_EQ(FatDirectoryEntry::ShortNameChecksum(bytes), each.checksum);
    }
    EXPECT_EQ(FatDirectoryEntry::ShortNameChecksum(std::vector<uint8_t>(10, 'A')), 0);
}

} // namespace

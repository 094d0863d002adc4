#include "filesystems/found_item_serializer.h"

#include <gtest/gtest.h>

namespace {

template <typename T> T At(const std::vector<uint8_t>& bytes, size_t offset) {
    T value = 0;
    for (size_t i = 0; i < sizeof(T); ++i)
        value |= static_cast<T>(static_cast<T>(bytes[offset + i]) << (8 * i));
    return value;
}

TEST(FoundItemSerializerTest, EveryFieldAtItsOffsetAndBack) {
    FoundItem item;
    item.treeItem = 0x11223344;
    item.size = 0x0000000500000007ull;
    item.parentId = 0x1111111122222222ull;
    item.entryId = 0x3333333344444444ull;
    item.firstCluster = 0x0000000155555555ull;
    item.attributes = 0x30;
    item.lastAccess = 0xA1A1;
    item.modifiedTime = 0xB2B2;
    item.modifiedDate = 0xC3C3;
    item.createdTime = 0xD4D4;
    item.createdDate = 0xE5E5;
    item.checkState = 3;
    item.deleted = 1;
    item.noData = 1;
    item.contiguousData = 1;

    std::vector<uint8_t> bytes = FoundItemSerializer::Write(item);
    ASSERT_EQ(bytes.size(), 88u);
    using S = FoundItemSerializer;
    EXPECT_EQ(At<uint32_t>(bytes, S::kOffsetNext), 0u);
    EXPECT_EQ(At<uint32_t>(bytes, S::kOffsetPrev), 0u);
    EXPECT_EQ(At<uint32_t>(bytes, 8), item.treeItem);
    EXPECT_EQ(At<uint32_t>(bytes, 12), 0u);
    EXPECT_EQ(At<uint64_t>(bytes, 16), item.size);
    EXPECT_EQ(At<uint64_t>(bytes, 24), item.parentId);
    EXPECT_EQ(At<uint64_t>(bytes, 32), item.entryId);
    EXPECT_EQ(At<uint64_t>(bytes, 40), item.firstCluster);
    EXPECT_EQ(At<uint32_t>(bytes, 48), 0u);
    EXPECT_EQ(bytes[52], 0x30);
    for (size_t spare = 53; spare < 56; ++spare)
        EXPECT_EQ(bytes[spare], 0) << spare;
    EXPECT_EQ(At<uint32_t>(bytes, 56), 0u);
    EXPECT_EQ(At<uint32_t>(bytes, 60), 0xA1A1u);
    EXPECT_EQ(At<uint32_t>(bytes, 64), 0xB2B2u);
    EXPECT_EQ(At<uint32_t>(bytes, 68), 0xC3C3u);
    EXPECT_EQ(At<uint32_t>(bytes, 72), 0xD4D4u);
    EXPECT_EQ(At<uint32_t>(bytes, 76), 0xE5E5u);
    EXPECT_EQ(bytes[80], 3);
    EXPECT_EQ(bytes[81], 1);
    EXPECT_EQ(bytes[82], 1);
    EXPECT_EQ(bytes[83], 1);
    EXPECT_EQ(At<uint32_t>(bytes, 84), 0u);

    FoundItem back;
    ASSERT_TRUE(FoundItemSerializer::Read(bytes, back));
    EXPECT_EQ(back, item);
}

TEST(FoundItemSerializerTest, ShortBufferFailsAndStoredPointersAreIgnored) {
    FoundItem item;
    item.entryId = 9;
    std::vector<uint8_t> bytes = FoundItemSerializer::Write(item);
    bytes[0] = 0xFF; // a pointer value written by another program means nothing here
    bytes[48] = 0xFF;
    FoundItem back;
    ASSERT_TRUE(FoundItemSerializer::Read(bytes, back));
    EXPECT_EQ(back, item);

    FoundItem untouched;
    untouched.entryId = 42;
    EXPECT_FALSE(FoundItemSerializer::Read(std::span(bytes).first(87), untouched));
    EXPECT_EQ(untouched.entryId, 42u);
}

} // namespace

TEST(FoundItemSerializerTest, NtfsTimesAreThreeFiletimes) {
    FoundItem item;
    item.SetNtfsTimes(0x01D9000011112222ull, 0x01D9000033334444ull, 0x01D9000055556666ull);
    std::vector<uint8_t> bytes = FoundItemSerializer::Write(item);
    EXPECT_EQ(At<uint64_t>(bytes, 56), 0x01D9000011112222ull);
    EXPECT_EQ(At<uint64_t>(bytes, 64), 0x01D9000033334444ull);
    EXPECT_EQ(At<uint64_t>(bytes, 72), 0x01D9000055556666ull);
    FoundItem back;
    ASSERT_TRUE(FoundItemSerializer::Read(bytes, back));
    EXPECT_EQ(back.NtfsChangedTime(), 0x01D9000011112222ull);
    EXPECT_EQ(back.NtfsModifiedTime(), 0x01D9000033334444ull);
    EXPECT_EQ(back.NtfsCreatedTime(), 0x01D9000055556666ull);
}

#include "platform/text/byte_reader.h"
#include "platform/text/byte_writer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

namespace {

constexpr size_t kMax = std::numeric_limits<size_t>::max();

std::vector<uint8_t> Counting(size_t size) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<uint8_t>(i + 1);
    }
    return bytes;
}

TEST(ByteReaderTest, GettersAreLittleEndianAndStopAtTheLastWholeField) {
    const auto bytes = Counting(10); // 01 02 ... 0A
    const ByteReader reader(bytes);
    uint8_t u8 = 0;
    uint16_t u16 = 0;
    uint32_t u32 = 0;
    uint64_t u64 = 0;
    ASSERT_TRUE(reader.ReadU8(9, u8));
    EXPECT_EQ(u8, 0x0A);
    ASSERT_TRUE(reader.ReadU16(8, u16));
    EXPECT_EQ(u16, 0x0A09);
    ASSERT_TRUE(reader.ReadU32(6, u32));
    EXPECT_EQ(u32, 0x0A090807u);
    ASSERT_TRUE(reader.ReadU64(2, u64));
    EXPECT_EQ(u64, 0x0A09080706050403u);

    // One byte further each field would end past the buffer; `out` keeps its value.
    EXPECT_FALSE(reader.ReadU8(10, u8));
    EXPECT_FALSE(reader.ReadU16(9, u16));
    EXPECT_FALSE(reader.ReadU32(7, u32));
    EXPECT_FALSE(reader.ReadU64(3, u64));
    EXPECT_EQ(u8, 0x0A);
    EXPECT_EQ(u16, 0x0A09);
    EXPECT_EQ(u32, 0x0A090807u);
    EXPECT_EQ(u64, 0x0A09080706050403u);

    // High bytes must not be sign-extended into the lower ones.
    const std::vector<uint8_t> high = {0xFF, 0x80, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    ASSERT_TRUE(ByteReader(high).ReadU16(0, u16));
    EXPECT_EQ(u16, 0x80FF);
    ASSERT_TRUE(ByteReader(high).ReadU64(0, u64));
    EXPECT_EQ(u64, 0xFFFFFFFFFFFE80FFu);
}

TEST(ByteReaderTest, HugeOffsetsAndLengthsFailWithoutWrapping) {
    const auto bytes = Counting(16);
    const ByteReader reader(bytes);
    uint8_t u8 = 0;
    uint16_t u16 = 0;
    uint32_t u32 = 0;
    uint64_t u64 = 0;
    for (size_t offset : {kMax, kMax - 1, kMax - 3, kMax - 7, size_t{17}}) {
        EXPECT_FALSE(reader.ReadU8(offset, u8)) << offset;
        EXPECT_FALSE(reader.ReadU16(offset, u16)) << offset;
        EXPECT_FALSE(reader.ReadU32(offset, u32)) << offset;
        EXPECT_FALSE(reader.ReadU64(offset, u64)) << offset;
    }
    ByteReader sub;
    EXPECT_FALSE(reader.Sub(1, kMax, sub));
    EXPECT_FALSE(reader.Sub(kMax, 1, sub));
    EXPECT_FALSE(reader.Contains(8, kMax - 4));
    std::u16string wide;
    std::string text;
    EXPECT_FALSE(reader.ReadUtf16Field(0, kMax / 2 + 1, wide)); // twice that wraps to 0
    EXPECT_FALSE(reader.ReadUtf16Field(kMax, 1, wide));
    EXPECT_FALSE(reader.ReadTextField(2, kMax, text));
    EXPECT_FALSE(reader.ReadTextField(kMax, 0, text));
}

TEST(ByteReaderTest, EmptyReadersAndEmptyRanges) {
    const ByteReader empty;
    uint8_t u8 = 7;
    EXPECT_EQ(empty.Size(), 0u);
    EXPECT_FALSE(empty.ReadU8(0, u8));
    EXPECT_TRUE(empty.Contains(0, 0));
    EXPECT_FALSE(empty.Contains(1, 0));

    // A range of no bytes is fine anywhere up to the end, and not one past it.
    const auto bytes = Counting(4);
    const ByteReader reader(bytes);
    ByteReader sub(bytes);
    ASSERT_TRUE(reader.Sub(4, 0, sub));
    EXPECT_EQ(sub.Size(), 0u);
    EXPECT_FALSE(reader.Sub(5, 0, sub));
    EXPECT_TRUE(reader.ReadBytes(4, {}));
    EXPECT_FALSE(reader.ReadBytes(5, {}));
    std::u16string wide = u"old";
    std::string text = "old";
    ASSERT_TRUE(reader.ReadUtf16Field(4, 0, wide));
    ASSERT_TRUE(reader.ReadTextField(4, 0, text));
    EXPECT_EQ(wide, u"");
    EXPECT_EQ(text, "");
}

TEST(ByteReaderTest, SubReadersCountFromTheirStartAndEndAtTheirLength) {
    const auto bytes = Counting(12);
    const ByteReader reader(bytes);
    ByteReader sub;
    ASSERT_TRUE(reader.Sub(4, 4, sub));
    uint32_t u32 = 0;
    ASSERT_TRUE(sub.ReadU32(0, u32));
    EXPECT_EQ(u32, 0x08070605u);
    // The parent still has bytes there; the sub-reader must not reach them.
    uint16_t u16 = 0;
    EXPECT_FALSE(sub.ReadU16(3, u16));
    ByteReader inner;
    EXPECT_FALSE(sub.Sub(2, 3, inner));

    std::vector<uint8_t> copy(3, 0);
    ASSERT_TRUE(sub.ReadBytes(1, copy));
    EXPECT_EQ(copy, (std::vector<uint8_t>{6, 7, 8}));
    std::vector<uint8_t> tooLong(4, 0xEE);
    EXPECT_FALSE(sub.ReadBytes(1, tooLong));
    EXPECT_EQ(tooLong, std::vector<uint8_t>(4, 0xEE));
}

TEST(ByteReaderTest, Utf16FieldsEndAtTheirNulOrTheirLastUnit) {
    // "Aé" NUL then garbage, in a field of 4 units at offset 1 of an odd-sized buffer.
    const std::vector<uint8_t> bytes = {0x99, 0x41, 0x00, 0xE9, 0x00, 0x00, 0x00, 0x42, 0x00, 0x99};
    const ByteReader reader(bytes);
    std::u16string text;
    ASSERT_TRUE(reader.ReadUtf16Field(1, 4, text));
    EXPECT_EQ(text, u"A\u00E9");
    // A NUL's two bytes must both be zero: 0x00 0x42 at offset 6 is the unit U+4200.
    ASSERT_TRUE(reader.ReadUtf16Field(6, 1, text));
    EXPECT_EQ(text, u"\u4200");
    // Only the field's own units: no NUL within two units means both, and nothing beyond.
    ASSERT_TRUE(reader.ReadUtf16Field(1, 2, text));
    EXPECT_EQ(text, u"A\u00E9");
    // Five units from offset 1 need 10 bytes, one more than there is.
    EXPECT_FALSE(reader.ReadUtf16Field(1, 5, text));
    EXPECT_EQ(text, u"A\u00E9");

    // Stored units come back as they are, an unpaired surrogate included.
    const std::vector<uint8_t> surrogate = {0x3D, 0xD8, 0x41, 0x00};
    ASSERT_TRUE(ByteReader(surrogate).ReadUtf16Field(0, 2, text));
    EXPECT_EQ(text, std::u16string({char16_t(0xD83D), u'A'}));
}

TEST(ByteReaderTest, TextFieldsEndAtTheirNulOrTheirLastByte) {
    const std::vector<uint8_t> bytes = {'a', 0xC3, 0xA9, 0x00, 'z', 'y', 'x'};
    const ByteReader reader(bytes);
    std::string text;
    ASSERT_TRUE(reader.ReadTextField(0, 7, text));
    EXPECT_EQ(text, "a\xC3\xA9");
    ASSERT_TRUE(reader.ReadTextField(4, 3, text));
    EXPECT_EQ(text, "zyx");
    ASSERT_TRUE(reader.ReadTextField(4, 2, text));
    EXPECT_EQ(text, "zy");
    EXPECT_FALSE(reader.ReadTextField(4, 4, text));
    EXPECT_EQ(text, "zy");
}

// Fields our own writer fills always hold their NUL; one without keeps what the writer could
// have stored, which reads back the same once written.
TEST(ByteReaderTest, StoredFieldsWithoutTheirNulKeepWhatTheWriterCouldStore) {
    struct Case {
        std::vector<uint8_t> bytes;
        size_t units;
        std::u16string expected;
    };
    const Case cases[] = {
        {{0x41, 0x00, 0x00, 0x00, 0x42, 0x00}, 3, u"A"},  // NUL inside: as stored
        {{0x41, 0x00, 0x42, 0x00, 0x43, 0x00}, 3, u"AB"}, // none: the last unit's place
        {{0x41, 0x00, 0x3D, 0xD8, 0x4E, 0xDC}, 3, u"A"},  // the cut would part a pair
        {{0x3D, 0xD8, 0x3D, 0xD8, 0x3D, 0xD8}, 3, {char16_t(0xD83D)}}, // one at the cut goes too
        {{0x41, 0x00, 0x42, 0x00, 0x3D, 0xD8}, 3, u"AB"},              // the dropped unit is one
        {{0x41, 0x00}, 1, u""},                                        // room for the NUL only
        {{}, 0, u""},                                                  // no field at all
    };
    for (const Case& c : cases) {
        std::u16string text = u"old";
        ASSERT_TRUE(ByteReader(c.bytes).ReadStoredUtf16Field(0, c.units, text));
        EXPECT_EQ(text, c.expected) << "case " << (&c - cases);
        if (c.units == 0) {
            continue;
        }
        std::vector<uint8_t> saved(c.bytes.size(), 0xEE);
        ASSERT_TRUE(ByteWriter(saved).PutUtf16Field(0, text, c.units));
        std::u16string again;
        ASSERT_TRUE(ByteReader(saved).ReadStoredUtf16Field(0, c.units, again));
        EXPECT_EQ(again, text) << "case " << (&c - cases);
    }
    std::u16string text = u"kept";
    EXPECT_FALSE(ByteReader(cases[0].bytes).ReadStoredUtf16Field(2, 3, text));
    EXPECT_EQ(text, u"kept");

    const std::vector<uint8_t> narrow = {'a', 'b', 'c', 0x00, 'x', 'y', 'z'};
    std::string bytes;
    ASSERT_TRUE(ByteReader(narrow).ReadStoredTextField(0, 4, bytes));
    EXPECT_EQ(bytes, "abc");
    ASSERT_TRUE(ByteReader(narrow).ReadStoredTextField(4, 3, bytes));
    EXPECT_EQ(bytes, "xy");
    ASSERT_TRUE(ByteReader(narrow).ReadStoredTextField(4, 1, bytes));
    EXPECT_EQ(bytes, "");
    EXPECT_FALSE(ByteReader(narrow).ReadStoredTextField(4, 4, bytes));
    EXPECT_EQ(bytes, "");
}

TEST(ByteWriterTest, PutsAreLittleEndianAndOutOfRangePutsWriteNothing) {
    std::vector<uint8_t> bytes(16, 0xEE);
    ByteWriter writer(bytes);
    ASSERT_TRUE(writer.PutU8(0, 0x01));
    ASSERT_TRUE(writer.PutU16(1, 0x0302));
    ASSERT_TRUE(writer.PutU32(3, 0x07060504));
    ASSERT_TRUE(writer.PutU64(8, 0x100F0E0D0C0B0A09));
    const std::vector<uint8_t> expected = {1, 2,  3,  4,  5,  6,  7,  0xEE,
                                           9, 10, 11, 12, 13, 14, 15, 16};
    EXPECT_EQ(bytes, expected);

    for (size_t offset : {size_t{9}, size_t{16}, kMax, kMax - 7}) {
        EXPECT_FALSE(writer.PutU64(offset, 0)) << offset;
    }
    EXPECT_FALSE(writer.PutU32(13, 0));
    EXPECT_FALSE(writer.PutU16(15, 0));
    EXPECT_FALSE(writer.PutU8(16, 0));
    const std::vector<uint8_t> block = {0, 0, 0};
    EXPECT_FALSE(writer.PutBytes(14, block));
    EXPECT_FALSE(writer.PutUtf16Field(12, u"", 3));
    EXPECT_FALSE(writer.PutUtf16Field(0, u"", kMax / 2 + 1));
    EXPECT_FALSE(writer.PutTextField(14, "", 3));
    EXPECT_FALSE(writer.PutTextField(kMax, "", 1));
    EXPECT_EQ(bytes, expected);

    ASSERT_TRUE(writer.PutBytes(13, block));
    EXPECT_EQ(bytes[12], 13);
    EXPECT_EQ(bytes[13], 0);
    EXPECT_EQ(bytes[15], 0);
}

TEST(ByteWriterTest, TextFieldsKeepTheirNulAndZeroTheirRest) {
    std::vector<uint8_t> bytes(12, 0xEE);
    ByteWriter writer(bytes);
    ASSERT_TRUE(writer.PutUtf16Field(1, u"\u00E9", 4));
    EXPECT_EQ(bytes, (std::vector<uint8_t>{0xEE, 0xE9, 0, 0, 0, 0, 0, 0, 0, 0xEE, 0xEE, 0xEE}));

    // Text that fills the field is cut to leave room for the NUL; text past a NUL is dropped.
    ASSERT_TRUE(writer.PutUtf16Field(1, u"ABCD", 4));
    EXPECT_EQ(bytes, (std::vector<uint8_t>{0xEE, 'A', 0, 'B', 0, 'C', 0, 0, 0, 0xEE, 0xEE, 0xEE}));
    ASSERT_TRUE(writer.PutUtf16Field(1, std::u16string(u"A\0BC", 4), 4));
    EXPECT_EQ(bytes, (std::vector<uint8_t>{0xEE, 'A', 0, 0, 0, 0, 0, 0, 0, 0xEE, 0xEE, 0xEE}));

    // A field of no room at all cannot hold the NUL.
    EXPECT_FALSE(writer.PutUtf16Field(0, u"", 0));
    EXPECT_FALSE(writer.PutTextField(0, "", 0));

    ASSERT_TRUE(writer.PutTextField(0, "wxyz", 4));
    ASSERT_TRUE(writer.PutTextField(4, std::string("p\0q", 3), 3));
    ASSERT_TRUE(writer.PutTextField(7, "\xC3\xA9", 5));
    EXPECT_EQ(bytes, (std::vector<uint8_t>{'w', 'x', 'y', 0, 'p', 0, 0, 0xC3, 0xA9, 0, 0, 0}));
}

TEST(ByteWriterTest, CutsNeverEndOnHalfASurrogatePair) {
    const std::u16string clef = u"ab\U0001D11E"; // a, b, then a pair
    std::vector<uint8_t> bytes(8, 0xEE);
    ByteWriter writer(bytes);
    ASSERT_TRUE(writer.PutUtf16Field(0, clef, 4));
    const ByteReader reader(bytes);
    std::u16string text;
    ASSERT_TRUE(reader.ReadUtf16Field(0, 4, text));
    EXPECT_EQ(text, u"ab");
    EXPECT_EQ(bytes, (std::vector<uint8_t>{'a', 0, 'b', 0, 0, 0, 0, 0}));

    // With room for the whole pair it is kept; a lone high surrogate that was not cut is the
    // caller's text and is stored as given.
    std::vector<uint8_t> wide(10, 0xEE);
    ByteWriter wideWriter(wide);
    ASSERT_TRUE(wideWriter.PutUtf16Field(0, clef, 5));
    ASSERT_TRUE(ByteReader(wide).ReadUtf16Field(0, 5, text));
    EXPECT_EQ(text, clef);
    const std::u16string lone = {u'a', char16_t(0xD834)};
    ASSERT_TRUE(wideWriter.PutUtf16Field(0, lone, 5));
    ASSERT_TRUE(ByteReader(wide).ReadUtf16Field(0, 5, text));
    EXPECT_EQ(text, lone);
}

} // namespace

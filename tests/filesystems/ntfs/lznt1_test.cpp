#include "filesystems/ntfs/lznt1.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

// One item of a compressed chunk: a literal byte, or a back-reference token as stored.
struct Item {
    bool reference = false;
    uint16_t value = 0;
};

Item Lit(char c) {
    return {false, static_cast<uint8_t>(c)};
}
Item Ref(uint16_t token) {
    return {true, token};
}

void AddLiterals(std::vector<Item>& items, const std::string& text) {
    for (char c : text)
        items.push_back(Lit(c));
}

// A compressed chunk: the header (signature 0xB000 and size - 3), then a flag byte before
// every eight items.
Bytes Chunk(const std::vector<Item>& items) {
    Bytes data;
    for (size_t group = 0; group < items.size(); group += 8) {
        const size_t flagAt = data.size();
        data.push_back(0);
        for (size_t i = group; i < items.size() && i < group + 8; ++i) {
            if (items[i].reference) {
                data[flagAt] |= static_cast<uint8_t>(1u << (i - group));
                data.push_back(static_cast<uint8_t>(items[i].value));
                data.push_back(static_cast<uint8_t>(items[i].value >> 8));
            } else {
                data.push_back(static_cast<uint8_t>(items[i].value));
            }
        }
    }
    const uint16_t header = static_cast<uint16_t>(0xB000 | (data.size() + 2 - 3));
    data.insert(data.begin(), {static_cast<uint8_t>(header), static_cast<uint8_t>(header >> 8)});
    return data;
}

// A chunk stored raw: header 0x3FFF and 4096 bytes.
Bytes RawChunk(const Bytes& content) {
    Bytes data = {0xFF, 0x3F};
    data.insert(data.end(), content.begin(), content.end());
    return data;
}

Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

Bytes Text(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

struct Result {
    bool ok = false;
    Bytes out;
};

Result Decompress(const Bytes& input, size_t capacity = 65536) {
    Result result;
    result.out.assign(capacity, 0xEE);
    size_t length = capacity;
    result.ok = DecompressLznt1(result.out.data(), length, input.data(), input.size());
    result.out.resize(length);
    return result;
}

TEST(Lznt1Test, LiteralsOnlyAcrossSeveralFlagBytes) {
    std::vector<Item> items;
    AddLiterals(items, "Literal bytes, more than eight of them.");
    const Result result = Decompress(Chunk(items));
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(result.out, Text("Literal bytes, more than eight of them."));
}

TEST(Lznt1Test, ReferencesSplitTheirTokenByPositionInTheChunk) {
    // Tokens written out by hand: displacement - 1 in the high bits, length - 3 in the low.
    const std::string alphabet = "ABCDEFGHIJKLMNOP"; // 16 bytes
    {
        // Position 16: still 4 displacement bits. Displacement 16, length 3.
        std::vector<Item> items;
        AddLiterals(items, alphabet);
        items.push_back(Ref(0xF000));
        const Result result = Decompress(Chunk(items));
        ASSERT_TRUE(result.ok);
        EXPECT_EQ(result.out, Text(alphabet + "ABC"));
    }
    {
        // Position 17: 5 displacement bits. Displacement 17, length 4.
        std::vector<Item> items;
        AddLiterals(items, alphabet + "Q");
        items.push_back(Ref(0x8001));
        const Result result = Decompress(Chunk(items));
        ASSERT_TRUE(result.ok);
        EXPECT_EQ(result.out, Text(alphabet + "QABCD"));
    }
    {
        // Position 32: still 5 bits. Displacement 32, length 3; then at 35, 6 bits:
        // displacement 35, length 5.
        std::vector<Item> items;
        AddLiterals(items, alphabet + "abcdefghijklmnop");
        items.push_back(Ref(0xF800));
        items.push_back(Ref(0x8802));
        const Result result = Decompress(Chunk(items));
        ASSERT_TRUE(result.ok);
        EXPECT_EQ(result.out, Text(alphabet + "abcdefghijklmnop" + "ABC" + "ABCDE"));
    }
    {
        // Position 33: 6 bits. Displacement 33, length 3 (token 32 << 10).
        std::vector<Item> items;
        AddLiterals(items, alphabet + "abcdefghijklmnop" + "!");
        items.push_back(Ref(0x8000));
        const Result result = Decompress(Chunk(items));
        ASSERT_TRUE(result.ok);
        EXPECT_EQ(result.out, Text(alphabet + "abcdefghijklmnop!ABC"));
    }
    {
        // Position 66: 7 bits. Displacement 2, length 7 (token 1 << 9 | 4).
        std::string start(64, '.');
        start += "xy";
        std::vector<Item> items;
        AddLiterals(items, start);
        items.push_back(Ref(0x0204));
        const Result result = Decompress(Chunk(items));
        ASSERT_TRUE(result.ok);
        EXPECT_EQ(result.out, Text(start + "xyxyxyx"));
    }
}

TEST(Lznt1Test, OverlappingReferenceRepeatsWhatItJustWrote) {
    // One 'A', then displacement 1 with the longest length at position 1: 4095 more.
    const Result result = Decompress(Chunk({Lit('A'), Ref(0x0FFC)}));
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(result.out, Bytes(4096, 'A'));
    // "ab" repeated: displacement 2, length 6.
    const Result pattern = Decompress(Chunk({Lit('a'), Lit('b'), Ref(0x1003)}));
    ASSERT_TRUE(pattern.ok);
    EXPECT_EQ(pattern.out, Text("abababab"));
}

TEST(Lznt1Test, FarReferenceNearTheChunkEnd) {
    // 18 literals; at position 18 (11 length bits) displacement 1, length 2050; then from
    // position 2068 on (4 length bits) displacement 1 in steps of at most 18, up to 4000.
    const std::string head = "0123456789abcdefgh";
    std::vector<Item> items;
    AddLiterals(items, head);
    items.push_back(Ref(0x07FF));
    for (size_t pos = 2068; pos < 4000;) {
        const size_t length = std::min<size_t>(18, 4000 - pos);
        items.push_back(Ref(static_cast<uint16_t>(length - 3)));
        pos += length;
    }
    // At position 4000, 12 displacement bits: displacement 4000, length 18, back to the start.
    items.push_back(Ref(static_cast<uint16_t>((3999 << 4) | 15)));
    const Result result = Decompress(Chunk(items));
    ASSERT_TRUE(result.ok);
    std::string expected = head + std::string(4000 - head.size(), 'h') + head;
    EXPECT_EQ(result.out, Text(expected));
}

TEST(Lznt1Test, RawChunksAndPaddingBetweenChunks) {
    Bytes raw(4096);
    for (size_t i = 0; i < raw.size(); ++i)
        raw[i] = static_cast<uint8_t>(i ^ (i >> 8));
    const Bytes shortChunk = Chunk({Lit('h'), Lit('i')});
    // A short chunk followed by another stands for 4096 bytes; the last is not padded.
    const Result result = Decompress(Join({shortChunk, RawChunk(raw), shortChunk}));
    ASSERT_TRUE(result.ok);
    Bytes expected = Text("hi");
    expected.resize(4096, 0);
    expected.insert(expected.end(), raw.begin(), raw.end());
    expected.insert(expected.end(), {'h', 'i'});
    EXPECT_EQ(result.out, expected);
}

TEST(Lznt1Test, ZeroHeaderEndsTheData) {
    const Bytes input = Join({Chunk({Lit('o'), Lit('k')}), Bytes{0, 0}, Chunk({Lit('x')})});
    const Result result = Decompress(input);
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(result.out, Text("ok"));
    // Nothing at all, and a lone byte that cannot be a header, give nothing.
    EXPECT_TRUE(Decompress({}).ok);
    EXPECT_TRUE(Decompress({}).out.empty());
    EXPECT_TRUE(Decompress(Bytes{0x12}).out.empty());
}

TEST(Lznt1Test, ReferencesOutsideTheChunkFail) {
    // A reference before anything was written, one reaching before the chunk's start, one
    // running past its 4096 bytes.
    EXPECT_FALSE(Decompress(Chunk({Ref(0x0000)})).ok);
    EXPECT_FALSE(Decompress(Chunk({Lit('a'), Lit('b'), Ref(0x2000)})).ok);
    EXPECT_FALSE(Decompress(Chunk({Lit('A'), Ref(0x0FFD)})).ok);
    // The second chunk's reference may not reach into the first chunk's output.
    const Bytes second = Chunk({Lit('z'), Ref(0x1000)});
    EXPECT_FALSE(Decompress(Join({Chunk({Lit('a'), Ref(0x0FFC)}), second})).ok);
}

TEST(Lznt1Test, OutputPastTheCapacityFails) {
    EXPECT_FALSE(Decompress(Chunk({Lit('A'), Ref(0x0FFC)}), 100).ok);
    EXPECT_FALSE(Decompress(RawChunk(Bytes(4096, 1)), 4095).ok);
    // Padding counts too: the short first chunk needs 4096 bytes before the second.
    EXPECT_FALSE(Decompress(Join({Chunk({Lit('a')}), Chunk({Lit('b')})}), 4096).ok);
    // Exactly the capacity is fine.
    const Result exact = Decompress(Chunk({Lit('A'), Ref(0x0FFC)}), 4096);
    EXPECT_TRUE(exact.ok);
    EXPECT_EQ(exact.out.size(), 4096u);
}

TEST(Lznt1Test, TruncatedInputFails) {
    std::vector<Item> items;
    AddLiterals(items, "sixteen letters!");
    items.push_back(Ref(0xF000));
    const Bytes whole = Chunk(items);
    ASSERT_TRUE(Decompress(whole).ok);
    // The header promises more than the input holds.
    for (size_t cut = 3; cut < whole.size(); ++cut) {
        const Bytes part(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(cut));
        EXPECT_FALSE(Decompress(part).ok) << "cut at " << cut;
    }
    // A chunk whose stated size ends inside a reference token.
    Bytes cutToken = Chunk({Lit('a'), Ref(0x0001)});
    cutToken.pop_back();
    cutToken[0] = static_cast<uint8_t>(cutToken[0] - 1);
    EXPECT_FALSE(Decompress(cutToken).ok);
}

TEST(Lznt1Test, RawChunkShortOfInputCopiesWhatThereIs) {
    Bytes raw = RawChunk(Bytes(4096, 7));
    raw.resize(2 + 1000);
    const Result result = Decompress(raw);
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(result.out, Bytes(1000, 7));
}

} // namespace

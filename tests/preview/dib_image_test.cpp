#include "preview/dib_image.h"
#include "preview/image_mem_stream.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

namespace {

uint32_t Le32(const std::vector<uint8_t>& block, size_t at) {
    return uint32_t{block[at]} | (uint32_t{block[at + 1]} << 8) | (uint32_t{block[at + 2]} << 16) |
           (uint32_t{block[at + 3]} << 24);
}

TEST(DibImageTest, CreateRoundsTheDepthAndFillsTheHeader) {
    const struct {
        uint32_t width, height, bpp;
        uint32_t depth, entries, stride;
    } cases[] = {
        {1, 1, 0, 1, 2, 4},   {33, 2, 1, 1, 2, 8},   {7, 3, 2, 4, 16, 4},
        {9, 3, 4, 4, 16, 8},  {5, 4, 5, 8, 256, 8},  {4, 4, 8, 8, 256, 4},
        {5, 2, 9, 24, 0, 16}, {3, 3, 16, 24, 0, 12}, {1, 1, 32, 24, 0, 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bpp);
        CDibImage image;
        ASSERT_NE(image.Create(c.width, c.height, c.bpp, CDibImage::kTypePng), nullptr);
        EXPECT_EQ(image.Bpp(), c.depth);
        EXPECT_EQ(image.PaletteEntries(), c.entries);
        EXPECT_EQ(image.Stride(), c.stride);
        const auto& block = image.Block();
        ASSERT_EQ(block.size(), 40 + c.entries * 4 + size_t{c.stride} * c.height);
        EXPECT_EQ(Le32(block, 0), 40u);
        EXPECT_EQ(Le32(block, 4), c.width);
        EXPECT_EQ(Le32(block, 8), c.height);
        EXPECT_EQ(block[12] | (block[13] << 8), 1);
        EXPECT_EQ(block[14] | (block[15] << 8), static_cast<int>(c.depth));
        EXPECT_EQ(Le32(block, 16), 0u);
        EXPECT_EQ(Le32(block, 20), c.stride * c.height);
        EXPECT_EQ(Le32(block, 32), c.entries);
    }
}

TEST(DibImageTest, CreateRefusesEmptyAndOverLargePicturesBeforeAllocating) {
    const struct {
        uint32_t width, height;
        bool fits;
    } cases[] = {
        {0, 10, false},
        {10, 0, false},
        {10000, 10000, true}, // exactly the cap
        {10000, 10001, false},
        {0xFFFFFFFF, 0xFFFFFFFF, false}, // a 32-bit height x stride would wrap
        {65536, 65536, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
        CDibImage image;
        // One bit a pixel keeps the accepted case small.
        EXPECT_EQ(image.Create(c.width, c.height, 1, CDibImage::kTypeBmp) != nullptr, c.fits);
        EXPECT_EQ(image.IsValid(), c.fits);
        if (!c.fits) {
            EXPECT_FALSE(image.ErrorText().empty());
        }
    }
}

TEST(DibImageTest, RowsCountFromTheTopOverBottomUpStorage) {
    CDibImage image;
    ASSERT_NE(image.Create(3, 2, 8, CDibImage::kTypeBmp), nullptr);
    image.SetPixelIndex(0, 0, 7); // top row
    image.SetPixelIndex(2, 1, 9); // bottom row
    const auto& block = image.Block();
    const size_t pixels = 40 + 256 * 4;
    EXPECT_EQ(block[pixels + 2], 9); // the first stored row is the bottom one
    EXPECT_EQ(block[pixels + image.Stride()], 7);
    image.FlipRows();
    EXPECT_EQ(image.GetPixelIndex(0, 1), 7);
    EXPECT_EQ(image.GetPixelIndex(2, 0), 9);
    EXPECT_EQ(image.Row(2), nullptr);
    EXPECT_EQ(image.GetPixelIndex(3, 0), 0); // outside: nothing
}

TEST(DibImageTest, PackedIndicesAndBitfieldsConvert) {
    CDibImage image;
    ASSERT_NE(image.Create(9, 1, 4, CDibImage::kTypeBmp), nullptr);
    for (uint32_t x = 0; x < 9; ++x)
        image.SetPixelIndex(x, 0, static_cast<uint8_t>(x + 3));
    for (uint32_t x = 0; x < 9; ++x)
        EXPECT_EQ(image.GetPixelIndex(x, 0), (x + 3) & 0x0F);
    EXPECT_EQ(image.Row(0)[0], 0x34);

    const struct {
        uint32_t pixel;
        uint32_t masks[3];
        uint8_t bgr[3];
    } fields[] = {
        {0x7FFF, {0x7C00, 0x03E0, 0x001F}, {255, 255, 255}},
        {0x0421, {0x7C00, 0x03E0, 0x001F}, {8, 8, 8}},
        {0xF800, {0xF800, 0x07E0, 0x001F}, {0, 0, 255}},
        {0x07E0, {0xF800, 0x07E0, 0x001F}, {0, 255, 0}},
        {0x12345678, {0xFF0000, 0xFF00, 0xFF}, {0x78, 0x56, 0x34}},
        {0x12345678, {0xFF000000, 0xFF0000, 0xFF00}, {0x56, 0x34, 0x12}},
    };
    for (const auto& f : fields) {
        uint8_t bgr[3] = {};
        CDibImage::BitfieldTo24(f.pixel, f.masks, bgr);
        EXPECT_EQ(std::vector<uint8_t>(bgr, bgr + 3), std::vector<uint8_t>(f.bgr, f.bgr + 3))
            << std::hex << f.pixel;
    }
}

TEST(DibImageTest, AnUnknownTypeFailsWithAText) {
    const uint8_t bytes[] = {'B', 'M', 0, 0};
    for (const uint32_t type : {8u, 100u, 0xFFFFFFFFu}) {
        const CDibImage image(bytes, sizeof bytes, type);
        EXPECT_FALSE(image.IsValid());
        EXPECT_FALSE(image.ErrorText().empty());
    }
    const CDibImage empty(nullptr, 0, CDibImage::kTypeUnknown);
    EXPECT_FALSE(empty.IsValid());
}

TEST(ImageMemStreamTest, ReadsWholeElementsAndSeeksInsideTheData) {
    const uint8_t data[10] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    CImageMemStream stream(data, sizeof data);
    uint8_t into[8] = {};
    EXPECT_EQ(stream.Read(into, 4, 3), 2u); // two whole elements of four, not a part of a third
    EXPECT_EQ(stream.Tell(), 8u);
    EXPECT_EQ(stream.GetC(), 8);
    EXPECT_EQ(stream.GetC(), 9);
    EXPECT_EQ(stream.GetC(), -1);
    EXPECT_TRUE(stream.Eof());
    const struct {
        int64_t offset;
        int origin;
        bool ok;
        size_t position;
    } seeks[] = {
        {0, SEEK_SET, true, 0},    {10, SEEK_SET, true, 10}, {11, SEEK_SET, false, 10},
        {-1, SEEK_SET, false, 10}, {-3, SEEK_END, true, 7},  {2, SEEK_CUR, true, 9},
        {2, SEEK_CUR, false, 9},   {-9, SEEK_CUR, true, 0},  {INT64_MAX, SEEK_END, false, 0},
        {0, 7, false, 0},
    };
    for (const auto& s : seeks) {
        EXPECT_EQ(stream.Seek(s.offset, s.origin), s.ok) << s.offset;
        EXPECT_EQ(stream.Tell(), s.position) << s.offset;
    }
    EXPECT_EQ(stream.Write("x", 1, 1), 0u); // a caller's buffer is never written
    EXPECT_TRUE(stream.Error());
}

TEST(ImageMemStreamTest, AnOwnedStreamGrowsOnWrites) {
    CImageMemStream stream;
    std::vector<uint8_t> chunk(5000, 0xAB);
    EXPECT_EQ(stream.Write(chunk.data(), 1000, 5), 5u);
    EXPECT_EQ(stream.Size(), 5000u);
    EXPECT_EQ(stream.PutC(0x11), 0x11);
    ASSERT_TRUE(stream.Seek(0, SEEK_SET));
    std::vector<uint8_t> back(5001);
    EXPECT_EQ(stream.Read(back.data(), 1, back.size()), 5001u);
    EXPECT_EQ(back[4999], 0xAB);
    EXPECT_EQ(back[5000], 0x11);
    EXPECT_FALSE(stream.Error());
}

} // namespace

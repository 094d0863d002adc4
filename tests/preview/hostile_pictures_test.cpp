// Damaged and hostile pictures fail cleanly (an empty image and an error text) or decode inside
// their bounds; run under the sanitizers, any write outside a buffer fails the run.
#include "preview/dib_image.h"
#include "preview/exif_reader.h"
#include "tests/preview/picture_archive.h"
#include "tests/preview/picture_bytes.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kTypes[] = {CDibImage::kTypeUnknown, CDibImage::kTypeBmp, CDibImage::kTypeGif,
                               CDibImage::kTypeJpeg,    CDibImage::kTypePng, CDibImage::kTypeIco,
                               CDibImage::kTypeTiff,    CDibImage::kTypeWbmp};

std::vector<uint8_t> Bmp(int32_t width, int32_t height, uint32_t bits, uint32_t compression,
                         uint32_t colorsUsed, const std::vector<uint8_t>& afterHeader) {
    PictureBytes b;
    b.Text("BM").Le32(0).Le32(0).Le32(0); // no pixel offset: the pixels follow the palette
    b.Le32(40).Le32(static_cast<uint32_t>(width)).Le32(static_cast<uint32_t>(height)).Le16(1);
    b.Le16(bits).Le32(compression).Le32(0).Le32(2835).Le32(2835).Le32(colorsUsed).Le32(0);
    std::vector<uint8_t> bytes = b.Get();
    bytes.insert(bytes.end(), afterHeader.begin(), afterHeader.end());
    return bytes;
}

std::vector<uint8_t> Palette(uint32_t entries) {
    PictureBytes b;
    for (uint32_t i = 0; i < entries; ++i)
        b.Byte(i).Byte(i * 2).Byte(i * 3).Byte(0);
    return b.Get();
}

std::vector<uint8_t> Join(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// LZW codes of `bits` bits each, least significant bit first, as GIF sub-blocks.
std::vector<uint8_t> GifCodes(const std::vector<uint32_t>& codes, uint32_t bits) {
    std::vector<uint8_t> packed;
    uint64_t buffer = 0;
    uint32_t filled = 0;
    for (uint32_t code : codes) {
        buffer |= uint64_t{code} << filled;
        filled += bits;
        while (filled >= 8) {
            packed.push_back(static_cast<uint8_t>(buffer));
            buffer >>= 8;
            filled -= 8;
        }
    }
    if (filled > 0)
        packed.push_back(static_cast<uint8_t>(buffer));
    std::vector<uint8_t> blocks{static_cast<uint8_t>(packed.size())};
    blocks.insert(blocks.end(), packed.begin(), packed.end());
    blocks.push_back(0);
    return blocks;
}

// A 2 x 2 GIF with a 2-entry global table; `transparent` < 0 for none.
std::vector<uint8_t> Gif(uint16_t screen, uint16_t frame, int transparent, uint8_t codeSize,
                         const std::vector<uint32_t>& codes) {
    PictureBytes b;
    b.Text("GIF89a").Le16(screen).Le16(screen).Byte(0x80).Byte(0).Byte(0);
    b.Bytes({0, 0, 0, 255, 255, 255});
    if (transparent >= 0)
        b.Bytes({0x21, 0xF9, 4, 1, 0, 0, static_cast<uint8_t>(transparent), 0});
    b.Byte(',').Le16(0).Le16(0).Le16(frame).Le16(frame).Byte(0).Byte(codeSize);
    std::vector<uint8_t> bytes = Join(b.Get(), GifCodes(codes, 3));
    bytes.push_back(';');
    return bytes;
}

// One pixel after each clear code, so the table never grows and codes stay 3 bits.
const std::vector<uint32_t> kTwoByTwo = {4, 0, 4, 1, 4, 1, 4, 0, 5};

std::vector<uint8_t> Tiff(uint32_t width, uint32_t height, uint32_t nextDirectory) {
    PictureBytes b;
    b.Text("II").Le16(42).Le32(8);
    const uint16_t entries = 9;
    const uint32_t data = 8 + 2 + entries * 12 + 4;
    b.Le16(entries);
    auto entry = [&b](uint16_t tag, uint16_t type, uint32_t value) {
        b.Le16(tag).Le16(type).Le32(1);
        if (type == 3)
            b.Le16(value).Le16(0);
        else
            b.Le32(value);
    };
    entry(256, 4, width);
    entry(257, 4, height);
    entry(258, 3, 8);
    entry(259, 3, 1);
    entry(262, 3, 1);
    entry(273, 4, data);
    entry(277, 3, 1);
    entry(278, 4, height);
    entry(279, 4, 4);
    b.Le32(nextDirectory);
    b.Bytes({10, 20, 30, 40});
    return b.Get();
}

// A JPEG start with one Exif block: `ifds` is the TIFF body after its 8-byte header.
std::vector<uint8_t> ExifJpeg(const std::vector<uint8_t>& ifds) {
    PictureBytes tiff;
    tiff.Text("II").Le16(42).Le32(8);
    std::vector<uint8_t> body = Join(tiff.Get(), ifds);
    PictureBytes b;
    b.Bytes({0xFF, 0xD8, 0xFF, 0xE1}).Be16(static_cast<uint32_t>(body.size() + 8)).Text("Exif");
    b.Byte(0).Byte(0);
    return Join(Join(b.Get(), body), {0xFF, 0xD9});
}

uint32_t Crc32(const uint8_t* data, size_t size) {
    uint32_t crc = 0xFFFFFFFF;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320 & (0 - (crc & 1)));
    }
    return ~crc;
}

std::vector<uint8_t> PngHeaderOnly(uint32_t width, uint32_t height) {
    PictureBytes b;
    b.Bytes({0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'});
    PictureBytes chunk;
    chunk.Text("IHDR").Be32(width).Be32(height).Bytes({8, 2, 0, 0, 0});
    b.Be32(13);
    std::vector<uint8_t> bytes = Join(b.Get(), chunk.Get());
    PictureBytes crc;
    crc.Be32(Crc32(chunk.Get().data(), chunk.Size()));
    return Join(bytes, crc.Get());
}

struct HostileCase {
    const char* name;
    std::vector<uint8_t> bytes;
    uint32_t type;
    bool decodes;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t bpp = 0;
};

std::vector<HostileCase> HostileCases() {
    std::vector<uint8_t> rows8(8, 1);
    std::vector<uint8_t> ico256;
    {
        PictureBytes b;
        b.Le16(0).Le16(1).Le16(1);
        b.Bytes({0, 0, 2, 0}).Le16(1).Le16(1).Le32(40 + 8 + 256 * 32 * 2).Le32(22);
        b.Le32(40).Le32(256).Le32(512).Le16(1).Le16(1).Le32(0).Le32(0).Le32(0).Le32(0).Le32(0).Le32(
            0);
        b.Bytes({0, 0, 0, 0, 255, 255, 255, 0}).Fill(256 * 32, 0x55).Fill(256 * 32, 0x0F);
        ico256 = b.Get();
    }
    PictureBytes rle8;
    // A run longer than the row, a delta far outside, a literal past the end, then the end.
    rle8.Bytes({255, 1, 0, 2, 200, 0, 4, 2, 0, 0, 0, 5, 1, 2, 3, 4, 5, 0, 0, 2, 0, 250, 0, 1});
    PictureBytes rle4;
    rle4.Bytes({255, 0x12, 0, 0, 0, 9, 0x12, 0x34, 0x56, 0x78, 0x90, 0, 0, 2, 255, 255, 0, 1});
    std::vector<HostileCase> cases = {
        {"bmp colours used beyond the palette", Bmp(4, 2, 8, 0, 100000, Join(Palette(256), rows8)),
         CDibImage::kTypeBmp, true, 4, 2, 8},
        {"bmp 2 bits", Bmp(4, 2, 2, 0, 0, Join(Palette(4), rows8)), CDibImage::kTypeBmp, false},
        {"bmp 7 bits", Bmp(4, 2, 7, 0, 0, Join(Palette(128), rows8)), CDibImage::kTypeBmp, false},
        {"bmp 0 bits", Bmp(4, 2, 0, 0, 0, rows8), CDibImage::kTypeBmp, false},
        {"bmp 48 bits", Bmp(1, 1, 48, 0, 0, std::vector<uint8_t>(8)), CDibImage::kTypeBmp, false},
        {"bmp zero red mask",
         Bmp(2, 1, 16, 3, 0, {0, 0, 0, 0, 0xE0, 0x07, 0, 0, 0x1F, 0, 0, 0, 1, 2, 3, 4}),
         CDibImage::kTypeBmp, false},
        {"bmp zero masks 32 bits", Bmp(1, 1, 32, 3, 0, std::vector<uint8_t>(16)),
         CDibImage::kTypeBmp, false},
        {"bmp rle8 past the image", Bmp(4, 2, 8, 1, 0, Join(Palette(256), rle8.Get())),
         CDibImage::kTypeBmp, true, 4, 2, 8},
        {"bmp rle4 past the image", Bmp(5, 2, 4, 2, 0, Join(Palette(16), rle4.Get())),
         CDibImage::kTypeBmp, true, 5, 2, 4},
        {"bmp rle8 on 4 bits", Bmp(4, 2, 4, 1, 0, Join(Palette(16), rle8.Get())),
         CDibImage::kTypeBmp, false},
        {"bmp size over the cap", Bmp(0x7FFFFFFF, 0x7FFFFFFF, 24, 0, 0, rows8), CDibImage::kTypeBmp,
         false},
        {"bmp most negative height", Bmp(4, INT32_MIN, 24, 0, 0, rows8), CDibImage::kTypeBmp,
         false},
        {"bmp rows cut short", Bmp(4, 4, 24, 0, 0, rows8), CDibImage::kTypeBmp, false},
        {"gif transparent index past a 2-entry table", Gif(2, 2, 200, 2, kTwoByTwo),
         CDibImage::kTypeGif, true, 2, 2, 8},
        {"gif without transparency", Gif(2, 2, -1, 2, kTwoByTwo), CDibImage::kTypeGif, true, 2, 2,
         1},
        {"gif code size 12", Gif(2, 2, -1, 12, kTwoByTwo), CDibImage::kTypeGif, false},
        {"gif code size 0", Gif(2, 2, -1, 0, kTwoByTwo), CDibImage::kTypeGif, false},
        {"gif code past the table", Gif(2, 2, -1, 2, {4, 0, 7, 5}), CDibImage::kTypeGif, false},
        {"gif huge screen and frame", Gif(65535, 65535, -1, 2, kTwoByTwo), CDibImage::kTypeGif,
         false},
        {"gif frame outside the screen", Gif(1, 2, -1, 2, kTwoByTwo), CDibImage::kTypeGif, false},
        {"ico without entries", {0, 0, 1, 0, 0, 0}, CDibImage::kTypeIco, false},
        {"ico 256 pixels as size byte 0", ico256, CDibImage::kTypeIco, true, 256, 256, 1},
        {"ico entry offset past the end",
         {0, 0, 1, 0, 1, 0, 16, 16, 0, 0, 1, 0, 32, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x7F},
         CDibImage::kTypeIco,
         false},
        {"wbmp type 1", {1, 0, 2, 2, 0, 0}, CDibImage::kTypeWbmp, false},
        {"wbmp width 0", {0, 0, 0, 2, 0, 0}, CDibImage::kTypeWbmp, false},
        {"wbmp sizes that overflow",
         {0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 0x01},
         CDibImage::kTypeWbmp,
         false},
        {"wbmp multi-byte 130 x 2",
         Join({0, 0, 0x81, 0x02, 0x02}, std::vector<uint8_t>(17 * 2, 0xAA)), CDibImage::kTypeWbmp,
         true, 130, 2, 1},
        {"png size over the cap", PngHeaderOnly(100000, 100000), CDibImage::kTypePng, false},
        {"png header only", PngHeaderOnly(4, 4), CDibImage::kTypePng, false},
        {"tiff size over the cap", Tiff(0x40000000, 0x40000000, 0), CDibImage::kTypeTiff, false},
        {"tiff directory pointing at itself", Tiff(2, 2, 8), CDibImage::kTypeTiff, true, 2, 2, 8},
        {"jpeg size over the cap",
         {0xFF, 0xD8, 0xFF, 0xC0, 0, 17,   8, 0xFF, 0xFF, 0xFF, 0xFF,
          3,    1,    0x11, 0,    2, 0x11, 0, 3,    0x11, 0},
         CDibImage::kTypeJpeg,
         false},
    };
    return cases;
}

TEST(HostilePicturesTest, FailCleanlyOrDecodeInsideTheirBounds) {
    for (const HostileCase& c : HostileCases()) {
        SCOPED_TRACE(c.name);
        for (const uint32_t type : {c.type, CDibImage::kTypeUnknown}) {
            const CDibImage image(c.bytes.data(), c.bytes.size(), type);
            if (type == CDibImage::kTypeUnknown && !c.decodes)
                continue; // another decoder may accept some of them
            EXPECT_EQ(image.IsValid(), c.decodes) << image.ErrorText();
            if (!c.decodes) {
                EXPECT_FALSE(image.ErrorText().empty());
                EXPECT_EQ(image.Width(), 0u);
                continue;
            }
            EXPECT_EQ(image.Width(), c.width);
            EXPECT_EQ(image.Height(), c.height);
            EXPECT_EQ(image.Bpp(), c.bpp);
        }
    }
}

TEST(HostilePicturesTest, MendedLayoutsKeepTheirPixels) {
    const auto cases = HostileCases();
    auto find = [&cases](const std::string& name) -> const HostileCase& {
        for (const HostileCase& c : cases)
            if (c.name == name)
                return c;
        throw std::out_of_range(name);
    };
    {
        const auto& c = find("gif transparent index past a 2-entry table");
        const CDibImage image(c.bytes.data(), c.bytes.size(), c.type);
        EXPECT_EQ(image.GetInfo().transparentIndex, 200);
        EXPECT_EQ(image.PaletteEntries(), 256u);
        const RgbQuad white = image.GetPaletteColor(200);
        EXPECT_EQ(white.red + white.green + white.blue, 3 * 255);
        EXPECT_EQ(image.GetPixelIndex(0, 0), 0);
        EXPECT_EQ(image.GetPixelIndex(1, 0), 1);
        EXPECT_EQ(image.GetPixelIndex(0, 1), 1);
        EXPECT_EQ(image.GetPixelIndex(1, 1), 0);
    }
    {
        const auto& c = find("bmp rle8 past the image");
        const CDibImage image(c.bytes.data(), c.bytes.size(), c.type);
        for (uint32_t x = 0; x < 4; ++x)
            EXPECT_EQ(image.GetPixelIndex(x, 1), 1); // the bottom row, first in the file
    }
    {
        const auto& c = find("ico 256 pixels as size byte 0");
        const CDibImage image(c.bytes.data(), c.bytes.size(), c.type);
        EXPECT_EQ(image.GetPixelIndex(0, 0), 0);
        EXPECT_EQ(image.GetPixelIndex(1, 0), 1);
        EXPECT_EQ(image.AlphaGet(3, 0), 255);
        EXPECT_EQ(image.AlphaGet(4, 0), 0);
    }
    {
        const auto& c = find("tiff directory pointing at itself");
        const CDibImage image(c.bytes.data(), c.bytes.size(), c.type);
        EXPECT_EQ(image.GetInfo().frameCount, 1);
        EXPECT_EQ(image.GetPixelColor(1, 1).red, 40);
    }
}

TEST(HostilePicturesTest, CutPicturesFailCleanlyAtEveryPoint) {
    const auto files = LoadPictureFixtures();
    const char* names[] = {"bmp_24bit.bmp",    "bmp_rle8.bmp",       "jpeg_progressive.jpg",
                           "jpeg_cmyk.jpg",    "png_adam7.png",      "png_palette_trns.png",
                           "icon_32bit.ico",   "gif_interlaced.gif", "tiff_rgb_tiles.tif",
                           "tiff_g4.tif",      "tiff_multipage.tif", "tiff_rgb_jpeg.tif",
                           "wbmp_200x150.wbmp"};
    for (const char* name : names) {
        SCOPED_TRACE(name);
        const std::vector<uint8_t>& whole = files.at(name);
        const size_t n = whole.size();
        for (const size_t cut : {size_t{0}, size_t{1}, size_t{3}, size_t{8}, size_t{14}, size_t{30},
                                 n / 4, n / 2, 3 * n / 4, n - 1}) {
            const std::vector<uint8_t> part(whole.begin(), whole.begin() + static_cast<long>(cut));
            for (const uint32_t type : kTypes) {
                const CDibImage image(part.data(), part.size(), type);
                if (image.IsValid()) {
                    EXPECT_GT(image.Width(), 0u);
                    EXPECT_LE(uint64_t{image.Width()} * image.Height(), CDibImage::kMaxPixels);
                } else {
                    EXPECT_FALSE(image.ErrorText().empty()) << cut;
                }
            }
        }
    }
}

TEST(ExifReaderTest, LoopsDeepChainsAndOutsideOffsetsEnd) {
    PictureBytes loop;
    // IFD0 at 8: its Exif pointer and its next-directory link both point back at itself.
    loop.Le16(3);
    loop.Le16(0x8769).Le16(4).Le32(1).Le32(8);
    loop.Le16(282).Le16(5).Le32(1).Le32(8 + 2 + 36 + 4);
    loop.Le16(271).Le16(2).Le32(1000).Le32(60000); // text far outside the block
    loop.Le32(8);
    loop.Le32(300).Le32(1);
    CExifReader reader;
    ASSERT_TRUE(reader.Read(ExifJpeg(loop.Get())));
    EXPECT_EQ(reader.Entries().size(), 2u);
    int32_t x = 0;
    int32_t y = 0;
    EXPECT_FALSE(reader.Resolution(x, y)); // no Y resolution

    PictureBytes chain;
    // Sub-directories that each point at the next, far deeper than the limit.
    const int depth = 40;
    for (int i = 0; i < depth; ++i)
        chain.Le16(1).Le16(0x8769).Le16(4).Le32(1).Le32(8 + 18 * (i + 1)).Le32(0);
    CExifReader deep;
    ASSERT_TRUE(deep.Read(ExifJpeg(chain.Get())));
    EXPECT_EQ(deep.Entries().size(), size_t{CExifReader::kMaxDepth + 1});

    PictureBytes resolution;
    resolution.Le16(3);
    resolution.Le16(282).Le16(5).Le32(1).Le32(8 + 2 + 36 + 4);
    resolution.Le16(283).Le16(5).Le32(1).Le32(8 + 2 + 36 + 4 + 8);
    resolution.Le16(296).Le16(3).Le32(1).Le16(3).Le16(0);
    resolution.Le32(0).Le32(100).Le32(1).Le32(50).Le32(1);
    CExifReader centimetres;
    ASSERT_TRUE(centimetres.Read(ExifJpeg(resolution.Get())));
    ASSERT_TRUE(centimetres.Resolution(x, y));
    EXPECT_EQ(x, 254);
    EXPECT_EQ(y, 127);

    const std::vector<uint8_t> notExif = {0xFF, 0xD8, 0xFF, 0xE1, 0, 8,    'J',
                                          'F',  'I',  'F',  0,    0, 0xFF, 0xD9};
    EXPECT_FALSE(CExifReader().Read(notExif));
    EXPECT_FALSE(CExifReader().Read(std::vector<uint8_t>{0xFF, 0xD8, 0xFF, 0xE1, 0xFF, 0xFF}));
}

TEST(HostilePicturesTest, MendedDepthsOfTheFixtures) {
    const auto files = LoadPictureFixtures();
    const struct {
        const char* file;
        uint32_t bpp;
    } cases[] = {{"png_grey2.png", 4},       {"png_grey16.png", 8},     {"tiff_grey16.tif", 8},
                 {"tiff_grey_alpha.tif", 8}, {"png_grey_alpha.png", 8}, {"bmp_16bit_565.bmp", 24},
                 {"icon_32bit.ico", 24},     {"jpeg_cmyk.jpg", 24},     {"gif_2colour.gif", 4},
                 {"gif_transparent.gif", 8}};
    for (const auto& c : cases) {
        const auto& bytes = files.at(c.file);
        const CDibImage image(bytes.data(), bytes.size(), CDibImage::kTypeUnknown);
        EXPECT_EQ(image.Bpp(), c.bpp) << c.file;
    }
}

} // namespace

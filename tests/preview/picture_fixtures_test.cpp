// Every fixture picture decodes to the pixels the manifest gives, by its own type and by trying
// every decoder (type 0), which rewinds the stream after each failed try.
#include "preview/dib_image.h"
#include "tests/preview/picture_archive.h"
#include "tests/support/sha256.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// Top row first, R, G, B a pixel, palettes resolved.
std::vector<uint8_t> RgbOf(const CDibImage& image) {
    std::vector<uint8_t> rgb;
    rgb.reserve(size_t{image.Width()} * image.Height() * 3);
    for (uint32_t y = 0; y < image.Height(); ++y)
        for (uint32_t x = 0; x < image.Width(); ++x) {
            const RgbQuad c = image.GetPixelColor(x, y);
            rgb.insert(rgb.end(), {c.red, c.green, c.blue});
        }
    return rgb;
}

std::vector<uint8_t> AlphaOf(const CDibImage& image) {
    std::vector<uint8_t> alpha;
    for (uint32_t y = 0; y < image.Height(); ++y)
        for (uint32_t x = 0; x < image.Width(); ++x)
            alpha.push_back(image.AlphaGet(x, y));
    return alpha;
}

void ExpectPixels(const CDibImage& image, const PictureCase& c,
                  const std::map<std::string, std::vector<uint8_t>>& files) {
    ASSERT_TRUE(image.IsValid()) << image.ErrorText();
    const std::vector<uint8_t> rgb = RgbOf(image);
    if (c.reference == "-") {
        EXPECT_EQ(Sha256Hex(rgb), c.rgbSha256);
    } else {
        const auto reference = files.find(c.reference);
        ASSERT_NE(reference, files.end()) << c.reference;
        ASSERT_EQ(reference->second.size(), rgb.size());
        EXPECT_EQ(Sha256Hex(reference->second), c.rgbSha256);
        int worst = 0;
        for (size_t i = 0; i < rgb.size(); ++i)
            worst = std::max(worst, std::abs(int{rgb[i]} - int{reference->second[i]}));
        EXPECT_LE(worst, c.tolerance);
    }
    EXPECT_EQ(image.HasAlpha(), c.alphaSha256 != "-");
    if (image.HasAlpha() && c.alphaSha256 != "-") {
        EXPECT_EQ(Sha256Hex(AlphaOf(image)), c.alphaSha256);
    }
    const CDibImage::Info& info = image.GetInfo();
    EXPECT_EQ(info.transparentIndex,
              c.transparentIndex == "-" ? -1 : std::stoi(c.transparentIndex));
    if (c.frames != "-") {
        EXPECT_EQ(info.frameCount, std::stoi(c.frames));
    }
    if (c.dpi != "-") {
        EXPECT_EQ(std::to_string(info.xDpi) + "x" + std::to_string(info.yDpi), c.dpi);
    }
    EXPECT_EQ(info.type, c.type);
}

TEST(PictureFixturesTest, EveryPictureDecodesToItsExpectedPixels) {
    const auto files = LoadPictureFixtures();
    const auto manifest = files.find("pictures.manifest");
    ASSERT_NE(manifest, files.end());
    const std::vector<PictureCase> cases = ParsePictureManifest(manifest->second);
    ASSERT_GE(cases.size(), 50u);
    for (const PictureCase& c : cases) {
        SCOPED_TRACE(c.file);
        const auto file = files.find(c.file);
        ASSERT_NE(file, files.end());
        for (const uint32_t type : {c.type, CDibImage::kTypeUnknown}) {
            SCOPED_TRACE("type " + std::to_string(type));
            const CDibImage image(file->second.data(), file->second.size(), type);
            ExpectPixels(image, c, files);
        }
    }
}

TEST(PictureFixturesTest, TryingEveryDecoderRewindsToWhereTheStreamStood) {
    const auto files = LoadPictureFixtures();
    // Each file after a prefix the stream has already read past: every failed try must go
    // back to the picture's first byte, not to the buffer's.
    for (const char* name : {"png_adam7.png", "tiff_rgb_tiles.tif", "wbmp_200x150.wbmp",
                             "icon_24bit.ico", "gif_local_table.gif", "jpeg_grey.jpg"}) {
        SCOPED_TRACE(name);
        const std::vector<uint8_t>& picture = files.at(name);
        std::vector<uint8_t> bytes(37, 0xEE);
        bytes.insert(bytes.end(), picture.begin(), picture.end());
        CImageMemStream stream(bytes.data(), bytes.size());
        ASSERT_TRUE(stream.Seek(37, SEEK_SET));
        CDibImage image;
        ASSERT_TRUE(image.Decode(stream, CDibImage::kTypeUnknown)) << image.ErrorText();
        const CDibImage alone(picture.data(), picture.size(), CDibImage::kTypeUnknown);
        EXPECT_EQ(image.GetInfo().type, alone.GetInfo().type);
        EXPECT_EQ(Sha256Hex(RgbOf(image)), Sha256Hex(RgbOf(alone)));
    }
}

TEST(PictureFixturesTest, AWrongTypeFailsWithATextAndLeavesTheImageEmpty) {
    const auto files = LoadPictureFixtures();
    const struct {
        const char* file;
        uint32_t wrongType;
    } cases[] = {
        {"png_rgb8.png", CDibImage::kTypeJpeg},
        {"jpeg_ycbcr.jpg", CDibImage::kTypePng},
        {"bmp_24bit.bmp", CDibImage::kTypeTiff},
        {"tiff_rgb_none.tif", CDibImage::kTypeGif},
        {"gif_plain.gif", CDibImage::kTypeIco},
        {"icon_8bit.ico", CDibImage::kTypeWbmp},
        {"bmp_8bit.bmp", 8},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const auto& bytes = files.at(c.file);
        const CDibImage image(bytes.data(), bytes.size(), c.wrongType);
        EXPECT_FALSE(image.IsValid());
        EXPECT_EQ(image.Width(), 0u);
        EXPECT_EQ(image.Height(), 0u);
        EXPECT_FALSE(image.ErrorText().empty());
    }
}

} // namespace

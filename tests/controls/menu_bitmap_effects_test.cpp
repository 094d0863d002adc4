#include "controls/menu_bitmap_effects.h"

#include <gtest/gtest.h>

namespace {

const QColor kShadow(0x9f, 0x9f, 0x9f);
const QColor kHighlight(0xff, 0xff, 0xff);
const QRgb kClear = qRgba(0, 0, 0, 0);

// A 4 x 4 image, transparent but for a red pixel at (1,1), a white one at (2,1) and a
// half-transparent blue one at (1,2).
QImage Sample() {
    QImage image(4, 4, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    image.setPixel(1, 1, qRgba(200, 0, 0, 255));
    image.setPixel(2, 1, qRgba(255, 255, 255, 255));
    image.setPixel(1, 2, qRgba(0, 0, 100, 128));
    return image;
}

struct PixelCase {
    const char* effect;
    QImage result;
    QPoint at;
    QRgb expected;
};

TEST(MenuBitmapEffectsTest, VariantsRecolourTheShapeAndKeepTheBackground) {
    const QImage sample = Sample();
    const QImage washed = WashedOutImage(sample);
    const QImage grey = FlatGreyImage(sample, kShadow);
    const QImage shaded = ShadedImage(sample, kShadow);
    const QImage embossed = EmbossedImage(sample, kHighlight, kShadow);
    // lighten(200, 0.3) = 216.5, lighten(0, 0.3) = 76.5, lighten(100, 0.3) = 146.5;
    // lighten(0x9f, 0.49) = 159 + 0.49 * 96 = 206.04; lighten(0x9f, 0.5) = 207.
    const PixelCase cases[] = {
        {"washed red", washed, {1, 1}, qRgba(216, 76, 76, 255)},
        {"washed keeps alpha", washed, {1, 2}, qRgba(76, 76, 146, 128)},
        {"washed background", washed, {0, 0}, kClear},
        {"grey red", grey, {1, 1}, qRgba(206, 206, 206, 255)},
        {"grey white", grey, {2, 1}, qRgba(206, 206, 206, 255)},
        {"grey background", grey, {3, 3}, kClear},
        {"shaded keeps image", shaded, {1, 1}, qRgba(200, 0, 0, 255)},
        {"shadow below right", shaded, {3, 2}, qRgba(207, 207, 207, 255)},
        {"shadow under blue", shaded, {2, 3}, qRgba(207, 207, 207, 255)},
        {"no shadow above", shaded, {0, 0}, kClear},
        {"shadow of red", shaded, {2, 2}, qRgba(207, 207, 207, 255)},
        {"opaque pixels keep their colour", shaded, {2, 1}, qRgba(255, 255, 255, 255)},
        {"emboss shadow in place", embossed, {1, 1}, kShadow.rgba()},
        {"emboss highlight down right", embossed, {2, 2}, kHighlight.rgba()},
        {"white is not shape", embossed, {2, 1}, kClear},
        {"half-transparent is shape", embossed, {1, 2}, kShadow.rgba()},
        {"emboss highlight of blue", embossed, {2, 3}, kHighlight.rgba()},
        {"emboss background", embossed, {3, 3}, kClear},
    };
    for (const PixelCase& c : cases) {
        ASSERT_EQ(c.result.size(), sample.size()) << c.effect;
        EXPECT_EQ(c.result.pixel(c.at), c.expected)
            << c.effect << " got " << std::hex << c.result.pixel(c.at);
    }
}

TEST(MenuBitmapEffectsTest, KeyColourBecomesBackground) {
    QImage image(2, 1, QImage::Format_RGB32);
    image.setPixel(0, 0, qRgb(222, 219, 213));
    image.setPixel(1, 0, qRgb(222, 219, 214));
    const QImage keyed = MakeColourTransparent(image, QColor(222, 219, 213));
    EXPECT_EQ(keyed.pixel(0, 0), kClear);
    EXPECT_EQ(keyed.pixel(1, 0), qRgba(222, 219, 214, 255));
    // No key: nothing changes, and the washed-out variant then sees no background at all.
    EXPECT_EQ(MakeColourTransparent(image, QColor()).pixel(0, 0), qRgba(222, 219, 213, 255));
}

} // namespace

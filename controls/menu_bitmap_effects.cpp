#include "controls/menu_bitmap_effects.h"

#include "controls/menu_colors.h"

namespace {

constexpr double kWashOut = 0.3;
constexpr double kFlatGrey = 0.49;
constexpr double kShade = 0.5;

QImage Argb(const QImage& image) {
    return image.convertToFormat(QImage::Format_ARGB32);
}

bool IsBackground(QRgb pixel) {
    return qAlpha(pixel) == 0;
}

QRgb WithAlpha(const QColor& colour, int alpha) {
    return qRgba(colour.red(), colour.green(), colour.blue(), alpha);
}

// Recolours every non-background pixel through the given function, keeping its alpha.
template <typename Recolour> QImage MapShape(const QImage& image, Recolour recolour) {
    QImage result = Argb(image);
    for (int y = 0; y < result.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(result.scanLine(y));
        for (int x = 0; x < result.width(); ++x) {
            if (!IsBackground(line[x])) {
                line[x] = WithAlpha(recolour(QColor::fromRgb(line[x])), qAlpha(line[x]));
            }
        }
    }
    return result;
}

} // namespace

QImage MakeColourTransparent(const QImage& image, const QColor& key) {
    QImage result = Argb(image);
    if (!key.isValid()) {
        return result;
    }
    const QRgb keyRgb = key.rgb() & RGB_MASK;
    for (int y = 0; y < result.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(result.scanLine(y));
        for (int x = 0; x < result.width(); ++x) {
            if ((line[x] & RGB_MASK) == keyRgb) {
                line[x] = qRgba(0, 0, 0, 0);
            }
        }
    }
    return result;
}

QImage WashedOutImage(const QImage& image) {
    return MapShape(image, [](const QColor& colour) { return Lighten(colour, kWashOut); });
}

QImage FlatGreyImage(const QImage& image, const QColor& shadow) {
    const QColor grey = Lighten(shadow, kFlatGrey);
    return MapShape(image, [&grey](const QColor&) { return grey; });
}

QImage ShadedImage(const QImage& image, const QColor& shadow) {
    const QImage source = Argb(image);
    QImage result = source;
    const QRgb shade = WithAlpha(Lighten(shadow, kShade), 255);
    for (int y = 1; y < source.height(); ++y) {
        const auto* above = reinterpret_cast<const QRgb*>(source.constScanLine(y - 1));
        const auto* here = reinterpret_cast<const QRgb*>(source.constScanLine(y));
        auto* out = reinterpret_cast<QRgb*>(result.scanLine(y));
        for (int x = 1; x < source.width(); ++x) {
            if (IsBackground(here[x]) && !IsBackground(above[x - 1])) {
                out[x] = shade;
            }
        }
    }
    return result;
}

QImage EmbossedImage(const QImage& image, const QColor& highlight, const QColor& shadow) {
    const QImage source = Argb(image);
    QImage result(source.size(), QImage::Format_ARGB32);
    result.fill(Qt::transparent);
    auto inShape = [&source](int x, int y) {
        const QRgb pixel = source.pixel(x, y);
        return !IsBackground(pixel) && (pixel & RGB_MASK) != (0xFFFFFFu & RGB_MASK);
    };
    const int width = source.width();
    const int height = source.height();
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            if (inShape(x, y) && x + 1 < width && y + 1 < height) {
                result.setPixel(x + 1, y + 1, WithAlpha(highlight, 255));
            }
        }
    }
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            if (inShape(x, y)) {
                result.setPixel(x, y, WithAlpha(shadow, 255));
            }
        }
    }
    return result;
}

#pragma once

#include <QColor>
#include <QImage>

#include <cstdlib>
#include <ostream>

// Failures name colours as rgb(r,g,b,a) rather than as bytes.
inline void PrintTo(const QColor& colour, std::ostream* out) {
    *out << "rgb(" << colour.red() << "," << colour.green() << "," << colour.blue() << ","
         << colour.alpha() << ")";
}

// Gradients and smoothed edges land within a few steps of the colour they aim at.
inline bool NearColour(const QColor& actual, const QColor& expected) {
    constexpr int tolerance = 8;
    return std::abs(actual.red() - expected.red()) <= tolerance &&
           std::abs(actual.green() - expected.green()) <= tolerance &&
           std::abs(actual.blue() - expected.blue()) <= tolerance;
}

// Whether any pixel of the rectangle has exactly the colour.
inline bool AreaHasColour(const QImage& image, const QRect& area, const QColor& colour) {
    const QRect inside = area.intersected(image.rect());
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x) {
            if (image.pixelColor(x, y) == colour) {
                return true;
            }
        }
    }
    return false;
}

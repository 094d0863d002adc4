#pragma once

#include <QColor>
#include <QImage>
#include <QPolygon>
#include <QRect>

// How the range slider's pictures are prepared and what it draws without them, without
// widgets. The side and lever pictures are drawn with a colour key: a pixel whose red, green
// and blue are all at most kKeyHigh (black to 0x323232) is transparent, so those pictures are
// plain opaque bitmaps with near-black where the bar shows through.
class RangeSliderLook {
public:
    static constexpr int kKeyHigh = 0x32;

    static bool IsKeyed(QRgb pixel);
    // The picture as ARGB32 with its keyed pixels made transparent; a null picture stays null.
    static QImage ColourKeyed(const QImage& picture);

    // The plain drawing that stands in for a missing picture: a bar face with a frame, a
    // translucent veil over the shades, a lever as a triangle pointing down into the bar.
    static QColor PlainBarFace() { return QColor(226, 236, 248); }
    static QColor PlainBarFrame() { return QColor(98, 106, 118); }
    static QColor PlainShade() { return QColor(96, 104, 116, 120); }
    static QColor PlainLever() { return QColor(40, 88, 168); }
    static QPolygon PlainLeverShape(const QRect& box);
};

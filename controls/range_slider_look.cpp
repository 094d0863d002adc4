#include "controls/range_slider_look.h"

bool RangeSliderLook::IsKeyed(QRgb pixel) {
    return qRed(pixel) <= kKeyHigh && qGreen(pixel) <= kKeyHigh && qBlue(pixel) <= kKeyHigh;
}

QImage RangeSliderLook::ColourKeyed(const QImage& picture) {
    if (picture.isNull()) {
        return QImage();
    }
    QImage keyed = picture.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < keyed.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(keyed.scanLine(y));
        for (int x = 0; x < keyed.width(); ++x) {
            if (IsKeyed(row[x])) {
                row[x] = qRgba(0, 0, 0, 0);
            }
        }
    }
    return keyed;
}

QPolygon RangeSliderLook::PlainLeverShape(const QRect& box) {
    const int middle = box.left() + box.width() / 2;
    return QPolygon({box.topLeft(), box.topRight(), QPoint(middle, box.bottom())});
}

#include "controls/hover_button_pictures.h"

HoverPicture HoverButtonPictures::PictureFor(bool enabled, bool pressed, bool hovered) {
    if (!enabled) {
        return HoverPicture::Disabled;
    }
    if (pressed) {
        return HoverPicture::Pressed;
    }
    return hovered ? HoverPicture::Hover : HoverPicture::Normal;
}

QSize HoverButtonPictures::PictureSize(QSize strip) {
    const int width = strip.width() / kPictureCount;
    if (width <= 0 || strip.height() <= 0) {
        return QSize();
    }
    return QSize(width, strip.height());
}

QRect HoverButtonPictures::SourceRect(QSize strip, HoverPicture picture) {
    const QSize size = PictureSize(strip);
    if (size.isEmpty()) {
        return QRect();
    }
    return QRect(QPoint(static_cast<int>(picture) * size.width(), 0), size);
}

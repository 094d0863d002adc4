#include "app/previews/dib_image_draw.h"

#include "preview/dib_image.h"

#include <QPainter>

QImage DibToQImage(const CDibImage& image) {
    if (!image.IsValid())
        return {};
    QImage out(static_cast<int>(image.Width()), static_cast<int>(image.Height()),
               QImage::Format_RGB32);
    if (out.isNull())
        return {};
    for (uint32_t y = 0; y < image.Height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(static_cast<int>(y)));
        if (image.Bpp() == 24) {
            const uint8_t* row = image.Row(y);
            for (uint32_t x = 0; x < image.Width(); ++x)
                line[x] = qRgb(row[x * 3 + 2], row[x * 3 + 1], row[x * 3]);
        } else {
            for (uint32_t x = 0; x < image.Width(); ++x) {
                const RgbQuad c = image.GetPixelColor(x, y);
                line[x] = qRgb(c.red, c.green, c.blue);
            }
        }
    }
    return out;
}

int DrawDibImage(QPainter& painter, const CDibImage& image, const QRect& target) {
    if (!image.IsValid() || !painter.isActive())
        return 0;
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(target, DibToQImage(image));
    return 1;
}

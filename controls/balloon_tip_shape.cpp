#include "controls/balloon_tip_shape.h"

#include <algorithm>

BalloonTipShape::BalloonTipShape(QSize textSize, QSize iconSize)
    : m_iconWidth(iconSize.isEmpty() ? 0 : iconSize.width()) {
    int width = textSize.width() + 2 * kMarginX;
    int contentHeight = textSize.height();
    if (m_iconWidth > 0) {
        width += m_iconWidth + kIconGap;
        // An icon taller than the text sets the height, with the same margins as text.
        contentHeight = std::max(contentHeight, iconSize.height());
    }
    m_box = QSize(width, contentHeight + 2 * kMarginY);
}

QPolygon BalloonTipShape::Pointer() const {
    const int w = m_box.width();
    const int h = m_box.height();
    return QPolygon({QPoint(w - 12, h - 10), QPoint(w - 12, h + 15), QPoint(w - 37, h - 10)});
}

QPoint BalloonTipShape::TextOrigin() const {
    return QPoint(kMarginX + (m_iconWidth > 0 ? m_iconWidth + kIconGap : 0), kMarginY);
}

QPainterPath BalloonTipShape::Outline() const {
    QPainterPath box;
    box.addRoundedRect(QRectF(QPointF(0, 0), QSizeF(m_box)), 6, 5);
    QPainterPath pointer;
    pointer.addPolygon(QPolygonF(Pointer()));
    pointer.closeSubpath();
    return box.united(pointer);
}

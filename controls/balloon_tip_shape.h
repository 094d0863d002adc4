#pragma once

#include <QPainterPath>
#include <QPoint>
#include <QPolygon>
#include <QRect>
#include <QSize>

// The outline of the balloon tip, without widgets: a rounded box round the text and the icon,
// with a pointer below its right end whose tip touches the anchor point.
class BalloonTipShape {
public:
    static constexpr int kMarginX = 12;
    static constexpr int kMarginY = 10;
    static constexpr int kIconGap = 5;
    static constexpr int kPointerDrop = 25;

    // textSize as the text measures; an empty iconSize when there is no icon.
    BalloonTipShape(QSize textSize, QSize iconSize);

    QSize Box() const { return m_box; }
    // The window: the box and the pointer below it.
    QSize Window() const { return QSize(m_box.width(), m_box.height() + kPointerDrop); }
    QPolygon Pointer() const;
    QPoint PointerTip() const { return QPoint(m_box.width() - 12, m_box.height() + 15); }
    QPoint IconOrigin() const { return QPoint(kMarginX, kMarginY); }
    QPoint TextOrigin() const;
    // The rounded box and the pointer as one outline.
    QPainterPath Outline() const;
    // Where the window goes so that the pointer's tip is at the anchor.
    QPoint WindowPosition(QPoint anchor) const { return anchor - PointerTip(); }

private:
    QSize m_box;
    int m_iconWidth;
};

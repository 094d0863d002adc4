#pragma once

#include <QColor>
#include <QPalette>
#include <QRect>
#include <QSize>

// Colours and geometry of the flat menu style, from a palette and the image size, with no
// painting: the style asks it every size and rectangle it draws. Colours are taken from the
// palette's active group so that a menu looks the same whether its window has focus or not.
// Palette roles stand in for the system colours: Base for the window colour, Button for the
// button face, Text for the menu text, the disabled Text for grey text, Dark and Light for the
// button shadow and highlight.
class FlatMenuMetrics {
public:
    static constexpr int kSeparatorHeight = 3;
    // Text gap beside the image column; the extra images widen it.
    static constexpr int kGap = 4;
    static constexpr int kExtraImagesGap = 7;
    // Room left and right of the text inside an item: the 8 pixels added to an item's width.
    static constexpr int kTextPadding = 4;
    // Space between the longest label and the shortcuts, and for a popup's arrow.
    static constexpr int kShortcutGap = 16;
    static constexpr int kArrowWidth = 12;

    explicit FlatMenuMetrics(const QPalette& palette, int imageSize = 16, bool extraImages = true);

    QColor Background() const;
    QColor ImageColumn() const;
    QColor SelectedFill() const;
    QColor SelectedFrame() const;
    QColor CheckBoxFill(bool selected) const;
    QColor CheckBoxFrame() const;
    QColor Text() const;
    QColor DisabledText(bool selected) const;
    QColor SeparatorShadow() const;
    QColor SeparatorHighlight() const;

    int ImageSize() const { return m_imageSize; }
    int Gap() const { return m_gap; }
    int ImageColumnWidth() const { return m_imageSize + m_gap; }

    QSize SeparatorSize() const { return QSize(0, kSeparatorHeight); }
    // textWidth is the label before any tab; styleHeight the height the base style gives an item.
    QSize ItemSize(int textWidth, bool hasShortcut, bool hasArrow, int styleHeight) const;

    // Rectangles inside an item's rectangle.
    QRect ImageColumnRect(const QRect& item) const;
    QRect ImageRect(const QRect& item) const;
    QRect CheckBoxRect(const QRect& item) const;
    QRect TextRect(const QRect& item, bool hasArrow) const;
    QRect ArrowRect(const QRect& item) const;
    // Row of the separator's shadow line; the highlight line is the row below.
    int SeparatorLineY(const QRect& item) const;

private:
    QPalette m_palette;
    int m_imageSize;
    int m_gap;
};

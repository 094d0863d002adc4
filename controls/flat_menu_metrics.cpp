#include "controls/flat_menu_metrics.h"

#include "controls/menu_colors.h"

#include <algorithm>

namespace {

constexpr double kBackgroundDarken = 0.02;
constexpr double kImageColumnLighten = 0.25;
constexpr double kSelectedFillLighten = 0.7;
constexpr double kCheckSelectedLighten = 0.55;
constexpr double kCheckLighten = 0.85;
constexpr double kGreyTextLighten = 0.4;

} // namespace

FlatMenuMetrics::FlatMenuMetrics(const QPalette& palette, int imageSize, bool extraImages)
    : m_palette(palette), m_imageSize(imageSize), m_gap(extraImages ? kExtraImagesGap : kGap) {}

QColor FlatMenuMetrics::Background() const {
    return Darken(m_palette.color(QPalette::Active, QPalette::Base), kBackgroundDarken);
}

QColor FlatMenuMetrics::ImageColumn() const {
    return Lighten(m_palette.color(QPalette::Active, QPalette::Button), kImageColumnLighten);
}

QColor FlatMenuMetrics::SelectedFill() const {
    return Lighten(m_palette.color(QPalette::Active, QPalette::Highlight), kSelectedFillLighten);
}

QColor FlatMenuMetrics::SelectedFrame() const {
    return m_palette.color(QPalette::Active, QPalette::Highlight);
}

QColor FlatMenuMetrics::CheckBoxFill(bool selected) const {
    return Lighten(m_palette.color(QPalette::Active, QPalette::Highlight),
                   selected ? kCheckSelectedLighten : kCheckLighten);
}

QColor FlatMenuMetrics::CheckBoxFrame() const {
    return SelectedFrame();
}

QColor FlatMenuMetrics::Text() const {
    return m_palette.color(QPalette::Active, QPalette::Text);
}

QColor FlatMenuMetrics::DisabledText(bool selected) const {
    const QColor grey = m_palette.color(QPalette::Disabled, QPalette::Text);
    return selected ? grey : Lighten(grey, kGreyTextLighten);
}

QColor FlatMenuMetrics::SeparatorShadow() const {
    return m_palette.color(QPalette::Active, QPalette::Dark);
}

QColor FlatMenuMetrics::SeparatorHighlight() const {
    return m_palette.color(QPalette::Active, QPalette::Light);
}

QSize FlatMenuMetrics::ItemSize(int textWidth, bool hasShortcut, bool hasArrow,
                                int styleHeight) const {
    int width = textWidth + m_imageSize + m_gap + 2 * kTextPadding;
    if (hasShortcut) {
        width += kShortcutGap;
    }
    if (hasArrow) {
        width += kArrowWidth;
    }
    return QSize(width, std::max(styleHeight, m_imageSize + m_gap));
}

QRect FlatMenuMetrics::ImageColumnRect(const QRect& item) const {
    return QRect(item.left(), item.top(), ImageColumnWidth(), item.height());
}

QRect FlatMenuMetrics::ImageRect(const QRect& item) const {
    const QRect column = ImageColumnRect(item);
    QRect image(0, 0, m_imageSize, m_imageSize);
    image.moveCenter(column.center());
    return image;
}

QRect FlatMenuMetrics::CheckBoxRect(const QRect& item) const {
    // One pixel round the image, inside the column.
    return ImageRect(item).adjusted(-2, -2, 2, 2).intersected(ImageColumnRect(item));
}

QRect FlatMenuMetrics::TextRect(const QRect& item, bool hasArrow) const {
    const int left = item.left() + ImageColumnWidth() + kTextPadding;
    const int right = item.right() - kTextPadding - (hasArrow ? kArrowWidth : 0);
    return QRect(QPoint(left, item.top()), QPoint(right, item.bottom()));
}

QRect FlatMenuMetrics::ArrowRect(const QRect& item) const {
    return QRect(item.right() - kTextPadding - kArrowWidth + 1, item.top(), kArrowWidth,
                 item.height());
}

int FlatMenuMetrics::SeparatorLineY(const QRect& item) const {
    return item.top() + item.height() / 2;
}

#pragma once

#include "controls/flat_menu_metrics.h"

#include <QProxyStyle>

class MenuImageList;

// Draws popup menus in the flat style: a light background, an image column at the left,
// selected items filled and framed in highlight shades, checked items boxed. Everything other
// than menu items, menu panels and their sizes is left to the base style. An item's images are
// looked up by the command id in its action's data; an action without a set in the list falls
// back to its icon. The image list must outlive the style.
class FlatMenuStyle : public QProxyStyle {
    Q_OBJECT

public:
    explicit FlatMenuStyle(const MenuImageList* images = nullptr);

    // Disabled images are drawn embossed (the default) or washed out.
    void SetEmbossedDisabledImages(bool embossed) { m_embossedDisabled = embossed; }

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget = nullptr) const override;
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget = nullptr) const override;
    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                           const QWidget* widget) const override;
    int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr,
                    const QWidget* widget = nullptr) const override;

private:
    void DrawPanel(const QStyleOption& option, QPainter& painter, const QWidget* widget) const;
    void DrawMenuItem(const class QStyleOptionMenuItem& item, QPainter& painter,
                      const QWidget* widget) const;
    void DrawImage(const QStyleOptionMenuItem& item, const FlatMenuMetrics& metrics,
                   QPainter& painter, const QWidget* widget) const;

    const MenuImageList* m_images;
    bool m_embossedDisabled = true;
};

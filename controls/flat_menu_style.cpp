#include "controls/flat_menu_style.h"

#include "controls/menu_image_list.h"

#include <QAction>
#include <QMenu>
#include <QPainter>
#include <QStyleOptionMenuItem>

namespace {

constexpr int kPanelWidth = 1;
constexpr int kVerticalMargin = 1;

FlatMenuMetrics MetricsFor(const QStyleOption& option) {
    return FlatMenuMetrics(option.palette, MenuImageList::kImageSize);
}

// The command id an item's action carries, or nothing for actions the menus did not make.
const MenuImageSet* ImagesOf(const MenuImageList* images, const QStyleOptionMenuItem& item,
                             const QWidget* widget) {
    const auto* menu = qobject_cast<const QMenu*>(widget);
    if (images == nullptr || menu == nullptr) {
        return nullptr;
    }
    const QAction* action = menu->actionAt(item.rect.center());
    if (action == nullptr || !action->data().isValid()) {
        return nullptr;
    }
    bool ok = false;
    const uint32_t id = action->data().toUInt(&ok);
    return ok ? images->Find(id) : nullptr;
}

void DrawCheckMark(QPainter& painter, const QRect& box, bool radio, const QColor& colour) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    if (radio) {
        QRect dot(0, 0, 6, 6);
        dot.moveCenter(box.center());
        painter.setPen(Qt::NoPen);
        painter.setBrush(colour);
        painter.drawEllipse(dot);
    } else {
        const QPointF centre = QRectF(box).center();
        const QPointF mark[] = {centre + QPointF(-4, 0), centre + QPointF(-1, 3),
                                centre + QPointF(4, -3)};
        painter.setPen(QPen(colour, 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawPolyline(mark, 3);
    }
    painter.restore();
}

} // namespace

FlatMenuStyle::FlatMenuStyle(const MenuImageList* images)
    : m_images(images != nullptr ? images : &MenuImageList::Shared()) {}

void FlatMenuStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option,
                                  QPainter* painter, const QWidget* widget) const {
    if (option == nullptr || painter == nullptr) {
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        return;
    }
    switch (element) {
    case PE_PanelMenu:
        DrawPanel(*option, *painter, widget);
        return;
    case PE_FrameMenu: {
        const FlatMenuMetrics metrics = MetricsFor(*option);
        painter->save();
        painter->setPen(metrics.SeparatorShadow());
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(option->rect.adjusted(0, 0, -1, -1));
        painter->restore();
        return;
    }
    default:
        QProxyStyle::drawPrimitive(element, option, painter, widget);
    }
}

void FlatMenuStyle::drawControl(ControlElement element, const QStyleOption* option,
                                QPainter* painter, const QWidget* widget) const {
    const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
    if (item == nullptr || painter == nullptr) {
        QProxyStyle::drawControl(element, option, painter, widget);
        return;
    }
    switch (element) {
    case CE_MenuItem:
        DrawMenuItem(*item, *painter, widget);
        return;
    case CE_MenuEmptyArea:
        DrawPanel(*item, *painter, widget);
        return;
    default:
        QProxyStyle::drawControl(element, option, painter, widget);
    }
}

QSize FlatMenuStyle::sizeFromContents(ContentsType type, const QStyleOption* option,
                                      const QSize& size, const QWidget* widget) const {
    const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
    if (type != CT_MenuItem || item == nullptr) {
        return QProxyStyle::sizeFromContents(type, option, size, widget);
    }
    const FlatMenuMetrics metrics = MetricsFor(*item);
    if (item->menuItemType == QStyleOptionMenuItem::Separator) {
        // QMenu gives an item of empty size no room at all, so a separator is one pixel wide.
        return metrics.SeparatorSize().expandedTo(QSize(1, 0));
    }
    const int styleHeight = QProxyStyle::sizeFromContents(type, option, size, widget).height();
    return metrics.ItemSize(size.width(), item->text.contains(QLatin1Char('\t')),
                            item->menuItemType == QStyleOptionMenuItem::SubMenu, styleHeight);
}

int FlatMenuStyle::pixelMetric(PixelMetric metric, const QStyleOption* option,
                               const QWidget* widget) const {
    switch (metric) {
    case PM_MenuPanelWidth:
        return kPanelWidth;
    case PM_MenuHMargin:
        return 0;
    case PM_MenuVMargin:
        return kVerticalMargin;
    case PM_SmallIconSize:
        return MenuImageList::kImageSize;
    default:
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
}

void FlatMenuStyle::DrawPanel(const QStyleOption& option, QPainter& painter,
                              const QWidget* widget) const {
    const FlatMenuMetrics metrics = MetricsFor(option);
    painter.fillRect(option.rect, metrics.Background());
    // The image column runs the whole height, margins included, so items join up with it.
    const int left = option.rect.left() + pixelMetric(PM_MenuPanelWidth, &option, widget) +
                     pixelMetric(PM_MenuHMargin, &option, widget);
    painter.fillRect(
        QRect(left, option.rect.top(), metrics.ImageColumnWidth(), option.rect.height()),
        metrics.ImageColumn());
}

void FlatMenuStyle::DrawMenuItem(const QStyleOptionMenuItem& item, QPainter& painter,
                                 const QWidget* widget) const {
    const FlatMenuMetrics metrics = MetricsFor(item);
    const QRect& rect = item.rect;
    painter.save();
    painter.fillRect(rect, metrics.Background());
    painter.fillRect(metrics.ImageColumnRect(rect), metrics.ImageColumn());

    if (item.menuItemType == QStyleOptionMenuItem::Separator) {
        const int y = metrics.SeparatorLineY(rect);
        const int left = rect.left() + metrics.ImageColumnWidth() + FlatMenuMetrics::kTextPadding;
        painter.setPen(metrics.SeparatorShadow());
        painter.drawLine(left, y, rect.right(), y);
        if (y + 1 <= rect.bottom()) {
            painter.setPen(metrics.SeparatorHighlight());
            painter.drawLine(left, y + 1, rect.right(), y + 1);
        }
        painter.restore();
        return;
    }

    const bool enabled = (item.state & State_Enabled) != 0;
    const bool selected = (item.state & State_Selected) != 0;
    const bool checked = item.checkType != QStyleOptionMenuItem::NotCheckable && item.checked;
    if (selected && enabled) {
        painter.fillRect(rect, metrics.SelectedFill());
        painter.setPen(metrics.SelectedFrame());
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect.adjusted(0, 0, -1, -1));
    }
    if (checked) {
        const QRect box = metrics.CheckBoxRect(rect);
        painter.fillRect(box, metrics.CheckBoxFill(selected));
        painter.setPen(metrics.CheckBoxFrame());
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(box.adjusted(0, 0, -1, -1));
    }

    const bool hasImage = ImagesOf(m_images, item, widget) != nullptr || !item.icon.isNull();
    if (hasImage) {
        DrawImage(item, metrics, painter, widget);
    } else if (checked) {
        DrawCheckMark(painter, metrics.ImageRect(rect),
                      item.checkType == QStyleOptionMenuItem::Exclusive,
                      enabled ? metrics.Text() : metrics.DisabledText(selected));
    }

    const bool hasArrow = item.menuItemType == QStyleOptionMenuItem::SubMenu;
    const QColor textColour = enabled ? metrics.Text() : metrics.DisabledText(selected);
    const QRect textRect = metrics.TextRect(rect, hasArrow);
    int flags = Qt::AlignVCenter | Qt::TextSingleLine;
    flags |= styleHint(SH_UnderlineShortcut, &item, widget) ? Qt::TextShowMnemonic
                                                            : Qt::TextHideMnemonic;
    const qsizetype tab = item.text.indexOf(QLatin1Char('\t'));
    painter.setFont(item.font);
    painter.setPen(textColour);
    painter.drawText(textRect, flags | Qt::AlignLeft, item.text.left(tab));
    if (tab >= 0) {
        painter.drawText(textRect, flags | Qt::AlignRight, item.text.mid(tab + 1));
    }
    if (hasArrow) {
        QStyleOptionMenuItem arrow = item;
        arrow.rect = metrics.ArrowRect(rect);
        arrow.palette.setColor(QPalette::ButtonText, textColour);
        arrow.palette.setColor(QPalette::WindowText, textColour);
        proxy()->drawPrimitive(PE_IndicatorArrowRight, &arrow, &painter, widget);
    }
    painter.restore();
}

void FlatMenuStyle::DrawImage(const QStyleOptionMenuItem& item, const FlatMenuMetrics& metrics,
                              QPainter& painter, const QWidget* widget) const {
    const bool enabled = (item.state & State_Enabled) != 0;
    const bool selected = (item.state & State_Selected) != 0;
    const QRect target = metrics.ImageRect(item.rect);
    const MenuImageSet* set = ImagesOf(m_images, item, widget);
    if (set == nullptr) {
        const QIcon::Mode mode = !enabled   ? QIcon::Disabled
                                 : selected ? QIcon::Active
                                            : QIcon::Normal;
        painter.drawPixmap(target, item.icon.pixmap(target.size(), mode));
        return;
    }
    if (!enabled) {
        painter.drawPixmap(target, m_embossedDisabled ? set->embossed : set->washedOut);
    } else if (selected) {
        // Raised: the grey shadow below right, the image above left.
        painter.drawPixmap(target.translated(1, 1), set->flatGrey);
        painter.drawPixmap(target.translated(-1, -1), set->plain);
    } else {
        painter.drawPixmap(target, set->shaded);
    }
}

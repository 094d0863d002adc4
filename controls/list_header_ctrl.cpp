#include "controls/list_header_ctrl.h"

#include "controls/list_header_geometry.h"

#include <QMouseEvent>
#include <QPainter>

CListHeaderCtrl::CListHeaderCtrl(Qt::Orientation orientation, QWidget* parent)
    : QHeaderView(orientation, parent) {}

int CListHeaderCtrl::SetSortColumn(int column, bool ascending) {
    const int previous = m_sortColumn;
    m_sortColumn = column;
    m_sortAscending = ascending;
    if (column >= 0) {
        m_ownerDrawn.insert(column);
    }
    viewport()->update();
    return previous;
}

int CListHeaderCtrl::BlankWidth() const {
    return fontMetrics().horizontalAdvance(QLatin1Char(' '));
}

void CListHeaderCtrl::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
    if (!m_ownerDrawn.contains(logicalIndex)) {
        QHeaderView::paintSection(painter, rect, logicalIndex);
        return;
    }
    painter->save();
    DrawItem(*painter, rect, logicalIndex);
    painter->restore();
}

void CListHeaderCtrl::DrawItem(QPainter& painter, const QRect& rect, int logicalIndex) const {
    const QPalette& colours = palette();
    painter.setClipRect(rect);
    painter.fillRect(rect, colours.color(QPalette::Button));

    const int blank = BlankWidth();
    const bool sortColumn = logicalIndex == m_sortColumn;
    const bool pressed = logicalIndex == m_pressedSection;
    const QRect textRect = ListHeaderGeometry::TextRect(rect, blank, sortColumn, pressed);
    if (!textRect.isEmpty() && model() != nullptr) {
        const QString text =
            model()->headerData(logicalIndex, orientation(), Qt::DisplayRole).toString();
        const Qt::Alignment wanted = Qt::Alignment(
            model()->headerData(logicalIndex, orientation(), Qt::TextAlignmentRole).toInt());
        Qt::Alignment flags = Qt::AlignVCenter;
        if (wanted & Qt::AlignHCenter) {
            flags |= Qt::AlignHCenter;
        } else if (wanted & Qt::AlignRight) {
            flags |= Qt::AlignRight;
        } else {
            flags |= Qt::AlignLeft;
        }
        painter.setPen(colours.color(QPalette::ButtonText));
        painter.drawText(textRect, int(flags) | Qt::TextSingleLine,
                         fontMetrics().elidedText(text, Qt::ElideRight, textRect.width()));
    }

    if (sortColumn) {
        const ListHeaderGeometry::Triangle triangle =
            ListHeaderGeometry::SortTriangle(rect, blank, m_sortAscending);
        painter.setRenderHint(QPainter::Antialiasing, false);
        for (int i = 0; i < int(triangle.lines.size()); ++i) {
            painter.setPen(QPen(
                colours.color(i < triangle.highlightCount ? QPalette::Light : QPalette::Dark), 1));
            painter.drawLine(triangle.lines[i]);
        }
    }
}

void CListHeaderCtrl::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && sectionsClickable()) {
        m_pressedSection = logicalIndexAt(event->position().toPoint());
        viewport()->update();
    }
    QHeaderView::mousePressEvent(event);
}

void CListHeaderCtrl::mouseReleaseEvent(QMouseEvent* event) {
    if (m_pressedSection >= 0) {
        m_pressedSection = -1;
        viewport()->update();
    }
    QHeaderView::mouseReleaseEvent(event);
}

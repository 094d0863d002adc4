#include "controls/sizing_bar_gripper.h"

#include <QMouseEvent>
#include <QPainter>

namespace {

void DrawRaised(QPainter& painter, const QRect& rect, const QColor& light, const QColor& dark) {
    if (rect.isEmpty()) {
        return;
    }
    painter.setPen(light);
    painter.drawLine(rect.topLeft(), rect.topRight());
    painter.drawLine(rect.topLeft(), rect.bottomLeft());
    painter.setPen(dark);
    painter.drawLine(rect.bottomLeft(), rect.bottomRight());
    painter.drawLine(rect.topRight(), rect.bottomRight());
}

void DrawCloseBox(QPainter& painter, const QRect& box, const QColor& light, const QColor& dark,
                  const QColor& glyph) {
    DrawRaised(painter, box, light, dark);
    painter.setPen(glyph);
    const QRect cross = box.adjusted(3, 3, -3, -3);
    painter.drawLine(cross.topLeft(), cross.bottomRight());
    painter.drawLine(cross.bottomLeft(), cross.topRight());
}

} // namespace

CSizingBarGripper::CSizingBarGripper(QWidget* parent) : QWidget(parent) {}

void CSizingBarGripper::SetSide(BarDockSide side) {
    if (m_side != side) {
        m_side = side;
        updateGeometry();
        update();
    }
}

QSize CSizingBarGripper::sizeHint() const {
    // The dock widget takes the width of a vertical title bar and the height of a horizontal one.
    return QSize(SizingBarGeometry::kGripperWidth, SizingBarGeometry::kGripperWidth);
}

QSize CSizingBarGripper::minimumSizeHint() const {
    return sizeHint();
}

void CSizingBarGripper::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QPalette& colours = palette();
    const QColor light = colours.color(QPalette::Active, QPalette::Light);
    const QColor dark = colours.color(QPalette::Active, QPalette::Dark);
    const QColor glyph = colours.color(QPalette::Active, QPalette::ButtonText);
    painter.fillRect(rect(), colours.color(QPalette::Active, QPalette::Button));
    DrawRaised(painter, rect(), light, dark);
    const QSize area = size();
    DrawCloseBox(painter, SizingBarGeometry::CloseBox(m_side, area), light, dark, glyph);
    if (m_side == BarDockSide::Floating) {
        painter.setPen(glyph);
        painter.drawText(SizingBarGeometry::CaptionArea(m_side, area).adjusted(4, 0, 0, 0),
                         Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                         parentWidget() != nullptr ? parentWidget()->windowTitle() : QString());
        return;
    }
    DrawRaised(painter, SizingBarGeometry::SecondBox(m_side, area), light, dark);
    DrawRaised(painter, SizingBarGeometry::GripperBar(m_side, area, 0), light, dark);
    DrawRaised(painter, SizingBarGeometry::GripperBar(m_side, area, 1), light, dark);
}

void CSizingBarGripper::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    switch (SizingBarGeometry::HitTest(m_side, size(), event->position().toPoint())) {
    case GripperHit::CloseBox:
        event->accept();
        emit CloseClicked();
        return;
    case GripperHit::SecondBox:
        // Drawn for the look of the gripper; it does nothing.
        event->accept();
        return;
    case GripperHit::Gripper:
        event->accept();
        emit ToggleFloatingRequested();
        return;
    case GripperHit::Caption:
    case GripperHit::None:
        // The dock widget starts its drag from here.
        event->ignore();
        return;
    }
}

void CSizingBarGripper::mouseDoubleClickEvent(QMouseEvent* event) {
    const GripperHit hit = SizingBarGeometry::HitTest(m_side, size(), event->position().toPoint());
    // Handled here so that the dock widget does not toggle a second time.
    event->accept();
    if (event->button() == Qt::LeftButton && hit == GripperHit::Caption) {
        emit ToggleFloatingRequested();
    }
}

#include "controls/flat_button.h"

#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>

CFlatButton::CFlatButton(QWidget* parent) : QPushButton(parent) {
    setAttribute(Qt::WA_Hover);
}

CFlatButton::CFlatButton(const QString& text, QWidget* parent) : CFlatButton(parent) {
    setText(text);
}

void CFlatButton::SetColors(const QColor& light, const QColor& normal, const QColor& hover) {
    m_look.SetColors(light, normal, hover);
    update();
}

void CFlatButton::SetHovered(bool hovered) {
    if (m_hovered != hovered) {
        m_hovered = hovered;
        update();
    }
}

void CFlatButton::enterEvent(QEnterEvent* event) {
    // Disabled widgets still hear the cursor enter; they show no hover.
    SetHovered(isEnabled());
    QPushButton::enterEvent(event);
}

void CFlatButton::leaveEvent(QEvent* event) {
    SetHovered(false);
    QPushButton::leaveEvent(event);
}

void CFlatButton::mouseMoveEvent(QMouseEvent* event) {
    // While the button holds the mouse after a press, leaving it sends no leave event.
    SetHovered(rect().contains(event->position().toPoint()));
    QPushButton::mouseMoveEvent(event);
}

void CFlatButton::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange && !isEnabled()) {
        // A disabled button gets no mouse events, so its hover would never end.
        m_hovered = false;
    }
    QPushButton::changeEvent(event);
}

void CFlatButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QPalette& colours = palette();
    const QColor face = colours.color(QPalette::Active, QPalette::Button);
    const QColor frame = colours.color(QPalette::Active, QPalette::Shadow);
    const QRect whole = rect();

    painter.fillRect(whole, face);
    painter.setPen(frame);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(whole.adjusted(0, 0, -1, -1));
    if (isDefault()) {
        painter.drawRect(whole.adjusted(1, 1, -2, -2));
    }

    const QRect inner = whole.adjusted(FlatButtonLook::kEdge, FlatButtonLook::kEdge,
                                       -FlatButtonLook::kEdge, -FlatButtonLook::kEdge);
    if (inner.isEmpty()) {
        return;
    }
    const FlatButtonState state{isEnabled(), isDown(), m_hovered};
    const FlatButtonLook::Gradient colourPair = m_look.GradientFor(state, face);
    QLinearGradient gradient(inner.topLeft(), inner.bottomLeft());
    gradient.setColorAt(0, colourPair.top);
    gradient.setColorAt(1, colourPair.bottom);
    painter.fillRect(inner, gradient);

    painter.setClipRect(inner);
    painter.setPen(
        colours.color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
    painter.drawText(inner, Qt::AlignCenter | Qt::TextShowMnemonic, text());

    if (hasFocus()) {
        QPen dotted(colours.color(QPalette::Active, QPalette::ButtonText), 1, Qt::DotLine);
        painter.setPen(dotted);
        painter.drawRect(inner.adjusted(1, 1, -2, -2));
    }
}

#include "controls/hover_button.h"

#include "controls/hover_button_pictures.h"

#include <QEvent>
#include <QPainter>

CHoverButton::CHoverButton(QWidget* parent) : QPushButton(parent) {}

bool CHoverButton::LoadBitmaps(const QPixmap& strip) {
    const QSize picture = HoverButtonPictures::PictureSize(strip.size());
    if (strip.isNull() || picture.isEmpty()) {
        return false;
    }
    m_strip = strip;
    m_pictureSize = picture;
    resize(picture);
    updateGeometry();
    update();
    return true;
}

QSize CHoverButton::sizeHint() const {
    return m_pictureSize.isEmpty() ? QPushButton::sizeHint() : m_pictureSize;
}

void CHoverButton::enterEvent(QEnterEvent* event) {
    m_hovered = isEnabled();
    update();
    QPushButton::enterEvent(event);
}

void CHoverButton::leaveEvent(QEvent* event) {
    m_hovered = false;
    update();
    QPushButton::leaveEvent(event);
}

void CHoverButton::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange && !isEnabled()) {
        m_hovered = false;
    }
    QPushButton::changeEvent(event);
}

void CHoverButton::paintEvent(QPaintEvent*) {
    if (m_strip.isNull()) {
        return;
    }
    const HoverPicture picture = HoverButtonPictures::PictureFor(isEnabled(), isDown(), m_hovered);
    const QRect source = HoverButtonPictures::SourceRect(m_strip.size(), picture);
    QPainter painter(this);
    painter.drawPixmap(QPoint(0, 0), m_strip, source);
}

#include "controls/range_slider.h"

#include "controls/range_slider_look.h"

#include <QMouseEvent>
#include <QPainter>

CRangeSlider::CRangeSlider(QWidget* parent) : QWidget(parent) {}

void CRangeSlider::Init(int width, int height) {
    m_model.Init(width, height);
    setFixedSize(m_model.Width(), m_model.Height());
    update();
}

bool CRangeSlider::LoadBitmaps(const QString& barPath, const QString& sidePath,
                               const QString& leverPath) {
    m_bar = QImage(barPath);
    m_side = RangeSliderLook::ColourKeyed(QImage(sidePath));
    m_lever = RangeSliderLook::ColourKeyed(QImage(leverPath));
    update();
    return HasBarPicture() && HasSidePicture() && HasLeverPicture();
}

void CRangeSlider::FreeBitmaps() {
    m_bar = QImage();
    m_side = QImage();
    m_lever = QImage();
    update();
}

void CRangeSlider::SetPosition(int64_t value, SliderLever lever) {
    if (m_model.SetPosition(lever, value)) {
        update();
    }
}

QSize CRangeSlider::sizeHint() const {
    return QSize(m_model.Width(), m_model.Height());
}

void CRangeSlider::Draw(QPainter& painter) const {
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRect bar(0, 0, m_model.Width(), m_model.Height());
    painter.setClipRect(bar);
    if (HasBarPicture()) {
        painter.drawImage(bar, m_bar);
    } else {
        painter.fillRect(bar, RangeSliderLook::PlainBarFace());
        painter.setPen(RangeSliderLook::PlainBarFrame());
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(bar.adjusted(0, 0, -1, -1));
    }
    for (const SliderLever lever : {SliderLever::Left, SliderLever::Right}) {
        const QRect shade = m_model.Shade(lever);
        if (shade.isEmpty()) {
            continue;
        }
        if (HasSidePicture()) {
            painter.drawImage(shade, m_side);
        } else {
            painter.fillRect(shade, RangeSliderLook::PlainShade());
        }
    }
    for (const SliderLever lever : {SliderLever::Left, SliderLever::Right}) {
        const QRect box = m_model.LeverBox(lever);
        if (HasLeverPicture()) {
            painter.drawImage(box, m_lever);
        } else {
            painter.setPen(Qt::NoPen);
            painter.setBrush(RangeSliderLook::PlainLever());
            painter.drawPolygon(RangeSliderLook::PlainLeverShape(box));
        }
    }
    painter.restore();
}

void CRangeSlider::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    Draw(painter);
}

void CRangeSlider::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !m_model.BeginDrag(event->position().toPoint())) {
        QWidget::mousePressEvent(event);
        return;
    }
    if (m_dragCursor) {
        setCursor(*m_dragCursor);
    }
    // Moves without the button must arrive too, or a release lost elsewhere would leave the
    // lever stuck to the pointer.
    setMouseTracking(true);
    event->accept();
}

void CRangeSlider::mouseMoveEvent(QMouseEvent* event) {
    if (!m_model.Dragged()) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    // A release lost outside the window ends the drag at the next move.
    if (!(event->buttons() & Qt::LeftButton)) {
        EndDrag();
        return;
    }
    const SliderLever lever = *m_model.Dragged();
    if (m_model.Drag(event->position().toPoint())) {
        update();
        emit LeverMoved(lever, m_model.Position(lever));
    }
    event->accept();
}

void CRangeSlider::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && m_model.Dragged()) {
        EndDrag();
        event->accept();
        return;
    }
    QWidget::mouseReleaseEvent(event);
}

void CRangeSlider::EndDrag() {
    m_model.EndDrag();
    setMouseTracking(false);
    unsetCursor();
}

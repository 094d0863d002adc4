#include "controls/scrolled_area.h"

#include <QApplication>
#include <QResizeEvent>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>

namespace {

CScrollHelper::Action HelperAction(int sliderAction) {
    switch (sliderAction) {
    case QAbstractSlider::SliderSingleStepSub:
        return CScrollHelper::Action::LineBack;
    case QAbstractSlider::SliderSingleStepAdd:
        return CScrollHelper::Action::LineForward;
    case QAbstractSlider::SliderPageStepSub:
        return CScrollHelper::Action::PageBack;
    case QAbstractSlider::SliderPageStepAdd:
        return CScrollHelper::Action::PageForward;
    case QAbstractSlider::SliderMove:
        return CScrollHelper::Action::Track;
    default:
        return CScrollHelper::Action::Other;
    }
}

void ShowAxis(QScrollBar* bar, const CScrollHelper::Axis& axis) {
    bar->setVisible(axis.Scrolls());
    bar->setRange(0, axis.MaxPosition());
    bar->setPageStep(std::max(axis.page, 1));
    bar->setValue(axis.position);
}

} // namespace

ScrolledArea::ScrolledArea(QSize displaySize, QWidget* parent) : QWidget(parent) {
    m_viewport = new QWidget(this);
    m_content = new QWidget(m_viewport);
    m_content->setFixedSize(displaySize);
    m_horizontalBar = new QScrollBar(Qt::Horizontal, this);
    m_verticalBar = new QScrollBar(Qt::Vertical, this);
    for (QScrollBar* bar : {m_horizontalBar, m_verticalBar}) {
        bar->setSingleStep(CScrollHelper::kLineStep);
        bar->hide();
        connect(bar, &QAbstractSlider::actionTriggered, this,
                [this, bar](int action) { OnBarAction(bar, action); });
    }
    m_helper.SetDisplaySize(displaySize.width(), displaySize.height());
}

void ScrolledArea::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Relayout();
}

void ScrolledArea::Relayout() {
    const int width = this->width();
    const int height = this->height();
    const int barWidth = m_verticalBar->sizeHint().width();
    const int barHeight = m_horizontalBar->sizeHint().height();
    const QSize display = m_content->size();
    // A bar on one axis can make the other too short as well; a second look settles it.
    int viewWidth = width;
    int viewHeight = height;
    for (int pass = 0; pass < 2; ++pass) {
        const bool horizontal = viewWidth < display.width();
        const bool vertical = viewHeight < display.height();
        viewWidth = width - (vertical ? barWidth : 0);
        viewHeight = height - (horizontal ? barHeight : 0);
    }
    m_helper.OnSize(viewWidth, viewHeight);
    m_viewport->setGeometry(0, 0, std::max(viewWidth, 0), std::max(viewHeight, 0));
    m_horizontalBar->setGeometry(0, viewHeight, std::max(viewWidth, 0), barHeight);
    m_verticalBar->setGeometry(viewWidth, 0, barWidth, std::max(viewHeight, 0));
    ShowPositions();
}

void ScrolledArea::OnBarAction(QScrollBar* bar, int sliderAction) {
    const CScrollHelper::Action action = HelperAction(sliderAction);
    if (bar == m_horizontalBar) {
        m_helper.OnHScroll(action, bar->sliderPosition());
    } else {
        m_helper.OnVScroll(action, bar->sliderPosition());
    }
    // The bar has already moved by its own rule; the helper's position is the one that holds.
    const CScrollHelper::Axis& axis =
        bar == m_horizontalBar ? m_helper.Horizontal() : m_helper.Vertical();
    bar->setSliderPosition(axis.position);
    ShowPositions();
}

void ScrolledArea::wheelEvent(QWheelEvent* event) {
    if (!m_helper.Vertical().Scrolls()) {
        event->ignore();
        return;
    }
    CScrollHelper::Movement movement;
    if (m_helper.OnMouseWheel(event->angleDelta().y(), QApplication::wheelScrollLines(),
                              &movement)) {
        ShowPositions();
    }
    event->accept();
}

void ScrolledArea::ShowPositions() {
    ShowAxis(m_horizontalBar, m_helper.Horizontal());
    ShowAxis(m_verticalBar, m_helper.Vertical());
    m_content->move(-m_helper.Horizontal().position, -m_helper.Vertical().position);
}

#include "controls/balloon_tip.h"

#include "controls/balloon_tip_shape.h"

#include <QCursor>
#include <QMouseEvent>
#include <QPainter>

CBalloonTip::CBalloonTip(QWidget* parent)
    : QWidget(parent, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    m_showTimer.setSingleShot(true);
    m_showTimer.setInterval(kShowDelayMs);
    connect(&m_showTimer, &QTimer::timeout, this, &CBalloonTip::ShowNow);
    m_watchTimer.setInterval(kWatchPeriodMs);
    connect(&m_watchTimer, &QTimer::timeout, this, &CBalloonTip::Watch);
}

void CBalloonTip::AddTool(QWidget* control, const QString& text, const QPixmap& icon) {
    if (control == nullptr) {
        return;
    }
    if (!m_tools.contains(control)) {
        control->installEventFilter(this);
        control->setMouseTracking(true);
        connect(control, &QObject::destroyed, this,
                [this](QObject* gone) { m_tools.remove(gone); });
    }
    m_tools.insert(control, Tool{text, icon});
}

void CBalloonTip::Show(const QString& text, QPoint anchor) {
    m_anchor = anchor;
    m_text = text;
    m_showTimer.start();
}

void CBalloonTip::SetIcon(const QPixmap& icon) {
    m_icon = icon;
}

QString CBalloonTip::ToolText(const QWidget* control) const {
    const auto found = m_tools.constFind(const_cast<QWidget*>(control));
    return found != m_tools.constEnd() ? found->text : QString();
}

void CBalloonTip::HideTip() {
    m_showTimer.stop();
    m_watchTimer.stop();
    hide();
}

bool CBalloonTip::eventFilter(QObject* watched, QEvent* event) {
    const auto tool = m_tools.constFind(watched);
    if (tool == m_tools.cend()) {
        return QWidget::eventFilter(watched, event);
    }
    switch (event->type()) {
    case QEvent::MouseMove: {
        const QPoint at = static_cast<QMouseEvent*>(event)->globalPosition().toPoint();
        if (at == m_anchor && (isVisible() || IsWaiting())) {
            break;
        }
        // Hide first: a shown tip must not jump to the new point without the cursor resting.
        HideTip();
        SetIcon(tool->icon);
        Show(tool->text, at);
        break;
    }
    case QEvent::Leave:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::Hide:
        HideTip();
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

QSize CBalloonTip::TextSize() const {
    return fontMetrics()
        .boundingRect(QRect(0, 0, 10000, 10000), Qt::AlignLeft | Qt::TextExpandTabs, m_text)
        .size();
}

void CBalloonTip::ShowNow() {
    const BalloonTipShape shape(TextSize(), m_icon.isNull() ? QSize() : m_icon.size());
    resize(shape.Window());
    setMask(QRegion(shape.Outline().toFillPolygon().toPolygon()));
    move(shape.WindowPosition(m_anchor));
    show();
    raise();
    update();
    m_watchTimer.start();
}

void CBalloonTip::Watch() {
    if (QCursor::pos() != m_anchor) {
        HideTip();
    }
}

void CBalloonTip::paintEvent(QPaintEvent*) {
    const BalloonTipShape shape(TextSize(), m_icon.isNull() ? QSize() : m_icon.size());
    const QPainterPath outline = shape.Outline();
    const QPalette& colours = palette();
    QPainter painter(this);
    painter.setClipPath(outline);
    painter.fillPath(outline, colours.color(QPalette::Base));
    // Inside the outline: three pixels of the light frame, the outer one in the text colour.
    painter.strokePath(outline, QPen(colours.color(QPalette::Mid), 6));
    painter.strokePath(outline, QPen(colours.color(QPalette::Text), 2));
    painter.setClipping(false);
    if (!m_icon.isNull()) {
        painter.drawPixmap(shape.IconOrigin(), m_icon);
    }
    painter.setPen(colours.color(QPalette::Text));
    const QSize text = TextSize();
    painter.drawText(QRect(shape.TextOrigin(), text), Qt::AlignLeft | Qt::TextExpandTabs, m_text);
}

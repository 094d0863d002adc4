#include "controls/sizing_dialog_bar.h"

#include "controls/sizing_bar_gripper.h"

#include <QMainWindow>
#include <QMouseEvent>
#include <QRubberBand>
#include <QStyle>

namespace {

BarDockSide SideOf(Qt::DockWidgetArea area) {
    switch (area) {
    case Qt::TopDockWidgetArea:
        return BarDockSide::Top;
    case Qt::LeftDockWidgetArea:
        return BarDockSide::Left;
    case Qt::RightDockWidgetArea:
        return BarDockSide::Right;
    case Qt::BottomDockWidgetArea:
        return BarDockSide::Bottom;
    default:
        return BarDockSide::Floating;
    }
}

} // namespace

CSizingDialogBar::CSizingDialogBar(QWidget* parent) : QDockWidget(parent) {
    m_client = new QWidget(this);
    m_client->setMouseTracking(true);
    m_client->setMinimumSize(SizingBarGeometry::kMinimumExtent, SizingBarGeometry::kMinimumExtent);
    m_client->installEventFilter(this);
    setWidget(m_client);
    m_gripper = new CSizingBarGripper(this);
    setTitleBarWidget(m_gripper);
    setAllowedAreas(Qt::AllDockWidgetAreas);
    connect(m_gripper, &CSizingBarGripper::CloseClicked, this, &QWidget::hide);
    connect(m_gripper, &CSizingBarGripper::ToggleFloatingRequested, this,
            &CSizingDialogBar::ToggleFloating);
    connect(this, &QDockWidget::dockLocationChanged, this, [this] {
        UpdateSide();
        ApplyExtent();
    });
    connect(this, &QDockWidget::topLevelChanged, this, [this](bool floating) {
        UpdateSide();
        if (floating) {
            // The floating window's client is the hosted size, inside its frame and caption.
            const int frame =
                2 * style()->pixelMetric(QStyle::PM_DockWidgetFrameWidth, nullptr, this);
            resize(m_floatingSize.width() + frame,
                   m_floatingSize.height() + SizingBarGeometry::kGripperWidth + frame);
        }
    });
    UpdateSide();
}

bool CSizingDialogBar::Create(QMainWindow* frame, QWidget* hosted, const QString& title,
                              Qt::DockWidgetArea area) {
    if (frame == nullptr || hosted == nullptr) {
        return false;
    }
    m_frame = frame;
    m_hosted = hosted;
    setWindowTitle(title);
    const QSize size = hosted->size();
    m_floatingSize = size;
    m_heightExtent = SizingBarGeometry::DockedExtent(BarDockSide::Bottom, size);
    m_widthExtent = SizingBarGeometry::DockedExtent(BarDockSide::Left, size);
    hosted->setParent(m_client);
    hosted->show();
    setParent(frame);
    frame->addDockWidget(area, this);
    UpdateSide();
    ApplyExtent();
    return true;
}

BarDockSide CSizingDialogBar::DockSide() const {
    if (isFloating() || m_frame.isNull()) {
        return BarDockSide::Floating;
    }
    return SideOf(m_frame->dockWidgetArea(const_cast<CSizingDialogBar*>(this)));
}

int CSizingDialogBar::DockedExtent(BarDockSide side) const {
    return SizingBarGeometry::IsHorizontal(side) ? m_heightExtent : m_widthExtent;
}

QSize CSizingDialogBar::sizeHint() const {
    const QSize base = QDockWidget::sizeHint();
    switch (m_side) {
    case BarDockSide::Top:
    case BarDockSide::Bottom:
        return QSize(base.width(), m_heightExtent);
    case BarDockSide::Left:
    case BarDockSide::Right:
        return QSize(m_widthExtent, base.height());
    case BarDockSide::Floating:
        break;
    }
    return base;
}

void CSizingDialogBar::UpdateSide() {
    m_side = DockSide();
    m_gripper->SetSide(m_side);
    // Docked across the frame the gripper stands at the left, elsewhere at the top.
    DockWidgetFeatures features = DockWidgetClosable | DockWidgetMovable | DockWidgetFloatable;
    if (SizingBarGeometry::IsHorizontal(m_side)) {
        features |= DockWidgetVerticalTitleBar;
    }
    setFeatures(features);
    LayOutHosted();
}

void CSizingDialogBar::LayOutHosted() {
    if (m_hosted.isNull()) {
        return;
    }
    m_hosted->setGeometry(
        m_client->rect().marginsRemoved(SizingBarGeometry::HostedMargins(m_side)));
}

void CSizingDialogBar::ApplyExtent() {
    // Docking elsewhere lays the frame out again, which may report the move once more.
    if (m_inLayout || m_frame.isNull() || m_side == BarDockSide::Floating) {
        return;
    }
    m_inLayout = true;
    const bool across = SizingBarGeometry::IsHorizontal(m_side);
    m_frame->resizeDocks({this}, {across ? m_heightExtent : m_widthExtent},
                         across ? Qt::Vertical : Qt::Horizontal);
    m_inLayout = false;
}

void CSizingDialogBar::ToggleFloating() {
    if (m_sizing) {
        return;
    }
    setFloating(!isFloating());
}

bool CSizingDialogBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_client) {
        return QDockWidget::eventFilter(watched, event);
    }
    switch (event->type()) {
    case QEvent::Resize:
        LayOutHosted();
        break;
    case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton && !m_sizing &&
            SizingBarGeometry::SizingEdge(m_side, m_client->size())
                .contains(mouse->position().toPoint())) {
            BeginSizing(mouse->globalPosition().toPoint());
            return true;
        }
        break;
    }
    case QEvent::MouseMove: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (m_sizing) {
            MoveSizing(mouse->globalPosition().toPoint());
            return true;
        }
        const bool onEdge = SizingBarGeometry::SizingEdge(m_side, m_client->size())
                                .contains(mouse->position().toPoint());
        if (onEdge) {
            m_client->setCursor(SizingBarGeometry::IsHorizontal(m_side) ? Qt::SizeVerCursor
                                                                        : Qt::SizeHorCursor);
        } else {
            m_client->unsetCursor();
        }
        break;
    }
    case QEvent::MouseButtonRelease: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (m_sizing && mouse->button() == Qt::LeftButton) {
            EndSizing(mouse->globalPosition().toPoint());
            return true;
        }
        break;
    }
    default:
        break;
    }
    return QDockWidget::eventFilter(watched, event);
}

void CSizingDialogBar::hideEvent(QHideEvent* event) {
    CancelSizing();
    QDockWidget::hideEvent(event);
}

QRect CSizingDialogBar::EdgeInFrame() const {
    const QRect edge = SizingBarGeometry::SizingEdge(m_dragSide, m_client->size());
    if (m_frame.isNull()) {
        return QRect();
    }
    return QRect(m_client->mapTo(m_frame.data(), edge.topLeft()), edge.size());
}

void CSizingDialogBar::BeginSizing(QPoint global) {
    if (m_frame.isNull() || m_side == BarDockSide::Floating) {
        return;
    }
    m_sizing = true;
    m_dragSide = m_side;
    m_dragStart = global;
    if (m_tracker == nullptr) {
        m_tracker = new QRubberBand(QRubberBand::Line, m_frame.data());
    }
    m_tracker->setGeometry(EdgeInFrame().adjusted(1, 1, -1, -1));
    m_tracker->show();
    m_tracker->raise();
}

int CSizingDialogBar::DragDelta(QPoint global) const {
    const QPoint moved = global - m_dragStart;
    return SizingBarGeometry::IsHorizontal(m_dragSide) ? moved.y() : moved.x();
}

void CSizingDialogBar::MoveSizing(QPoint global) {
    if (m_tracker == nullptr) {
        return;
    }
    const int delta = DragDelta(global);
    const QRect edge = EdgeInFrame().adjusted(1, 1, -1, -1);
    m_tracker->setGeometry(SizingBarGeometry::IsHorizontal(m_dragSide) ? edge.translated(0, delta)
                                                                       : edge.translated(delta, 0));
}

void CSizingDialogBar::EndSizing(QPoint global) {
    const int delta = DragDelta(global);
    const bool across = SizingBarGeometry::IsHorizontal(m_dragSide);
    const int oldExtent = across ? height() : width();
    CancelSizing();
    const std::optional<int> extent =
        SizingBarGeometry::DraggedExtent(m_dragSide, oldExtent, delta, MaximumExtent());
    if (!extent.has_value() || m_dragSide != m_side) {
        return;
    }
    (across ? m_heightExtent : m_widthExtent) = *extent;
    ApplyExtent();
}

void CSizingDialogBar::CancelSizing() {
    m_sizing = false;
    if (m_tracker != nullptr) {
        m_tracker->hide();
    }
}

int CSizingDialogBar::MaximumExtent() const {
    if (m_frame.isNull()) {
        return SizingBarGeometry::kMinimumExtent;
    }
    const bool across = SizingBarGeometry::IsHorizontal(m_dragSide);
    const int current = across ? height() : width();
    // The bar may take the room of the central area, not more.
    if (const QWidget* central = m_frame->centralWidget(); central != nullptr) {
        return current + (across ? central->height() : central->width());
    }
    return across ? m_frame->height() : m_frame->width();
}

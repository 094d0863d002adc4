#pragma once

#include "controls/sizing_bar_geometry.h"

#include <QDockWidget>
#include <QPoint>
#include <QPointer>

class CSizingBarGripper;
class QMainWindow;
class QRubberBand;

// A dock widget that hosts one widget (the log pane) with a gripper of its own and a sizing
// edge on the side toward the frame's centre. Dragging the edge changes the bar's height (or
// width at the sides) by the drag distance when the button is released; a drag that would make
// it smaller than 32 pixels or larger than the frame allows is ignored. The extents docked
// across and along the frame and the floating size are kept apart and come from the hosted
// widget's size at creation. The hosted widget becomes a child of the bar.
class CSizingDialogBar : public QDockWidget {
    Q_OBJECT

public:
    explicit CSizingDialogBar(QWidget* parent = nullptr);

    // Hosts the widget, takes the sizes from it and docks the bar in the frame's area.
    bool Create(QMainWindow* frame, QWidget* hosted, const QString& title,
                Qt::DockWidgetArea area = Qt::BottomDockWidgetArea);

    BarDockSide DockSide() const;
    QWidget* Hosted() const { return m_hosted; }
    // The part beside the gripper: the hosted widget and the sizing edge.
    QWidget* Client() const { return m_client; }
    CSizingBarGripper* Gripper() const { return m_gripper; }
    // Height docked at the top or bottom, width docked at a side.
    int DockedExtent(BarDockSide side) const;
    QSize FloatingSize() const { return m_floatingSize; }
    bool IsSizing() const { return m_sizing; }

    QSize sizeHint() const override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void ToggleFloating();
    void UpdateSide();
    void LayOutHosted();
    void ApplyExtent();
    void BeginSizing(QPoint global);
    void MoveSizing(QPoint global);
    void EndSizing(QPoint global);
    void CancelSizing();
    int DragDelta(QPoint global) const;
    int MaximumExtent() const;
    QRect EdgeInFrame() const;

    QPointer<QMainWindow> m_frame;
    QPointer<QWidget> m_hosted;
    QWidget* m_client = nullptr;
    CSizingBarGripper* m_gripper = nullptr;
    QRubberBand* m_tracker = nullptr;
    int m_heightExtent = 200;
    int m_widthExtent = 200;
    QSize m_floatingSize{200, 200};
    BarDockSide m_side = BarDockSide::Floating;
    bool m_sizing = false;
    bool m_inLayout = false;
    QPoint m_dragStart;
    BarDockSide m_dragSide = BarDockSide::Floating;
};

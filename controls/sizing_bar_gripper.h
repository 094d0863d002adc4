#pragma once

#include "controls/sizing_bar_geometry.h"

#include <QWidget>

// The title bar of the resizable docking bar: a gripper with a close box, a second box and two
// raised bars when docked, the caption of the floating window otherwise. It only paints and
// reports clicks; presses on the caption are left to the dock widget, which drags the bar.
class CSizingBarGripper : public QWidget {
    Q_OBJECT

public:
    explicit CSizingBarGripper(QWidget* parent = nullptr);

    void SetSide(BarDockSide side);
    BarDockSide Side() const { return m_side; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void CloseClicked();
    void ToggleFloatingRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    BarDockSide m_side = BarDockSide::Bottom;
};

#pragma once

#include "controls/scroll_helper.h"

#include <QSize>
#include <QWidget>

class QScrollBar;

// The window side of CScrollHelper: a content widget of a fixed size seen through a viewport,
// with a bar on each axis where the area is smaller than the content. Size changes, bar actions
// and wheel turns go to the helper, and the content is moved to its positions. The bars' room
// is taken from the viewport before the helper sees the size, so the far edge of the content
// can always be scrolled into view. Owns the content (build the panel's controls on it) and
// the helper.
class ScrolledArea : public QWidget {
    Q_OBJECT

public:
    explicit ScrolledArea(QSize displaySize, QWidget* parent = nullptr);

    QWidget* Content() const { return m_content; }
    const CScrollHelper& Helper() const { return m_helper; }
    QScrollBar* HorizontalBar() const { return m_horizontalBar; }
    QScrollBar* VerticalBar() const { return m_verticalBar; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void Relayout();
    void OnBarAction(QScrollBar* bar, int sliderAction);
    void ShowPositions();

    CScrollHelper m_helper;
    QWidget* m_viewport = nullptr;
    QWidget* m_content = nullptr;
    QScrollBar* m_horizontalBar = nullptr;
    QScrollBar* m_verticalBar = nullptr;
};

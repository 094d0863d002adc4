#include "controls/tip_list_box.h"

#include "controls/tip_geometry.h"
#include "controls/tip_window.h"

#include <QAbstractItemView>
#include <QCursor>
#include <QEvent>
#include <QMouseEvent>

CTipListBox::CTipListBox(QAbstractItemView* list)
    : QObject(list), m_list(list), m_viewport(list->viewport()) {
    m_tip = new CTipWindow(list);
    list->setMouseTracking(true);
    list->viewport()->setMouseTracking(true);
    list->viewport()->installEventFilter(this);
    m_timer.setInterval(kTimerMs);
    connect(&m_timer, &QTimer::timeout, this, &CTipListBox::CheckCursor);
}

CTipListBox::~CTipListBox() = default;

CTipWindow* CTipListBox::Tip() const {
    return m_tip.data();
}

bool CTipListBox::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_viewport) {
        if (event->type() == QEvent::MouseMove) {
            Track(static_cast<QMouseEvent*>(event)->position().toPoint());
        } else if ((event->type() == QEvent::Leave || event->type() == QEvent::Hide) &&
                   m_tip != nullptr) {
            m_tip->hide();
        }
    }
    return QObject::eventFilter(watched, event);
}

void CTipListBox::Track(const QPoint& cursor) {
    QWidget* viewport = m_list->viewport();
    const QModelIndex index = m_list->indexAt(cursor);
    // A line spans the list's width, whatever width the view gives its text.
    QRect item;
    if (index.isValid()) {
        const QRect visual = m_list->visualRect(index);
        item = QRect(viewport->rect().left(), visual.top(), viewport->width(), visual.height());
    }
    const QString text = index.data().toString();
    const tip_geometry::Placement place = tip_geometry::ListTip(
        viewport->rect(), item, cursor, viewport->fontMetrics().horizontalAdvance(text));
    if (!place.show) {
        m_tip->hide();
        return;
    }
    const QPalette& colours = m_list->palette();
    m_tip->ShowAt(text, viewport->mapToGlobal(place.at), colours.color(QPalette::Highlight),
                  colours.color(QPalette::HighlightedText));
    m_timer.start();
}

void CTipListBox::CheckCursor() {
    if (m_list == nullptr || !m_list->isVisible() ||
        !m_list->viewport()->rect().contains(m_list->viewport()->mapFromGlobal(QCursor::pos()))) {
        m_timer.stop();
        m_tip->hide();
    }
}

#include "controls/tip_combo_box.h"

#include "controls/tip_geometry.h"
#include "controls/tip_list_box.h"
#include "controls/tip_window.h"

#include <QAbstractItemView>
#include <QChildEvent>
#include <QCursor>
#include <QEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QStyle>

CTipComboBox::CTipComboBox(QWidget* parent) : QComboBox(parent) {
    m_tip = new CTipWindow(this);
    setMouseTracking(true);
    m_timer.setInterval(kTimerMs);
    connect(&m_timer, &QTimer::timeout, this, &CTipComboBox::CheckCursor);
    // An editable box's edit takes the mouse: its moves are tracked too.
    connect(this, &QComboBox::editTextChanged, this, [this] { m_tip->hide(); });
}

CTipComboBox::~CTipComboBox() = default;

QRect CTipComboBox::TextArea() const {
    return tip_geometry::ComboTextArea(rect(), style()->pixelMetric(QStyle::PM_ScrollBarExtent));
}

void CTipComboBox::showPopup() {
    if (m_listTips == nullptr) {
        m_listTips = new CTipListBox(view());
    }
    m_tip->hide();
    QComboBox::showPopup();
}

void CTipComboBox::mouseMoveEvent(QMouseEvent* event) {
    Track(event->position().toPoint());
    QComboBox::mouseMoveEvent(event);
}

bool CTipComboBox::eventFilter(QObject* watched, QEvent* event) {
    if (lineEdit() != nullptr && watched == lineEdit() && event->type() == QEvent::MouseMove) {
        Track(lineEdit()->mapTo(this, static_cast<QMouseEvent*>(event)->position().toPoint()));
    }
    return QComboBox::eventFilter(watched, event);
}

void CTipComboBox::childEvent(QChildEvent* event) {
    QComboBox::childEvent(event);
    // An editable box's edit covers the text area and takes the mouse: its moves count too.
    if (event->type() == QEvent::ChildPolished) {
        if (auto* edit = qobject_cast<QLineEdit*>(event->child())) {
            edit->setMouseTracking(true);
            edit->installEventFilter(this);
        }
    }
}

void CTipComboBox::Track(const QPoint& cursor) {
    const QRect area = TextArea();
    const QString text = currentText();
    const tip_geometry::Placement place =
        tip_geometry::ComboTip(area, cursor, fontMetrics().horizontalAdvance(text));
    if (!place.show) {
        m_tip->hide();
        return;
    }
    const bool focused = hasFocus() || (lineEdit() != nullptr && lineEdit()->hasFocus());
    const QPalette& colours = palette();
    m_tip->ShowAt(text, mapToGlobal(place.at),
                  colours.color(focused ? QPalette::Highlight : QPalette::Base),
                  colours.color(focused ? QPalette::HighlightedText : QPalette::Text));
    m_timer.start();
}

void CTipComboBox::CheckCursor() {
    if (!TextArea().contains(mapFromGlobal(QCursor::pos()))) {
        m_timer.stop();
        m_tip->hide();
    }
}

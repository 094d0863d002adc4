#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>

class CTipWindow;
class QAbstractItemView;

// Full-text tips for the lines of a list (the tip combo box's drop-down list): while the cursor
// is on a line whose text is wider than the line, the whole text shows over it in the
// selection colours; an 80 ms timer takes the tip away once the cursor has left the list or
// the list is no longer visible.
class CTipListBox : public QObject {
    Q_OBJECT
public:
    static constexpr int kTimerMs = 80;

    explicit CTipListBox(QAbstractItemView* list);
    ~CTipListBox() override;

    CTipWindow* Tip() const;
    QAbstractItemView* List() const { return m_list; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Track(const QPoint& cursor);
    void CheckCursor();

    QPointer<QAbstractItemView> m_list;
    // Compared, never used: while the list is being destroyed its viewport still sends events,
    // and the list is no longer a list then.
    const QObject* m_viewport = nullptr;
    QPointer<CTipWindow> m_tip;
    QTimer m_timer;
};

#pragma once

#include <QComboBox>
#include <QTimer>

class CTipListBox;
class CTipWindow;

// A combo box whose text, when wider than its text area, shows whole in a tip exactly over it
// while the cursor is on it (selection colours with the focus, window colours without); a timer
// takes the tip away once the cursor has left. Its drop-down list gets the same tips
// (CTipListBox) the first time it opens.
class CTipComboBox : public QComboBox {
    Q_OBJECT
public:
    static constexpr int kTimerMs = 100;

    explicit CTipComboBox(QWidget* parent = nullptr);
    ~CTipComboBox() override;

    CTipWindow* Tip() const { return m_tip; }
    // Null until the list first opened.
    CTipListBox* ListTips() const { return m_listTips; }
    // The text area the tip covers, in the combo box's coordinates.
    QRect TextArea() const;

    void showPopup() override;

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void childEvent(QChildEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Track(const QPoint& cursor);
    void CheckCursor();

    CTipWindow* m_tip = nullptr;
    CTipListBox* m_listTips = nullptr;
    QTimer m_timer;
};

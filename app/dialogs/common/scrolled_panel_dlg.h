#pragma once

#include <QDialog>

class ScrolledArea;

// What the panels the file view lays over its client area share: a child dialog without a
// caption, black on white, whose 810 x 450 content scrolls when the view is smaller. Closing
// it deletes it, so whoever holds it keeps a QPointer.
class CScrolledPanelDlg : public QDialog {
    Q_OBJECT

public:
    static constexpr int kDisplayWidth = 810;
    static constexpr int kDisplayHeight = 450;

    ScrolledArea* Area() const { return m_area; }

protected:
    CScrolledPanelDlg(int templateId, QWidget* parent);

    // The widget the panel's controls are placed on, in content coordinates.
    QWidget* Content() const;

private:
    ScrolledArea* m_area = nullptr;
};

#pragma once

#include <QDialog>

class ScrolledArea;

// The panel the file view lays over its client area while the drive list is shown and no scan
// has filled the view: one picture (176) on white, which tells how to start. The content is
// 810 x 450 pixels and scrolls when the view is smaller. A scan's start or end closes it, which
// deletes it (close() or delete).
class CScrollBitmapDlg : public QDialog {
    Q_OBJECT

public:
    static constexpr int kTemplateId = 165;
    static constexpr int kPictureId = 176;
    static constexpr int kDisplayWidth = 810;
    static constexpr int kDisplayHeight = 450;

    explicit CScrollBitmapDlg(QWidget* parent = nullptr);

    ScrolledArea* Area() const { return m_area; }

private:
    ScrolledArea* m_area = nullptr;
};

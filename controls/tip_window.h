#pragma once

#include <QLabel>

// The tracking tip the tip combo box and its list show: a frameless tooltip window with the
// whole text in the given colours and the owner's font, no wider limit than the screen.
class CTipWindow : public QLabel {
    Q_OBJECT
public:
    explicit CTipWindow(QWidget* owner);

    // Shows `text` with its top-left at `globalAt`.
    void ShowAt(const QString& text, const QPoint& globalAt, const QColor& background,
                const QColor& foreground);
};

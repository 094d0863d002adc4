#include "controls/tip_window.h"

CTipWindow::CTipWindow(QWidget* owner)
    : QLabel(owner, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("tip"));
    setAutoFillBackground(true);
    setTextFormat(Qt::PlainText);
    setContentsMargins(0, -1, 0, -1);
    setFont(owner->font());
}

void CTipWindow::ShowAt(const QString& text, const QPoint& globalAt, const QColor& background,
                        const QColor& foreground) {
    QPalette colours = palette();
    colours.setColor(QPalette::Window, background);
    colours.setColor(QPalette::WindowText, foreground);
    setPalette(colours);
    setFont(parentWidget()->font());
    setText(text);
    adjustSize();
    move(globalAt);
    show();
}

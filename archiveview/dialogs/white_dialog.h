#pragma once

#include <QPalette>
#include <QSize>
#include <QWidget>

// The previews paint on white, dialog and controls alike.
inline void MakeWhite(QWidget& widget) {
    QPalette palette = widget.palette();
    palette.setColor(QPalette::Window, Qt::white);
    palette.setColor(QPalette::Base, Qt::white);
    widget.setPalette(palette);
    widget.setAutoFillBackground(true);
}

// The dialogs were laid out in dialog units of an 8-point font: about 1.5 pixels across and
// 1.625 down.
inline QSize DialogUnitsToPixels(int across, int down) {
    return QSize(across * 3 / 2, down * 13 / 8);
}

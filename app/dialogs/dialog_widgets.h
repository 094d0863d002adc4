#pragma once

#include <cstdint>

class QPushButton;
class QWidget;

// Pieces the dialogs build themselves from: a flat push button with its string-table text and
// its control id as object name, and the white background of the dialogs.
QPushButton* MakeDialogButton(uint32_t textId, int id, QWidget* parent);
void PaintWhite(QWidget& dialog);

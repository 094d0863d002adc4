#pragma once

#include "jobs/mask/entry_dates.h"

#include <QString>

#include <cstdint>

class QDateEdit;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QSpinBox;
class QPushButton;
class QWidget;

// Pieces the dialogs build themselves from: a flat push button with its string-table text and
// its control id as object name, and the white background of the dialogs.
QPushButton* MakeDialogButton(uint32_t textId, int id, QWidget* parent);
void PaintWhite(QWidget& dialog);

// A control with its id as object name, for the dialogs that build their own.
template <typename T> T* WithId(T* control, int id) {
    control->setObjectName(QString::number(id));
    return control;
}
// A static in the bold face the dialogs' headings use, with its id as object name or without.
QLabel* MakeBoldLabel(const QString& text, int id, QWidget* parent);
QLabel* MakeBoldLabel(const QString& text, QWidget* parent);
// The day a date picker shows.
CalendarDate PickedDate(const QDateEdit& picker);
// The up-down control beside a number edit: steps the number within low..high, wrapping at
// both ends, and writes it into the edit; a number typed into the edit is where it steps from.
QSpinBox* MakeSpinFor(QLineEdit& edit, int id, int low, int high, QWidget* parent);
// The OK, Cancel and Help buttons of a dialog, OK the default, and the row they end it with:
// Help at the left, OK and Cancel at the right.
struct OkCancelHelpRow {
    QPushButton* ok = nullptr;
    QPushButton* cancel = nullptr;
    QPushButton* help = nullptr;
    QHBoxLayout* row = nullptr;
};
OkCancelHelpRow MakeOkCancelHelpRow(int okId, int cancelId, int helpId, QWidget* parent);
// Two controls side by side in one cell of a grid.
QHBoxLayout* Beside(QWidget* first, QWidget* second);

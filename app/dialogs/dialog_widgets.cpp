#include "app/dialogs/dialog_widgets.h"

#include "app/program_text.h"
#include "controls/flat_button.h"

#include <QDateEdit>
#include <QLabel>
#include <QPalette>
#include <QPushButton>

QPushButton* MakeDialogButton(uint32_t textId, int id, QWidget* parent) {
    auto* button = new CFlatButton(ProgramText(textId), parent);
    button->setObjectName(QString::number(id));
    return button;
}

void PaintWhite(QWidget& dialog) {
    dialog.setAutoFillBackground(true);
    QPalette white = dialog.palette();
    white.setColor(QPalette::Window, Qt::white);
    dialog.setPalette(white);
}

QLabel* MakeBoldLabel(const QString& text, int id, QWidget* parent) {
    auto* label = WithId(new QLabel(text, parent), id);
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    return label;
}

CalendarDate PickedDate(const QDateEdit& picker) {
    const QDate date = picker.date();
    return {date.year(), date.month(), date.day()};
}

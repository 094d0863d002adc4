#include "app/dialogs/dialog_widgets.h"

#include "app/program_text.h"
#include "controls/flat_button.h"

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

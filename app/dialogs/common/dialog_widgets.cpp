#include "app/dialogs/common/dialog_widgets.h"

#include "app/program_text.h"
#include "controls/flat_button.h"
#include "resources/string_ids.h"

#include <QDateEdit>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>

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
    return WithId(MakeBoldLabel(text, parent), id);
}

QLabel* MakeBoldLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    return label;
}

OkCancelHelpRow MakeOkCancelHelpRow(int okId, int cancelId, int helpId, QWidget* parent) {
    OkCancelHelpRow buttons;
    buttons.ok = MakeDialogButton(kOkTextId, okId, parent);
    buttons.ok->setDefault(true);
    buttons.cancel = MakeDialogButton(kCancelTextId, cancelId, parent);
    buttons.help = MakeDialogButton(kHelpTextId, helpId, parent);
    buttons.row = new QHBoxLayout();
    buttons.row->addWidget(buttons.help);
    buttons.row->addStretch(1);
    buttons.row->addWidget(buttons.ok);
    buttons.row->addWidget(buttons.cancel);
    return buttons;
}

CalendarDate PickedDate(const QDateEdit& picker) {
    const QDate date = picker.date();
    return {date.year(), date.month(), date.day()};
}

QSpinBox* MakeSpinFor(QLineEdit& edit, int id, int low, int high, QWidget* parent) {
    auto* spin = WithId(new QSpinBox(parent), id);
    spin->setRange(low, high);
    spin->setWrapping(true);
    // Only the arrows show: the number is the edit's.
    spin->setFixedWidth(spin->sizeHint().height());
    QObject::connect(spin, &QSpinBox::valueChanged, &edit,
                     [&edit](int value) { edit.setText(QString::number(value)); });
    QObject::connect(&edit, &QLineEdit::textChanged, spin, [spin, low, high](const QString& text) {
        bool number = false;
        const int value = text.trimmed().toInt(&number);
        if (number && value >= low && value <= high) {
            const QSignalBlocker quiet(spin);
            spin->setValue(value);
        }
    });
    return spin;
}

QHBoxLayout* Beside(QWidget* first, QWidget* second) {
    auto* row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    row->addWidget(first);
    row->addWidget(second);
    return row;
}

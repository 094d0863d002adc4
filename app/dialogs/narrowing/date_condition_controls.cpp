#include "app/dialogs/narrowing/date_condition_controls.h"

#include "app/dialogs/common/dialog_widgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>

void DateConditionControls::Enable(bool on) const {
    field->setEnabled(on);
    for (QRadioButton* radio : {months, days, between}) {
        radio->setEnabled(on);
    }
    monthsEdit->setEnabled(on && months->isChecked());
    daysEdit->setEnabled(on && days->isChecked());
    monthsSpin->setEnabled(monthsEdit->isEnabled());
    daysSpin->setEnabled(daysEdit->isEnabled());
    firstDate->setEnabled(on && between->isChecked());
    secondDate->setEnabled(on && between->isChecked());
}

void DateConditionControls::AddTo(QGridLayout& grid, int row, QWidget* parent,
                                  const QString& monthsText, const QString& daysText,
                                  const QString& andText) const {
    grid.addWidget(check, row, 0);
    grid.addWidget(field, row, 1, 1, 3);
    grid.addWidget(months, row + 1, 0);
    grid.addLayout(Beside(monthsEdit, monthsSpin), row + 1, 1);
    grid.addWidget(new QLabel(monthsText, parent), row + 1, 2);
    grid.addWidget(days, row + 2, 0);
    grid.addLayout(Beside(daysEdit, daysSpin), row + 2, 1);
    grid.addWidget(new QLabel(daysText, parent), row + 2, 2);
    grid.addWidget(between, row + 3, 0);
    grid.addWidget(firstDate, row + 3, 1);
    if (andText.isEmpty()) {
        grid.addWidget(secondDate, row + 3, 2, 1, 2);
    } else {
        grid.addWidget(new QLabel(andText, parent), row + 3, 2);
        grid.addWidget(secondDate, row + 3, 3);
    }
}

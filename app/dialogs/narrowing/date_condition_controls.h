#pragma once

class QCheckBox;
class QComboBox;
class QDateEdit;
class QGridLayout;
class QLineEdit;
class QRadioButton;
class QSpinBox;
class QString;
class QWidget;

// The controls of a date condition, as the file mask and the find dialog both show them: the
// check box, the date field, and "in the last" months or days or "between" two dates. The
// dialog owns the widgets (they are its children); this only groups them.
struct DateConditionControls {
    QCheckBox* check = nullptr;
    QComboBox* field = nullptr;
    QRadioButton* months = nullptr;
    QRadioButton* days = nullptr;
    QRadioButton* between = nullptr;
    QLineEdit* monthsEdit = nullptr;
    QLineEdit* daysEdit = nullptr;
    QSpinBox* monthsSpin = nullptr;
    QSpinBox* daysSpin = nullptr;
    QDateEdit* firstDate = nullptr;
    QDateEdit* secondDate = nullptr;

    // Enables the field and the three choices when `on`, and the edits of the chosen one.
    void Enable(bool on) const;
    // Lays the controls out from `row` of `grid`: the check box and the field, then a row for
    // each choice, the number choices with their unit texts, the two dates with `andText`
    // between them (without one the second date spans both columns). Texts are children of
    // `parent`.
    void AddTo(QGridLayout& grid, int row, QWidget* parent, const QString& monthsText,
               const QString& daysText, const QString& andText) const;
};

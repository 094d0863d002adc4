#pragma once

#include <QLineEdit>

// The go-to offset box: takes hexadecimal digits only, at most 16. Every edit is checked,
// typed or pasted; an edit that would put anything else in the box is dropped whole.
class CHexEdit : public QLineEdit {
    Q_OBJECT
public:
    static constexpr int kControlId = 103;

    explicit CHexEdit(QWidget* parent = nullptr);
};

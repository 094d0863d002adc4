#include "hexview/hex_edit.h"

#include "hexview/hex_info_panel.h"

#include <QValidator>

namespace {

class HexOffsetValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override {
        return HexOffsetText::Acceptable(input.toStdU16String()) ? Acceptable : Invalid;
    }
};

} // namespace

CHexEdit::CHexEdit(QWidget* parent) : QLineEdit(parent) {
    setObjectName(QString::number(kControlId));
    setMaxLength(static_cast<int>(HexOffsetText::kMaxDigits));
    setValidator(new HexOffsetValidator(this));
}

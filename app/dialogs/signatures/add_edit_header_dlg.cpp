#include "app/dialogs/signatures/add_edit_header_dlg.h"

#include "app/dialogs/common/dialog_help.h"
#include "app/dialogs/common/dialog_widgets.h"
#include "app/dialogs/signatures/signature_input.h"
#include "app/dialogs/signatures/signature_rows.h"
#include "app/program_text.h"
#include "filesystems/signatures/signature_file.h"
#include "resources/string_ids.h"

#include <QAbstractSpinBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <functional>
#include <string>

// The unit edit with its spin: every step in either direction switches between KB and MB.
class UnitSpin : public QAbstractSpinBox {
public:
    UnitSpin(std::function<void()> onStep, QWidget* parent)
        : QAbstractSpinBox(parent), m_onStep(std::move(onStep)) {
        lineEdit()->setReadOnly(true);
        lineEdit()->setObjectName(QString::number(CAddEditHeaderDlg::kUnitEditId));
    }

    bool Megabytes() const { return m_megabytes; }
    void SetMegabytes(bool megabytes) {
        m_megabytes = megabytes;
        lineEdit()->setText(ProgramText(megabytes ? kMegabytesUnitId : kKilobytesUnitId));
    }

    void stepBy(int steps) override {
        if (steps == 0)
            return;
        SetMegabytes(!m_megabytes);
        m_onStep();
    }

protected:
    StepEnabled stepEnabled() const override { return StepUpEnabled | StepDownEnabled; }

private:
    std::function<void()> m_onStep;
    bool m_megabytes = true;
};

namespace {

QLineEdit* MakeEdit(int id, QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::number(id));
    return edit;
}

} // namespace

CAddEditHeaderDlg::CAddEditHeaderDlg(FileSignature* record, std::vector<FileSignature>& userList,
                                     QWidget* parent)
    : QDialog(parent), m_record(record), m_userList(userList) {
    setObjectName(QString::number(kDialogId));
    setWindowTitle(ProgramText(kAddEditCaptionId));
    setModal(true);
    PaintWhite(*this);

    auto* instruction = new QLabel(ProgramText(kInstructionId), this);
    instruction->setWordWrap(true);
    m_name = MakeEdit(kNameEditId, this);
    m_extension = MakeEdit(kExtensionEditId, this);
    m_header = MakeEdit(kHeaderEditId, this);
    m_offset = MakeEdit(kOffsetEditId, this);
    m_size = MakeEdit(kSizeEditId, this);
    m_unit = new UnitSpin([this] { OnUnitStep(); }, this);
    m_unit->setObjectName(QString::number(kUnitSpinId));
    m_group = new QComboBox(this);
    m_group->setObjectName(QString::number(kGroupComboId));
    for (size_t i = 0; i < kFileGroupCount; ++i) {
        const std::u16string_view name = FileGroupName(i);
        m_group->addItem(ToQString(name));
    }

    auto* sizeRow = new QHBoxLayout();
    sizeRow->addWidget(m_size, 1);
    sizeRow->addWidget(m_unit);
    auto* form = new QFormLayout();
    form->addRow(ProgramText(kSoftwareNameLabelId), m_name);
    form->addRow(ProgramText(kExtensionLabelId), m_extension);
    form->addRow(ProgramText(kHeaderLabelId), m_header);
    form->addRow(ProgramText(kOffsetLabelId), m_offset);
    form->addRow(ProgramText(kSizeLabelId), sizeRow);
    form->addRow(ProgramText(kGroupLabelId), m_group);

    m_ok = MakeDialogButton(kOkTextId, 1, this);
    m_ok->setDefault(true);
    auto* cancel = MakeDialogButton(kCancelTextId, 2, this);
    auto* help = MakeDialogButton(kHelpTextId, kHelpId, this);
    auto* buttons = new QHBoxLayout();
    buttons->addWidget(help);
    buttons->addStretch(1);
    buttons->addWidget(m_ok);
    buttons->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(instruction);
    layout->addLayout(form);
    layout->addLayout(buttons);

    m_unit->SetMegabytes(true);
    if (m_record != nullptr) {
        const FileSignature& shown = *m_record;
        m_name->setText(ToQString(shown.softwareName));
        m_extension->setText(ToQString(shown.extension));
        m_header->setText(shown.companyDefined
                              ? ProgramText(kHiddenHeaderId)
                              : ToQString(FormatHeaderText(std::span(
                                    shown.header.data(),
                                    std::min<size_t>(shown.matchLength, shown.header.size())))));
        m_offset->setText(QString::number(shown.matchOffset));
        const SizeField size = SizeFieldOf(shown);
        m_size->setText(ToQString(size.value));
        m_unit->SetMegabytes(size.megabytes);
        m_group->setCurrentIndex(shown.fileGroup < kFileGroupCount ? shown.fileGroup : 0);
        for (QWidget* locked : {static_cast<QWidget*>(m_name), static_cast<QWidget*>(m_extension),
                                static_cast<QWidget*>(m_header), static_cast<QWidget*>(m_offset),
                                static_cast<QWidget*>(m_group)})
            locked->setEnabled(!shown.companyDefined);
    } else {
        m_group->setCurrentIndex(0);
    }

    for (QLineEdit* edit : {m_name, m_extension, m_header, m_offset})
        connect(edit, &QLineEdit::textChanged, this, &CAddEditHeaderDlg::UpdateOk);
    connect(m_ok, &QPushButton::clicked, this, &CAddEditHeaderDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &CAddEditHeaderDlg::reject);
    // The user guide is not shipped yet; the button keeps its place until it is.
    connect(help, &QPushButton::clicked, this, [this] { ShowDialogHelp(this, kHelpTopic); });
    UpdateOk();
}

void CAddEditHeaderDlg::UpdateOk() {
    m_ok->setEnabled(!m_name->text().isEmpty() && !m_extension->text().isEmpty() &&
                     !m_header->text().isEmpty() && !m_offset->text().isEmpty());
}

void CAddEditHeaderDlg::OnUnitStep() {
    m_size->setText(ToQString(SwitchSizeUnit(ToU16(m_size->text()), m_unit->Megabytes())));
}

QLineEdit* CAddEditHeaderDlg::FieldEdit(SignatureField field) const {
    switch (field) {
    case SignatureField::Name:
        return m_name;
    case SignatureField::Extension:
        return m_extension;
    case SignatureField::Offset:
        return m_offset;
    case SignatureField::Size:
        return m_size;
    case SignatureField::Header:
        break;
    }
    return m_header;
}

void CAddEditHeaderDlg::accept() {
    SignatureInput input;
    input.name = ToU16(m_name->text());
    input.extension = ToU16(m_extension->text());
    input.header = ToU16(m_header->text());
    input.offset = ToU16(m_offset->text());
    input.size = ToU16(m_size->text());
    input.megabytes = m_unit->Megabytes();
    input.group = static_cast<uint8_t>(std::max(0, m_group->currentIndex()));
    const bool headerEditable = m_record == nullptr || !m_record->companyDefined;
    const CheckedSignature checked = CheckSignatureInput(input, headerEditable);
    if (checked.error != SignatureInputError::None) {
        ShowSignatureMessage(this, SignatureInputMessageId(checked.error));
        QLineEdit* edit = FieldEdit(SignatureInputFocus(checked.error));
        if (checked.error == SignatureInputError::NameBlank)
            edit->clear();
        edit->setFocus();
        return;
    }
    if (m_record != nullptr) {
        ApplySignatureInput(*m_record, input, checked);
    } else {
        const std::optional<FileSignature> record = NewSignature(input, checked);
        // A failed append keeps the dialog, and what was typed, open.
        if (!record || !AppendHeaderRecord(*record, m_userList)) {
            ShowSignatureMessage(this, kAppendFailedId);
            return;
        }
    }
    QDialog::accept();
}

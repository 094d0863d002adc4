#include "app/dialogs/narrowing/file_mask_dlg.h"

#include "app/dialogs/common/dialog_help.h"
#include "app/dialogs/common/dialog_widgets.h"
#include "app/program_text.h"
#include "resources/string_ids.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>

#include <algorithm>

namespace {

int NumberOf(const QLineEdit* edit) {
    bool ok = false;
    const int value = edit->text().trimmed().toInt(&ok);
    return ok ? value : 0;
}

} // namespace

CFileMaskDlg::CFileMaskDlg(FileMaskSettings& settings, std::function<void(uint32_t)> tell,
                           QWidget* parent)
    : QDialog(parent), m_settings(settings), m_tell(std::move(tell)) {
    setObjectName(QString::number(kDialogId));
    setWindowTitle(ProgramText(kFileMaskCaptionId));
    PaintWhite(*this);

    auto* hint = MakeBoldLabel(ProgramText(kFileMaskHintId), kHintId, this);
    m_mask = WithId(new QLineEdit(QStringLiteral("*.*"), this), kMaskEditId);
    m_mask->setMaxLength(kMaxMaskLength);
    m_matchCase = WithId(new QCheckBox(ProgramText(kMatchCaseTextId), this), kMatchCaseId);
    m_deleted = WithId(new QCheckBox(ProgramText(kDeletedTextId), this), kDeletedId);
    m_existing = WithId(new QCheckBox(ProgramText(kExistingTextId), this), kExistingId);
    m_deleted->setChecked(true);
    m_existing->setChecked(true);
    m_sizeFrom = WithId(new QCheckBox(ProgramText(kSizeFromTextId), this), kSizeFromId);
    m_sizeFromEdit = WithId(new QLineEdit(this), kSizeFromEditId);
    m_upto = WithId(new QCheckBox(ProgramText(kUptoTextId), this), kUptoId);
    m_uptoEdit = WithId(new QLineEdit(this), kUptoEditId);
    m_dates.check = WithId(new QCheckBox(ProgramText(kDateTextId), this), kDateId);
    m_dates.field = WithId(new QComboBox(this), kDateFieldId);
    for (const uint32_t id : {kCreatedDateId, kLastAccessDateId, kModifiedDateId}) {
        m_dates.field->addItem(ProgramText(id));
    }
    m_dates.months = WithId(new QRadioButton(ProgramText(kInTheLastTextId), this), kMonthsRadioId);
    m_dates.days = WithId(new QRadioButton(ProgramText(kInTheLastTextId), this), kDaysRadioId);
    m_dates.between = WithId(new QRadioButton(ProgramText(kBetweenTextId), this), kBetweenRadioId);
    m_dates.monthsEdit = WithId(new QLineEdit(this), kMonthsEditId);
    m_dates.daysEdit = WithId(new QLineEdit(this), kDaysEditId);
    m_dates.monthsSpin = MakeSpinFor(*m_dates.monthsEdit, kMonthsSpinId, 1, 999, this);
    m_dates.daysSpin = MakeSpinFor(*m_dates.daysEdit, kDaysSpinId, 1, 365, this);
    m_dates.firstDate = WithId(new QDateEdit(QDate::currentDate(), this), kFirstDateId);
    m_dates.secondDate = WithId(new QDateEdit(QDate::currentDate(), this), kSecondDateId);
    for (QDateEdit* picker : {m_dates.firstDate, m_dates.secondDate}) {
        picker->setDisplayFormat(QStringLiteral("dd-MMM-yyyy"));
        picker->setCalendarPopup(true);
    }
    m_ok = MakeDialogButton(kOkTextId, kOkId, this);
    m_ok->setDefault(true);
    auto* cancel = MakeDialogButton(kCancelTextId, kCancelId, this);
    auto* help = MakeDialogButton(kHelpTextId, kHelpId, this);

    auto* grid = new QGridLayout(this);
    grid->addWidget(hint, 0, 0, 1, 4);
    grid->addWidget(m_mask, 1, 0, 1, 4);
    grid->addWidget(m_matchCase, 2, 0);
    grid->addWidget(m_deleted, 2, 1);
    grid->addWidget(m_existing, 2, 2);
    grid->addWidget(m_sizeFrom, 3, 0);
    grid->addWidget(m_sizeFromEdit, 3, 1);
    grid->addWidget(m_upto, 3, 2);
    grid->addWidget(m_uptoEdit, 3, 3);
    m_dates.AddTo(*grid, 4, this, ProgramText(kMonthsTextId), ProgramText(kDaysTextId),
                  ProgramText(kAndTextId));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_ok);
    buttons->addWidget(cancel);
    buttons->addWidget(help);
    grid->addLayout(buttons, 8, 0, 1, 4);

    connect(m_mask, &QLineEdit::textChanged, this, &CFileMaskDlg::UpdateOk);
    connect(m_deleted, &QCheckBox::toggled, this, &CFileMaskDlg::UpdateOk);
    connect(m_existing, &QCheckBox::toggled, this, &CFileMaskDlg::UpdateOk);
    connect(m_sizeFrom, &QCheckBox::toggled, this, [this](bool on) {
        if (!on) {
            m_upto->setChecked(false);
        }
        UpdateSizeControls();
    });
    connect(m_upto, &QCheckBox::toggled, this, &CFileMaskDlg::UpdateSizeControls);
    connect(m_dates.check, &QCheckBox::toggled, this, [this](bool on) {
        if (on) {
            m_dates.field->setCurrentIndex(0);
            m_dates.months->setChecked(true);
            m_dates.monthsEdit->setText(QStringLiteral("1"));
        }
        UpdateDateControls();
    });
    for (QRadioButton* radio : {m_dates.months, m_dates.days, m_dates.between}) {
        connect(radio, &QRadioButton::toggled, this, [this, radio](bool on) {
            if (!on) {
                return;
            }
            m_dates.monthsEdit->setText(radio == m_dates.months ? QStringLiteral("1") : QString());
            m_dates.daysEdit->setText(radio == m_dates.days ? QStringLiteral("1") : QString());
            UpdateDateControls();
        });
    }
    for (QDateEdit* picker : {m_dates.firstDate, m_dates.secondDate}) {
        // Picking a day other than today asks for the range.
        connect(picker, &QDateEdit::dateChanged, this, [this](const QDate& date) {
            if (date != QDate::currentDate() && m_dates.check->isChecked()) {
                m_dates.between->setChecked(true);
            }
        });
    }
    connect(m_ok, &QPushButton::clicked, this, &CFileMaskDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &CFileMaskDlg::reject);
    connect(help, &QPushButton::clicked, this, [this] { ShowDialogHelp(this, kHelpTopic); });
    UpdateSizeControls();
    UpdateDateControls();
    UpdateOk();
}

void CFileMaskDlg::UpdateOk() {
    m_ok->setEnabled(!m_mask->text().isEmpty() &&
                     (m_deleted->isChecked() || m_existing->isChecked()));
}

void CFileMaskDlg::UpdateSizeControls() {
    m_sizeFromEdit->setEnabled(m_sizeFrom->isChecked());
    m_upto->setEnabled(m_sizeFrom->isChecked());
    m_uptoEdit->setEnabled(m_upto->isChecked());
    if (!m_sizeFrom->isChecked()) {
        m_sizeFromEdit->clear();
    }
    if (!m_upto->isChecked()) {
        m_uptoEdit->clear();
    }
}

void CFileMaskDlg::UpdateDateControls() {
    const bool on = m_dates.check->isChecked();
    m_dates.Enable(on);
    if (!on) {
        m_dates.monthsEdit->clear();
        m_dates.daysEdit->clear();
    }
}

bool CFileMaskDlg::Collect(FileMaskSettings& out) {
    out = FileMaskSettings{};
    out.matchCase = m_matchCase->isChecked();
    out.showDeleted = m_deleted->isChecked();
    out.showExisting = m_existing->isChecked();
    const std::optional<uint64_t> minimum =
        m_sizeFrom->isChecked() ? KilobytesToBytes(m_sizeFromEdit->text().toStdU16String())
                                : std::nullopt;
    const std::optional<uint64_t> maximum =
        m_upto->isChecked() ? KilobytesToBytes(m_uptoEdit->text().toStdU16String()) : std::nullopt;
    out.minimumOn = minimum.has_value();
    out.minimum = minimum.value_or(0);
    out.maximumOn = maximum.has_value();
    out.maximum = maximum.value_or(0);
    if (m_dates.check->isChecked()) {
        static constexpr EntryDateField kFields[] = {
            EntryDateField::Created, EntryDateField::LastAccess, EntryDateField::Modified};
        out.dateField = kFields[std::clamp(m_dates.field->currentIndex(), 0, 2)];
        out.monthsOn = m_dates.months->isChecked();
        out.months = out.monthsOn ? NumberOf(m_dates.monthsEdit) : 0;
        out.daysOn = m_dates.days->isChecked();
        out.days = out.daysOn ? NumberOf(m_dates.daysEdit) : 0;
        out.betweenOn = m_dates.between->isChecked();
        out.first = PickedDate(*m_dates.firstDate);
        out.second = PickedDate(*m_dates.secondDate);
    }
    if (const uint32_t refusal = CheckFileMask(out); refusal != 0) {
        if (m_tell) {
            m_tell(refusal);
        }
        QLineEdit* focus = refusal == kMaskTooManyDaysId     ? m_dates.daysEdit
                           : refusal == kMaskTooManyMonthsId ? m_dates.monthsEdit
                                                             : m_uptoEdit;
        focus->setFocus();
        return false;
    }
    out.patterns = SplitMaskText(m_mask->text().toStdU16String());
    return true;
}

void CFileMaskDlg::accept() {
    FileMaskSettings chosen;
    if (!Collect(chosen)) {
        return;
    }
    m_settings = std::move(chosen);
    QDialog::accept();
}

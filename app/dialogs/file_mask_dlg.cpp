#include "app/dialogs/file_mask_dlg.h"

#include "app/dialogs/dialog_help.h"
#include "app/dialogs/dialog_widgets.h"
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
    m_date = WithId(new QCheckBox(ProgramText(kDateTextId), this), kDateId);
    m_dateField = WithId(new QComboBox(this), kDateFieldId);
    for (const uint32_t id : {kCreatedDateId, kLastAccessDateId, kModifiedDateId}) {
        m_dateField->addItem(ProgramText(id));
    }
    m_months = WithId(new QRadioButton(ProgramText(kInTheLastTextId), this), kMonthsRadioId);
    m_days = WithId(new QRadioButton(ProgramText(kInTheLastTextId), this), kDaysRadioId);
    m_between = WithId(new QRadioButton(ProgramText(kBetweenTextId), this), kBetweenRadioId);
    m_monthsEdit = WithId(new QLineEdit(this), kMonthsEditId);
    m_daysEdit = WithId(new QLineEdit(this), kDaysEditId);
    m_monthsSpin = MakeSpinFor(*m_monthsEdit, kMonthsSpinId, 1, 999, this);
    m_daysSpin = MakeSpinFor(*m_daysEdit, kDaysSpinId, 1, 365, this);
    m_firstDate = WithId(new QDateEdit(QDate::currentDate(), this), kFirstDateId);
    m_secondDate = WithId(new QDateEdit(QDate::currentDate(), this), kSecondDateId);
    for (QDateEdit* picker : {m_firstDate, m_secondDate}) {
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
    grid->addWidget(m_date, 4, 0);
    grid->addWidget(m_dateField, 4, 1, 1, 3);
    grid->addWidget(m_months, 5, 0);
    grid->addLayout(Beside(m_monthsEdit, m_monthsSpin), 5, 1);
    grid->addWidget(new QLabel(ProgramText(kMonthsTextId), this), 5, 2);
    grid->addWidget(m_days, 6, 0);
    grid->addLayout(Beside(m_daysEdit, m_daysSpin), 6, 1);
    grid->addWidget(new QLabel(ProgramText(kDaysTextId), this), 6, 2);
    grid->addWidget(m_between, 7, 0);
    grid->addWidget(m_firstDate, 7, 1);
    grid->addWidget(new QLabel(ProgramText(kAndTextId), this), 7, 2);
    grid->addWidget(m_secondDate, 7, 3);
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
    connect(m_date, &QCheckBox::toggled, this, [this](bool on) {
        if (on) {
            m_dateField->setCurrentIndex(0);
            m_months->setChecked(true);
            m_monthsEdit->setText(QStringLiteral("1"));
        }
        UpdateDateControls();
    });
    for (QRadioButton* radio : {m_months, m_days, m_between}) {
        connect(radio, &QRadioButton::toggled, this, [this, radio](bool on) {
            if (!on) {
                return;
            }
            m_monthsEdit->setText(radio == m_months ? QStringLiteral("1") : QString());
            m_daysEdit->setText(radio == m_days ? QStringLiteral("1") : QString());
            UpdateDateControls();
        });
    }
    for (QDateEdit* picker : {m_firstDate, m_secondDate}) {
        // Picking a day other than today asks for the range.
        connect(picker, &QDateEdit::dateChanged, this, [this](const QDate& date) {
            if (date != QDate::currentDate() && m_date->isChecked()) {
                m_between->setChecked(true);
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
    const bool on = m_date->isChecked();
    m_dateField->setEnabled(on);
    for (QRadioButton* radio : {m_months, m_days, m_between}) {
        radio->setEnabled(on);
    }
    m_monthsEdit->setEnabled(on && m_months->isChecked());
    m_daysEdit->setEnabled(on && m_days->isChecked());
    m_monthsSpin->setEnabled(m_monthsEdit->isEnabled());
    m_daysSpin->setEnabled(m_daysEdit->isEnabled());
    m_firstDate->setEnabled(on && m_between->isChecked());
    m_secondDate->setEnabled(on && m_between->isChecked());
    if (!on) {
        m_monthsEdit->clear();
        m_daysEdit->clear();
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
    if (m_date->isChecked()) {
        static constexpr EntryDateField kFields[] = {
            EntryDateField::Created, EntryDateField::LastAccess, EntryDateField::Modified};
        out.dateField = kFields[std::clamp(m_dateField->currentIndex(), 0, 2)];
        out.monthsOn = m_months->isChecked();
        out.months = out.monthsOn ? NumberOf(m_monthsEdit) : 0;
        out.daysOn = m_days->isChecked();
        out.days = out.daysOn ? NumberOf(m_daysEdit) : 0;
        out.betweenOn = m_between->isChecked();
        out.first = PickedDate(*m_firstDate);
        out.second = PickedDate(*m_secondDate);
    }
    if (const uint32_t refusal = CheckFileMask(out); refusal != 0) {
        if (m_tell) {
            m_tell(refusal);
        }
        QLineEdit* focus = refusal == kMaskTooManyDaysId     ? m_daysEdit
                           : refusal == kMaskTooManyMonthsId ? m_monthsEdit
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

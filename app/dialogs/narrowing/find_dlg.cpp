#include "app/dialogs/narrowing/find_dlg.h"

#include "app/dialogs/common/dialog_help.h"
#include "app/dialogs/common/dialog_widgets.h"
#include "app/program_text.h"
#include "resources/string_ids.h"

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
#include <QVBoxLayout>

#include <algorithm>

namespace {

int NumberIn(const QLineEdit* edit, int low, int high) {
    return std::clamp(edit->text().trimmed().toInt(), low, high);
}

} // namespace

CFindDlg::CFindDlg(bool& advancedShown, std::function<bool(const FindConditions&)> search,
                   std::function<void(uint32_t)> tell, QWidget* parent)
    : QDialog(parent), m_advancedShown(advancedShown), m_advancedBefore(advancedShown),
      m_search(std::move(search)), m_tell(std::move(tell)) {
    setObjectName(QString::number(kDialogId));
    setWindowTitle(ProgramText(kFindCaptionId));
    PaintWhite(*this);

    m_pattern = WithId(new QLineEdit(this), kPatternId);
    m_pattern->setMaxLength(kMaxPatternLength);
    auto* hint = MakeBoldLabel(ProgramText(kFindHintId), kHintId, this);
    m_matchCase = WithId(new QCheckBox(ProgramText(kMatchCaseTextId), this), kMatchCaseId);
    m_deleted = WithId(new QCheckBox(ProgramText(kDeletedTextId), this), kDeletedId);
    m_existing = WithId(new QCheckBox(ProgramText(kExistingTextId), this), kExistingId);
    m_deleted->setChecked(true);
    m_existing->setChecked(true);
    m_advance = MakeDialogButton(kAdvanceMoreId, kAdvanceId, this);
    m_searchNow = MakeDialogButton(kSearchNowTextId, kSearchNowId, this);
    m_searchNow->setDefault(true);
    auto* cancel = MakeDialogButton(kCancelTextId, kCancelId, this);
    auto* help = MakeDialogButton(kHelpTextId, kHelpId, this);

    m_advanced = new QWidget(this);
    m_size = WithId(new QCheckBox(ProgramText(kSizeTextId), m_advanced), kSizeId);
    m_sizeKind = WithId(new QComboBox(m_advanced), kSizeKindId);
    m_sizeKind->addItem(ProgramText(kAtLeastId));
    m_sizeKind->addItem(ProgramText(kAtMostId));
    m_sizeEdit = WithId(new QLineEdit(QStringLiteral("1"), m_advanced), kSizeEditId);
    m_dates.check = WithId(new QCheckBox(ProgramText(kDateTextId), m_advanced), kDateId);
    m_dates.field = WithId(new QComboBox(m_advanced), kDateFieldId);
    for (const uint32_t id : {kCreatedDateId, kModifiedDateId, kLastAccessDateId}) {
        m_dates.field->addItem(ProgramText(id));
    }
    m_dates.months =
        WithId(new QRadioButton(ProgramText(kInTheLastTextId), m_advanced), kMonthsRadioId);
    m_dates.days =
        WithId(new QRadioButton(ProgramText(kInTheLastTextId), m_advanced), kDaysRadioId);
    m_dates.between =
        WithId(new QRadioButton(ProgramText(kBetweenTextId), m_advanced), kBetweenRadioId);
    m_dates.months->setChecked(true);
    m_dates.monthsEdit = WithId(new QLineEdit(QStringLiteral("1"), m_advanced), kMonthsEditId);
    m_dates.daysEdit = WithId(new QLineEdit(QStringLiteral("1"), m_advanced), kDaysEditId);
    m_dates.monthsSpin = MakeSpinFor(*m_dates.monthsEdit, kMonthsSpinId, 1, 999, m_advanced);
    m_dates.daysSpin = MakeSpinFor(*m_dates.daysEdit, kDaysSpinId, 1, 999, m_advanced);
    m_dates.firstDate = WithId(new QDateEdit(QDate::currentDate(), m_advanced), kFirstDateId);
    m_dates.secondDate = WithId(new QDateEdit(QDate::currentDate(), m_advanced), kSecondDateId);
    for (QDateEdit* picker : {m_dates.firstDate, m_dates.secondDate}) {
        picker->setDisplayFormat(QStringLiteral("dd-MMM-yyyy"));
    }

    auto* advancedGrid = new QGridLayout(m_advanced);
    advancedGrid->addWidget(m_size, 0, 0);
    advancedGrid->addWidget(m_sizeKind, 0, 1);
    advancedGrid->addWidget(m_sizeEdit, 0, 2);
    advancedGrid->addWidget(new QLabel(QStringLiteral("KB"), m_advanced), 0, 3);
    m_dates.AddTo(*advancedGrid, 1, m_advanced, ProgramText(kMonthsTextId),
                  ProgramText(kDaysTextId), QString());

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(ProgramText(kFindLabelId), this), 0, 0);
    grid->addWidget(m_pattern, 0, 1, 1, 3);
    grid->addWidget(hint, 1, 1, 1, 3);
    grid->addWidget(m_matchCase, 2, 1);
    grid->addWidget(m_deleted, 2, 2);
    grid->addWidget(m_existing, 2, 3);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_advance);
    buttons->addStretch();
    buttons->addWidget(m_searchNow);
    buttons->addWidget(cancel);
    buttons->addWidget(help);
    auto* column = new QVBoxLayout(this);
    column->addLayout(grid);
    column->addLayout(buttons);
    column->addWidget(m_advanced);

    connect(m_pattern, &QLineEdit::textChanged, this, &CFindDlg::UpdateSearchNow);
    connect(m_deleted, &QCheckBox::toggled, this, &CFindDlg::UpdateSearchNow);
    connect(m_existing, &QCheckBox::toggled, this, &CFindDlg::UpdateSearchNow);
    connect(m_advance, &QPushButton::clicked, this, [this] { OnBeforeChange(!m_expanded); });
    for (QAbstractButton* control : std::initializer_list<QAbstractButton*>{
             m_size, m_dates.check, m_dates.months, m_dates.days, m_dates.between}) {
        connect(control, &QAbstractButton::toggled, this, &CFindDlg::UpdateAdvancedControls);
    }
    connect(m_sizeEdit, &QLineEdit::editingFinished, this, &CFindDlg::OnSizeEdited);
    connect(m_searchNow, &QPushButton::clicked, this, &CFindDlg::OnSearchNow);
    connect(cancel, &QPushButton::clicked, this, &CFindDlg::reject);
    connect(help, &QPushButton::clicked, this, [this] { ShowDialogHelp(this, kHelpTopic); });

    OnBeforeChange(m_advancedBefore);
    UpdateSearchNow();
}

void CFindDlg::OnBeforeChange(bool expand) {
    m_expanded = expand;
    m_advancedShown = expand;
    m_advanced->setVisible(expand);
    m_advance->setText(ProgramText(expand ? kAdvanceLessId : kAdvanceMoreId));
    if (expand && !m_advancedBefore) {
        m_size->setChecked(false);
        m_dates.check->setChecked(false);
    }
    UpdateAdvancedControls();
    adjustSize();
}

void CFindDlg::UpdateSearchNow() {
    m_searchNow->setEnabled(!m_pattern->text().isEmpty() &&
                            (m_deleted->isChecked() || m_existing->isChecked()));
}

void CFindDlg::UpdateAdvancedControls() {
    const bool size = m_expanded && m_size->isChecked();
    m_sizeKind->setEnabled(size);
    m_sizeEdit->setEnabled(size);
    m_dates.Enable(m_expanded && m_dates.check->isChecked());
}

int CFindDlg::NormalisedSize(const QString& text, bool& blank) {
    blank = text.trimmed().isEmpty();
    if (blank) {
        return 1;
    }
    const long long value = text.trimmed().toLongLong();
    return static_cast<int>(value > kMaxSizeValue ? value / 10 : std::max<long long>(value, 0));
}

void CFindDlg::OnSizeEdited() {
    bool blank = false;
    const int value = NormalisedSize(m_sizeEdit->text(), blank);
    if (blank && m_tell) {
        m_tell(kSizeBlankId);
    }
    if (blank || QString::number(value) != m_sizeEdit->text().trimmed()) {
        m_sizeEdit->setText(QString::number(value));
    }
}

FindConditions CFindDlg::Conditions() const {
    FindConditions c;
    c.patterns = SplitFindPatterns(m_pattern->text().toStdU16String());
    c.matchCase = m_matchCase->isChecked();
    c.deleted = m_deleted->isChecked();
    c.existing = m_existing->isChecked();
    if (m_expanded && m_size->isChecked()) {
        c.sizeOn = true;
        c.atLeast = m_sizeKind->currentIndex() == 0;
        bool blank = false;
        c.sizeLimit =
            FindSizeLimit(static_cast<uint64_t>(NormalisedSize(m_sizeEdit->text(), blank)));
    }
    if (m_expanded && m_dates.check->isChecked()) {
        static constexpr EntryDateField kFields[] = {
            EntryDateField::Created, EntryDateField::Modified, EntryDateField::LastAccess};
        c.dateField = kFields[std::clamp(m_dates.field->currentIndex(), 0, 2)];
        c.range = m_dates.days->isChecked()      ? FindConditions::DateRange::Days
                  : m_dates.between->isChecked() ? FindConditions::DateRange::Between
                                                 : FindConditions::DateRange::Months;
        c.months = NumberIn(m_dates.monthsEdit, 1, 999);
        c.days = NumberIn(m_dates.daysEdit, 1, 999);
        c.first = PickedDate(*m_dates.firstDate);
        c.second = PickedDate(*m_dates.secondDate);
    }
    return c;
}

void CFindDlg::OnSearchNow() {
    if (!m_searchNow->isEnabled()) {
        return;
    }
    const FindConditions conditions = Conditions();
    if (!conditions.patterns.empty() && m_search) {
        m_search(conditions);
    }
    accept();
}

void CFindDlg::reject() {
    // Cancel leaves the advanced part as it was when the dialog opened.
    m_advancedShown = m_advancedBefore;
    QDialog::reject();
}

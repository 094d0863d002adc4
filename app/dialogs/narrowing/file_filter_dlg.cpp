#include "app/dialogs/narrowing/file_filter_dlg.h"

#include "app/dialogs/common/dialog_help.h"
#include "app/dialogs/common/dialog_widgets.h"
#include "app/program_text.h"
#include "controls/tip_combo_box.h"
#include "resources/string_ids.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace {} // namespace

CFileFilterDlg::CFileFilterDlg(std::vector<std::u16string>& patterns, std::atomic<bool>& exclude,
                               QWidget* parent)
    : QDialog(parent), m_edit(patterns), m_exclude(exclude) {
    setObjectName(QString::number(kDialogId));
    setWindowTitle(ProgramText(kFileFilterCaptionId));
    PaintWhite(*this);

    auto* label = MakeBoldLabel(ProgramText(kLabelTextId), kLabelId, this);
    m_pattern = new CTipComboBox(this);
    m_pattern->setObjectName(QString::number(kPatternId));
    m_pattern->setEditable(true);
    m_pattern->setInsertPolicy(QComboBox::NoInsert);
    for (int group = 0; group < FilterListEdit::kGroupCount; ++group) {
        m_pattern->addItem(ProgramText(kFirstGroupTextId + group));
    }
    m_pattern->setCurrentIndex(-1);
    m_pattern->setEditText(QString());
    m_list = new QListWidget(this);
    m_list->setObjectName(QString::number(kListId));
    for (const std::u16string& pattern : m_edit.List()) {
        m_list->addItem(QString::fromStdU16String(pattern));
    }
    m_add = MakeDialogButton(kAddTextId, kAddId, this);
    m_include = MakeDialogButton(kIncludeTextId, kIncludeId, this);
    m_excludeButton = MakeDialogButton(kExcludeTextId, kExcludeId, this);
    m_remove = MakeDialogButton(kRemoveTextId, kRemoveId, this);
    auto* cancel = MakeDialogButton(kCancelTextId, kCancelId, this);
    auto* help = MakeDialogButton(kHelpTextId, kHelpId, this);

    auto* grid = new QGridLayout(this);
    grid->addWidget(label, 0, 0, 1, 2);
    grid->addWidget(m_pattern, 1, 0);
    grid->addWidget(m_add, 1, 1);
    grid->addWidget(m_list, 2, 0, 4, 1);
    grid->addWidget(m_include, 2, 1);
    grid->addWidget(m_excludeButton, 3, 1);
    grid->addWidget(m_remove, 4, 1);
    auto* lower = new QVBoxLayout;
    lower->addWidget(cancel);
    lower->addWidget(help);
    grid->addLayout(lower, 5, 1);

    connect(m_pattern, &QComboBox::editTextChanged, this, &CFileFilterDlg::UpdateButtons);
    connect(m_pattern, &QComboBox::activated, this, &CFileFilterDlg::UpdateButtons);
    connect(m_pattern->lineEdit(), &QLineEdit::returnPressed, this, [this] {
        if (!m_pattern->currentText().isEmpty()) {
            OnAdd();
        }
    });
    connect(m_list, &QListWidget::itemSelectionChanged, this,
            [this] { m_remove->setEnabled(m_list->currentItem() != nullptr); });
    connect(m_add, &QPushButton::clicked, this, &CFileFilterDlg::OnAdd);
    connect(m_remove, &QPushButton::clicked, this, &CFileFilterDlg::OnRemove);
    connect(m_include, &QPushButton::clicked, this, [this] { Finish(false); });
    connect(m_excludeButton, &QPushButton::clicked, this, [this] { Finish(true); });
    connect(cancel, &QPushButton::clicked, this, &CFileFilterDlg::reject);
    connect(help, &QPushButton::clicked, this, [this] { ShowDialogHelp(this, kHelpTopic); });
    m_remove->setEnabled(false);
    UpdateButtons();
    m_pattern->setFocus();
}

void CFileFilterDlg::UpdateButtons() {
    m_add->setEnabled(!m_pattern->currentText().isEmpty());
    const bool any = m_list->count() > 0;
    m_include->setEnabled(any);
    m_excludeButton->setEnabled(any);
}

void CFileFilterDlg::OnAdd() {
    const int group = m_pattern->findText(m_pattern->currentText());
    if (group >= 0) {
        for (const std::u16string& pattern : m_edit.AddGroup(group)) {
            m_list->addItem(QString::fromStdU16String(pattern));
        }
    } else {
        const std::u16string typed = m_pattern->currentText().toStdU16String();
        if (m_edit.AddTyped(typed)) {
            m_list->addItem(QString::fromStdU16String(typed));
        }
    }
    m_pattern->setCurrentIndex(-1);
    m_pattern->setEditText(QString());
    UpdateButtons();
    m_add->setEnabled(false);
}

void CFileFilterDlg::OnRemove() {
    QListWidgetItem* item = m_list->currentItem();
    if (item == nullptr) {
        return;
    }
    m_edit.Remove(item->text().toStdU16String());
    delete item;
    m_remove->setEnabled(false);
    UpdateButtons();
}

void CFileFilterDlg::Finish(bool exclude) {
    m_exclude = exclude;
    done(kIncludeOrExcludeResult);
}

void CFileFilterDlg::reject() {
    m_edit.Cancel();
    QDialog::reject();
}

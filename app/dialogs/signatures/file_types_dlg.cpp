#include "app/dialogs/signatures/file_types_dlg.h"

#include "app/dialogs/signatures/add_edit_header_dlg.h"
#include "app/dialogs/common/dialog_help.h"
#include "app/dialogs/common/dialog_widgets.h"
#include "app/dialogs/signatures/file_type_list_ctrl.h"
#include "app/dialogs/signatures/signature_rows.h"
#include "app/program_text.h"
#include "filesystems/signatures/signature_file.h"
#include "jobs/scan/scan_state.h"
#include "jobs/scan/thread_for_file_system.h"
#include "resources/string_ids.h"

#include <QApplication>
#include <QComboBox>
#include <QFont>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <string>

CFileTypesDlg::CFileTypesDlg(ScanState& state, QWidget* parent)
    : QDialog(parent), m_state(state), m_lists(state.signatureLists) {
    setObjectName(QString::number(kDialogId));
    setWindowTitle(ProgramText(kFileTypesCaptionId));
    setModal(true);
    PaintWhite(*this);

    auto* note = new QLabel(ProgramText(kFileTypesNoteId), this);
    note->setObjectName(QString::number(kNoteId));
    note->setWordWrap(true);
    QFont bold = note->font();
    bold.setPointSize(14);
    bold.setBold(true);
    note->setFont(bold);

    m_group = new QComboBox(this);
    m_group->setObjectName(QString::number(kGroupComboId));
    for (size_t i = 0; i < kFileGroupCount; ++i) {
        const std::u16string_view name = FileGroupName(i);
        m_group->addItem(ToQString(name));
    }
    m_group->setCurrentIndex(0);
    auto* groupRow = new QHBoxLayout();
    groupRow->addWidget(new QLabel(ProgramText(kGroupLabelId), this));
    groupRow->addWidget(m_group, 1);

    m_list = new CFileTypeListCtrl(*this, this);
    m_list->setMinimumSize(540, 300);

    auto* ok = MakeDialogButton(kOkTextId, 1, this);
    ok->setDefault(true);
    auto* help = MakeDialogButton(kHelpTextId, kHelpId, this);
    m_unselectAll = MakeDialogButton(kSignatureUnselectAllTextId, kUnselectAllId, this);
    m_selectAll = MakeDialogButton(kSignatureSelectAllTextId, kSelectAllId, this);
    m_edit = MakeDialogButton(kSignatureEditTextId, kEditId, this);
    m_edit->setEnabled(false);
    auto* buttons = new QHBoxLayout();
    buttons->addWidget(m_selectAll);
    buttons->addWidget(m_unselectAll);
    buttons->addWidget(m_edit);
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(help);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(note);
    layout->addLayout(groupRow);
    layout->addWidget(m_list, 1);
    layout->addLayout(buttons);

    LoadHeaderFile(m_lists.user);
    FillRows(0, true);
    UpdateButtons();

    connect(m_list, &QTreeWidget::itemChanged, this, &CFileTypesDlg::OnItemChanged);
    connect(m_selectAll, &QPushButton::clicked, this, [this] { OnSelectAll(true); });
    connect(m_unselectAll, &QPushButton::clicked, this, [this] { OnSelectAll(false); });
    connect(m_group, &QComboBox::currentIndexChanged, this, &CFileTypesDlg::OnGroupChanged);
    connect(m_edit, &QPushButton::clicked, this, &CFileTypesDlg::OnEdit);
    connect(ok, &QPushButton::clicked, this, &CFileTypesDlg::accept);
    // The user guide is not shipped yet; the button keeps its place until it is.
    connect(help, &QPushButton::clicked, this, [this] { ShowDialogHelp(this, kHelpTopic); });
}

void CFileTypesDlg::accept() {
    CThreadForFileSystem::SelectSignatures(m_state);
    QDialog::accept();
}

void CFileTypesDlg::SetEditEnabled(bool enabled) {
    m_edit->setEnabled(enabled && m_list->currentItem() != nullptr);
}

bool CFileTypesDlg::OnSizeEntered(size_t index, const QString& text) {
    if (index >= m_lists.user.size() || !SetSizeFromColumn(m_lists.user[index], ToU16(text)))
        return false;
    SaveUserSignatures(this, m_lists.user);
    return true;
}

void CFileTypesDlg::OnItemChanged(QTreeWidgetItem* item, int column) {
    if (m_filling || column != SignatureRow::kNameColumn)
        return;
    const std::optional<size_t> index = RowRecordIndex(item);
    if (!index || *index >= m_lists.user.size())
        return;
    m_lists.user[*index].selected = item->checkState(column) == Qt::Checked;
    UpdateButtons();
}

void CFileTypesDlg::OnSelectAll(bool selected) {
    for (FileSignature& record : m_lists.user)
        record.selected = selected;
    m_filling = true;
    for (int i = 0; i < m_list->topLevelItemCount(); ++i)
        m_list->topLevelItem(i)->setCheckState(SignatureRow::kNameColumn,
                                               selected ? Qt::Checked : Qt::Unchecked);
    m_filling = false;
    if (!selected)
        m_lists.selectionChanged = true;
    UpdateButtons();
}

void CFileTypesDlg::OnGroupChanged(int group) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    FillRows(static_cast<uint8_t>(std::max(0, group)), false);
    QApplication::restoreOverrideCursor();
}

void CFileTypesDlg::OnEdit() {
    const std::optional<size_t> index = RowRecordIndex(m_list->currentItem());
    if (!index || *index >= m_lists.user.size())
        return;
    CAddEditHeaderDlg edit(&m_lists.user[*index], m_lists.user, this);
    edit.exec();
    SaveUserSignatures(this, m_lists.user);
    // Rebuilt from the list rather than the file, which would select every type again.
    FillRows(static_cast<uint8_t>(std::max(0, m_group->currentIndex())), m_reversed);
    UpdateButtons();
}

void CFileTypesDlg::FillRows(uint8_t group, bool reversed) {
    m_filling = true;
    m_list->clear();
    for (size_t i = 0; i < m_lists.user.size(); ++i) {
        if (!ShowsInGroup(m_lists.user[i], group))
            continue;
        auto* row = new SignatureRow(m_lists.user[i], i, true);
        if (reversed)
            m_list->insertTopLevelItem(0, row);
        else
            m_list->addTopLevelItem(row);
    }
    // A column the person sorted by stays the order.
    m_list->ApplySort();
    m_filling = false;
    m_reversed = reversed;
    m_edit->setEnabled(false);
}

void CFileTypesDlg::UpdateButtons() {
    const size_t checked = static_cast<size_t>(
        std::count_if(m_lists.user.begin(), m_lists.user.end(),
                      [](const FileSignature& record) { return record.selected; }));
    const FileTypeButtons states = FileTypeButtonStates(m_lists.user.size(), checked);
    m_selectAll->setEnabled(states.selectAll);
    m_unselectAll->setEnabled(states.unselectAll);
}

#include "app/dialogs/signatures/add_new_header_dlg.h"

#include "app/dialogs/signatures/add_edit_header_dlg.h"
#include "app/dialogs/common/dialog_help.h"
#include "app/dialogs/common/dialog_widgets.h"
#include "app/dialogs/signatures/signature_rows.h"
#include "app/program_text.h"
#include "filesystems/signatures/signature_file.h"
#include "filesystems/signatures/signature_lists.h"
#include "resources/string_ids.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <cstdint>

CAddNewHeaderDlg::CAddNewHeaderDlg(SignatureLists& lists, QWidget* parent)
    : QDialog(parent), m_lists(lists) {
    setObjectName(QString::number(kDialogId));
    setWindowTitle(ProgramText(kAddNewCaptionId));
    setModal(true);
    PaintWhite(*this);

    auto* note = new QLabel(ProgramText(kAddNewNoteId), this);
    note->setObjectName(QString::number(kNoteId));
    note->setWordWrap(true);
    m_list = new QTreeWidget(this);
    m_list->setObjectName(QString::number(kListId));
    SetUpSignatureColumns(*m_list, 234, 100);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setMinimumSize(440, 280);

    auto* add = MakeDialogButton(kSignatureAddTextId, kAddId, this);
    m_edit = MakeDialogButton(kSignatureEditTextId, kEditId, this);
    m_remove = MakeDialogButton(kSignatureRemoveTextId, kRemoveId, this);
    auto* close = MakeDialogButton(kSignatureCloseTextId, 2, this);
    auto* help = MakeDialogButton(kHelpTextId, kHelpId, this);
    auto* buttons = new QHBoxLayout();
    buttons->addWidget(add);
    buttons->addWidget(m_edit);
    buttons->addWidget(m_remove);
    buttons->addStretch(1);
    buttons->addWidget(close);
    buttons->addWidget(help);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(note);
    layout->addWidget(m_list, 1);
    layout->addLayout(buttons);

    connect(add, &QPushButton::clicked, this, &CAddNewHeaderDlg::OnAdd);
    connect(m_edit, &QPushButton::clicked, this, &CAddNewHeaderDlg::OnEdit);
    connect(m_remove, &QPushButton::clicked, this, &CAddNewHeaderDlg::OnRemove);
    connect(close, &QPushButton::clicked, this, &CAddNewHeaderDlg::reject);
    // The user guide is not shipped yet; the button keeps its place until it is.
    connect(help, &QPushButton::clicked, this, [this] { ShowDialogHelp(this, kHelpTopic); });
    connect(m_list, &QTreeWidget::itemSelectionChanged, this, &CAddNewHeaderDlg::UpdateButtons);
    Reload();
}

void CAddNewHeaderDlg::Reload() {
    LoadHeaderFile(m_lists.user);
    m_list->clear();
    for (size_t i = 0; i < m_lists.user.size(); ++i)
        m_list->insertTopLevelItem(0, new SignatureRow(m_lists.user[i], i, false));
    UpdateButtons();
}

void CAddNewHeaderDlg::UpdateButtons() {
    const QList<QTreeWidgetItem*> chosen = m_list->selectedItems();
    const std::optional<size_t> index =
        chosen.isEmpty() ? std::nullopt : RowRecordIndex(chosen.front());
    const bool valid = index && *index < m_lists.user.size();
    m_edit->setEnabled(valid);
    m_remove->setEnabled(valid && !m_lists.user[*index].companyDefined);
}

void CAddNewHeaderDlg::OnAdd() {
    CAddEditHeaderDlg add(nullptr, m_lists.user, this);
    add.exec();
    Reload();
}

void CAddNewHeaderDlg::OnEdit() {
    const QList<QTreeWidgetItem*> chosen = m_list->selectedItems();
    const std::optional<size_t> index =
        chosen.isEmpty() ? std::nullopt : RowRecordIndex(chosen.front());
    if (!index || *index >= m_lists.user.size())
        return;
    CAddEditHeaderDlg edit(&m_lists.user[*index], m_lists.user, this);
    edit.exec();
    SaveUserSignatures(this, m_lists.user);
    Reload();
}

void CAddNewHeaderDlg::OnRemove() {
    const QList<QTreeWidgetItem*> chosen = m_list->selectedItems();
    const std::optional<size_t> index =
        chosen.isEmpty() ? std::nullopt : RowRecordIndex(chosen.front());
    if (!index || *index >= m_lists.user.size() || m_lists.user[*index].companyDefined)
        return;
    m_lists.user.erase(m_lists.user.begin() + static_cast<std::ptrdiff_t>(*index));
    SaveUserSignatures(this, m_lists.user);
    Reload();
}

#include "app/dialogs/signatures/file_type_list_ctrl.h"

#include "app/dialogs/signatures/file_types_dlg.h"
#include "app/dialogs/signatures/signature_rows.h"
#include "controls/list_header_ctrl.h"
#include "resources/string_ids.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QPointer>
#include <QStyledItemDelegate>
#include <QTimer>

namespace {

// Edits the size column with a right-aligned line edit and hands the text to the list, which
// decides whether the cell takes it.
class SizeDelegate : public QStyledItemDelegate {
public:
    explicit SizeDelegate(CFileTypeListCtrl& list) : QStyledItemDelegate(&list), m_list(list) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (auto* edit = qobject_cast<QLineEdit*>(editor)) {
            edit->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            edit->setFrame(true);
        }
        return editor;
    }

    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override {
        auto* edit = qobject_cast<QLineEdit*>(editor);
        const QTreeWidgetItem* row = m_list.topLevelItem(index.row());
        if (edit == nullptr || row == nullptr || !m_list.CommitSize(*row, edit->text()))
            return;
        model->setData(index, edit->text(), Qt::EditRole);
    }

private:
    CFileTypeListCtrl& m_list;
};

} // namespace

CFileTypeListCtrl::CFileTypeListCtrl(CFileTypesDlg& owner, QWidget* parent)
    : QTreeWidget(parent), m_owner(owner) {
    setObjectName(QString::number(kControlId));
    setHeader(new CListHeaderCtrl(Qt::Horizontal, this));
    SetUpSignatureColumns(*this, 300, 108);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setItemDelegateForColumn(SignatureRow::kSizeColumn, new SizeDelegate(*this));
    header()->setSectionsClickable(true);
    connect(header(), &QHeaderView::sectionClicked, this, &CFileTypeListCtrl::OnHeaderClicked);
    connect(this, &QTreeWidget::itemClicked, this, &CFileTypeListCtrl::OnItemClicked);
}

bool CFileTypeListCtrl::CommitSize(const QTreeWidgetItem& row, const QString& text) {
    const std::optional<size_t> index = RowRecordIndex(&row);
    if (index && m_owner.OnSizeEntered(*index, text))
        return true;
    // After the editor has gone: a message box inside the commit would end the edit twice.
    QPointer<CFileTypeListCtrl> self(this);
    QTimer::singleShot(0, this, [self] {
        if (self != nullptr)
            ShowSignatureMessage(self, kSizeInvalidId);
    });
    return false;
}

void CFileTypeListCtrl::mousePressEvent(QMouseEvent* event) {
    setFocus(Qt::MouseFocusReason);
    QTreeWidget::mousePressEvent(event);
}

void CFileTypeListCtrl::OnItemClicked(QTreeWidgetItem* item, int column) {
    if (item == nullptr)
        return;
    if (column == SignatureRow::kSizeColumn) {
        m_owner.SetEditEnabled(false);
        scrollToItem(item);
        editItem(item, column);
        return;
    }
    m_owner.SetEditEnabled(true);
}

void CFileTypeListCtrl::OnHeaderClicked(int column) {
    m_sort = NextListSort(m_sort, column);
    ApplySort();
}

void CFileTypeListCtrl::ApplySort() {
    if (m_sort.column < 0)
        return;
    sortItems(m_sort.column, m_sort.descending ? Qt::DescendingOrder : Qt::AscendingOrder);
    static_cast<CListHeaderCtrl*>(header())->SetSortColumn(m_sort.column, !m_sort.descending);
}

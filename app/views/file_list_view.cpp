#include "app/views/file_list_view.h"

#include "app/dialogs/rename_refusal_box.h"

#include <QHeaderView>
#include <QIcon>
#include <QKeyEvent>
#include <QStyle>
#include <QStyledItemDelegate>

#include <array>
#include <utility>

namespace {

using EntryKind = FileListModel::EntryKind;

// Gives the Name cell the picture of its entry's kind; deleted entries are drawn greyed.
class EntryIconDelegate : public QStyledItemDelegate {
public:
    EntryIconDelegate(const QStyle& style, QObject* parent) : QStyledItemDelegate(parent) {
        const QSize size(16, 16);
        const QIcon file = style.standardIcon(QStyle::SP_FileIcon);
        const QIcon folder = style.standardIcon(QStyle::SP_DirIcon);
        m_icons = {file, QIcon(file.pixmap(size, QIcon::Disabled)), folder,
                   QIcon(folder.pixmap(size, QIcon::Disabled))};
    }

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        if (index.column() != static_cast<int>(FileListModel::Column::Name)) {
            return;
        }
        const QVariant kind = index.data(FileListModel::EntryKindRole);
        if (!kind.isValid()) {
            return;
        }
        const int number = kind.toInt();
        if (number < 0 || static_cast<std::size_t>(number) >= m_icons.size()) {
            return;
        }
        option->icon = m_icons[static_cast<std::size_t>(number)];
        option->features |= QStyleOptionViewItem::HasDecoration;
        option->decorationSize = QSize(16, 16);
    }

private:
    std::array<QIcon, 4> m_icons;
};

bool IsFolderKind(const QVariant& kind) {
    return kind.isValid() && (kind.toInt() == static_cast<int>(EntryKind::Folder) ||
                              kind.toInt() == static_cast<int>(EntryKind::DeletedFolder));
}

} // namespace

CFileListView::CFileListView(FileListModel& model, QWidget* parent)
    : QTableView(parent), m_model(model) {
    setObjectName(QStringLiteral("1027"));
    setModel(&m_model);
    setItemDelegate(new EntryIconDelegate(*style(), this));
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setShowGrid(false);
    setAlternatingRowColors(true);
    setWordWrap(false);
    setEditTriggers(QAbstractItemView::EditKeyPressed);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    QHeaderView* header = horizontalHeader();
    header->setHighlightSections(false);
    header->resizeSection(static_cast<int>(FileListModel::Column::Name), kNameWidth);
    header->resizeSection(static_cast<int>(FileListModel::Column::Type), kTypeWidth);
    header->resizeSection(static_cast<int>(FileListModel::Column::Size), kSizeWidth);
    for (const FileListModel::Column date :
         {FileListModel::Column::Modified, FileListModel::Column::Created,
          FileListModel::Column::LastAccess}) {
        header->resizeSection(static_cast<int>(date), kDateWidth);
    }
    // No sort column yet: enabling sorting must not reorder the rows already shown.
    header->setSortIndicator(-1, Qt::AscendingOrder);
    setSortingEnabled(true);
    connect(this, &QAbstractItemView::doubleClicked, this, &CFileListView::OpenRow);
    // The message waits until the editor that sent the name is gone.
    connect(&m_model, &FileListModel::RenameRefused, this, [this](RenameCheck check) {
        QMetaObject::invokeMethod(
            this, [this, check] { ShowRenameRefusal(this, check); }, Qt::QueuedConnection);
    });
}

void CFileListView::SetRenameAllowed(std::function<bool()> allowed) {
    m_renameAllowed = std::move(allowed);
}

bool CFileListView::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
    // No editor opens, but the event still reaches the check box.
    if (m_renameAllowed && !m_renameAllowed()) {
        trigger = NoEditTriggers;
    }
    const QVariant before = index.data(Qt::CheckStateRole);
    const bool handled = QTableView::edit(index, trigger, event);
    if (index.isValid() && index.data(Qt::CheckStateRole) != before) {
        emit CheckChangedByUser();
    }
    return handled;
}

void CFileListView::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        currentIndex().isValid()) {
        OpenRow(currentIndex());
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

void CFileListView::OpenRow(const QModelIndex& index) {
    if (!index.isValid() || !IsFolderKind(index.data(FileListModel::EntryKindRole))) {
        return;
    }
    const std::size_t entry = m_model.EntryAt(index.row());
    if (entry != FoundEntryStore::kNone) {
        emit FolderOpened(entry);
    }
}

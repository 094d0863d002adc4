#include "app/views/folder_tree_ctrl.h"

#include "app/views/entry_context_menu.h"

#include "controls/program_pictures.h"

#include "app/dialogs/common/rename_refusal_box.h"
#include "app/models/entry_order.h"
#include "app/models/file_list_model.h"
#include "app/program_text.h"
#include "resources/string_ids.h"

#include <QContextMenuEvent>
#include <QIcon>
#include <QItemSelectionModel>
#include <QMenu>
#include <QSortFilterProxyModel>
#include <QStyle>

#include <array>
#include <utility>

namespace {

constexpr int kNameColumn = 0;

// The pictures of image numbers 0 (root), 1 (folder) and 2 (deleted folder); the one place the
// tree takes them from.
// The root, a folder and a deleted folder; a selected folder shows open.
std::array<QIcon, 3> FolderPictures(const QStyle& /*style*/) {
    auto picture = [](int normal, int selected) {
        QIcon icon(StripPicture(PictureStrip::FolderTree, normal));
        if (selected >= 0) {
            icon.addPixmap(StripPicture(PictureStrip::FolderTree, selected), QIcon::Selected);
        }
        return icon;
    };
    return {picture(0, -1), picture(1, 3), picture(2, 4)};
}

QStringList TypeTexts() {
    QStringList texts;
    for (uint32_t i = 0; i < FileListModel::kTypeTextCount; ++i) {
        texts.push_back(ProgramText(kFirstTypeTextId + i));
    }
    return texts;
}

} // namespace

// Sorts each folder's children by an entry order and gives each folder the picture its image
// number asks for. The order compares tree texts, which is what the tree shows.
class SortedFolders : public QSortFilterProxyModel {
public:
    SortedFolders(const FolderTreeModel& folders, const QStyle& style, QObject* parent)
        : QSortFilterProxyModel(parent), m_folders(folders), m_icons(FolderPictures(style)),
          m_order(folders.Store(), kNameColumn, TypeTexts(), EntryOrder::NameSource::TreeText) {}

    void Arrange(int column, Qt::SortOrder order) {
        EntryOrder next(m_folders.Store(), column, TypeTexts(), EntryOrder::NameSource::TreeText);
        if (!next.Valid()) {
            return;
        }
        m_order = std::move(next);
        const bool sameSort = sortColumn() == kNameColumn && sortOrder() == order;
        sort(kNameColumn, order);
        // sort() does nothing when column and direction stay; the order itself changed.
        if (sameSort) {
            invalidate();
        }
    }

    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DecorationRole) {
            return QSortFilterProxyModel::data(index, role);
        }
        const int image = QSortFilterProxyModel::data(index, FolderTreeModel::IconRole).toInt();
        if (image < 0 || static_cast<std::size_t>(image) >= m_icons.size()) {
            return {};
        }
        return m_icons[static_cast<std::size_t>(image)];
    }

protected:
    // Descending, the proxy asks lessThan(right, left); answering from the shown order keeps
    // equal folders in arrival order both ways.
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override {
        const std::size_t a = m_folders.EntryOf(left);
        const std::size_t b = m_folders.EntryOf(right);
        if (sortOrder() == Qt::AscendingOrder) {
            return m_order.Precedes(a, b, true);
        }
        return m_order.Precedes(b, a, false);
    }

private:
    const FolderTreeModel& m_folders;
    std::array<QIcon, 3> m_icons;
    EntryOrder m_order;
};

CFolderTreeCtrl::CFolderTreeCtrl(FolderTreeModel& model, QWidget* parent)
    : QTreeView(parent), m_model(model), m_contextMenu(std::make_unique<EntryContextMenu>()) {
    setObjectName(QStringLiteral("1026"));
    m_sorted = new SortedFolders(m_model, *style(), this);
    m_sorted->setSourceModel(&m_model);
    m_sorted->setDynamicSortFilter(true);
    m_sorted->sort(kNameColumn, Qt::AscendingOrder);
    setModel(m_sorted);
    setHeaderHidden(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    // Renaming is started by F2 only; a double click opens or closes a folder.
    setEditTriggers(QAbstractItemView::EditKeyPressed);
    setUniformRowHeights(true);
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) { emit FolderSelected(EntryOfViewIndex(current)); });
    // The message waits until the editor that sent the name is gone.
    connect(&m_model, &FolderTreeModel::RenameRefused, this, [this](RenameCheck check) {
        QMetaObject::invokeMethod(
            this, [this, check] { ShowRenameRefusal(this, check); }, Qt::QueuedConnection);
    });
}

void CFolderTreeCtrl::SetRenameAllowed(std::function<bool()> allowed) {
    m_renameAllowed = std::move(allowed);
}

void CFolderTreeCtrl::Arrange(uint8_t column, bool ascending) {
    m_sorted->Arrange(column, ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
}

QModelIndex CFolderTreeCtrl::ViewIndex(std::size_t entry) const {
    return m_sorted->mapFromSource(m_model.IndexOfEntry(entry));
}

std::size_t CFolderTreeCtrl::EntryOfViewIndex(const QModelIndex& index) const {
    return m_model.EntryOf(m_sorted->mapToSource(index));
}

std::size_t CFolderTreeCtrl::SelectedEntry() const {
    return EntryOfViewIndex(currentIndex());
}

bool CFolderTreeCtrl::SelectEntry(std::size_t entry) {
    const QModelIndex index = ViewIndex(entry);
    if (!index.isValid()) {
        return false;
    }
    setCurrentIndex(index);
    scrollTo(index);
    return true;
}

void CFolderTreeCtrl::ExpandEntry(std::size_t entry) {
    const QModelIndex index = ViewIndex(entry);
    if (index.isValid()) {
        expand(index);
    }
}

bool CFolderTreeCtrl::IsEntryExpanded(std::size_t entry) const {
    const QModelIndex index = ViewIndex(entry);
    return index.isValid() && isExpanded(index);
}

void CFolderTreeCtrl::CollapseRoot(bool reselect) {
    const QModelIndex root = ViewIndex(0);
    if (!root.isValid()) {
        return;
    }
    const int children = m_sorted->rowCount(root);
    for (int row = 0; row < children; ++row) {
        collapse(m_sorted->index(row, 0, root));
    }
    if (reselect) {
        collapse(root);
        expand(root);
        setCurrentIndex(root);
    }
}

bool CFolderTreeCtrl::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
    // No editor opens, but the event still reaches the check box.
    if (m_renameAllowed && !m_renameAllowed()) {
        trigger = NoEditTriggers;
    }
    const QVariant before = index.data(Qt::CheckStateRole);
    const bool handled = QTreeView::edit(index, trigger, event);
    if (index.isValid() && index.data(Qt::CheckStateRole) != before) {
        emit CheckChangedByUser();
    }
    return handled;
}

QMenu* CFolderTreeCtrl::CreateContextMenu(std::size_t entry) {
    const QPersistentModelIndex index = ViewIndex(entry);
    if (!index.isValid()) {
        return nullptr;
    }
    const bool renameAllowed = !m_renameAllowed || m_renameAllowed();
    return m_contextMenu->Create(
        this, renameAllowed,
        [this, index] {
            if (!index.isValid()) {
                return;
            }
            const bool checked = index.data(Qt::CheckStateRole).toInt() == Qt::Checked;
            if (model()->setData(index, checked ? Qt::Unchecked : Qt::Checked,
                                 Qt::CheckStateRole)) {
                emit CheckChangedByUser();
            }
        },
        [this, index] {
            if (index.isValid()) {
                setCurrentIndex(index);
                QTreeView::edit(index);
            }
        },
        [this, entry] { emit PreviewRequested(entry); },
        [this, entry] { emit PropertiesRequested(entry); });
}

CFolderTreeCtrl::~CFolderTreeCtrl() = default;

void CFolderTreeCtrl::contextMenuEvent(QContextMenuEvent* event) {
    const std::size_t entry = EntryOfViewIndex(indexAt(event->pos()));
    if (entry == FoundEntryStore::kNone) {
        return;
    }
    QMenu* menu = CreateContextMenu(entry);
    if (menu == nullptr) {
        return;
    }
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

bool CFolderTreeCtrl::SelectFolderById(uint64_t entryId) {
    const std::size_t folder = m_model.Store().FindFolderById(entryId);
    if (folder == FoundEntryStore::kNone) {
        return false;
    }
    ExpandEntry(folder);
    return SelectEntry(folder);
}

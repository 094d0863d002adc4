#include "app/views/left_view.h"

#include "app/dialogs/rename_refusal_box.h"

#include <QContextMenuEvent>
#include <QIcon>
#include <QItemSelectionModel>
#include <QMenu>
#include <QSortFilterProxyModel>
#include <QStyle>

#include <array>
#include <utility>

namespace {

// Sorts folders by name and gives each the picture its image number asks for.
class SortedFolders : public QSortFilterProxyModel {
public:
    SortedFolders(const QStyle& style, QObject* parent) : QSortFilterProxyModel(parent) {
        const QIcon folder = style.standardIcon(QStyle::SP_DirIcon);
        const QSize size(16, 16);
        m_icons = {style.standardIcon(QStyle::SP_DriveHDIcon), folder,
                   QIcon(folder.pixmap(size, QIcon::Disabled))};
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

private:
    std::array<QIcon, 3> m_icons;
};

} // namespace

CLeftView::CLeftView(FolderTreeModel& model, QWidget* parent) : QTreeView(parent), m_model(model) {
    setObjectName(QStringLiteral("1026"));
    auto* sorted = new SortedFolders(*style(), this);
    sorted->setSourceModel(&m_model);
    sorted->setSortCaseSensitivity(Qt::CaseInsensitive);
    sorted->setDynamicSortFilter(true);
    sorted->sort(0, Qt::AscendingOrder);
    m_sorted = sorted;
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

void CLeftView::SetRenameAllowed(std::function<bool()> allowed) {
    m_renameAllowed = std::move(allowed);
}

QModelIndex CLeftView::ViewIndex(std::size_t entry) const {
    return m_sorted->mapFromSource(m_model.IndexOfEntry(entry));
}

std::size_t CLeftView::EntryOfViewIndex(const QModelIndex& index) const {
    return m_model.EntryOf(m_sorted->mapToSource(index));
}

std::size_t CLeftView::SelectedEntry() const {
    return EntryOfViewIndex(currentIndex());
}

bool CLeftView::SelectEntry(std::size_t entry) {
    const QModelIndex index = ViewIndex(entry);
    if (!index.isValid()) {
        return false;
    }
    setCurrentIndex(index);
    scrollTo(index);
    return true;
}

void CLeftView::ExpandEntry(std::size_t entry) {
    const QModelIndex index = ViewIndex(entry);
    if (index.isValid()) {
        expand(index);
    }
}

bool CLeftView::IsEntryExpanded(std::size_t entry) const {
    const QModelIndex index = ViewIndex(entry);
    return index.isValid() && isExpanded(index);
}

void CLeftView::CollapseRoot(bool reselect) {
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

bool CLeftView::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
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

QMenu* CLeftView::CreateContextMenu(std::size_t entry) {
    const QPersistentModelIndex index = ViewIndex(entry);
    if (!index.isValid()) {
        return nullptr;
    }
    auto* menu = new QMenu(this);
    auto add = [menu](int id, const QString& text, bool enabled) {
        QAction* action = menu->addAction(text);
        action->setObjectName(QString::number(id));
        action->setEnabled(enabled);
        return action;
    };
    add(kPreviewCommand, QStringLiteral("Preview"), false);
    QAction* select = add(kSelectCommand, QStringLiteral("Select / Unselect"), true);
    add(kRecoverCommand, QStringLiteral("Recover"), false);
    const bool renameAllowed = !m_renameAllowed || m_renameAllowed();
    QAction* rename = add(kRenameCommand, QStringLiteral("Rename"), renameAllowed);
    add(kPropertiesCommand, QStringLiteral("Show Properties"), false);

    connect(select, &QAction::triggered, this, [this, index] {
        if (!index.isValid()) {
            return;
        }
        const bool checked = index.data(Qt::CheckStateRole).toInt() == Qt::Checked;
        if (model()->setData(index, checked ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole)) {
            emit CheckChangedByUser();
        }
    });
    connect(rename, &QAction::triggered, this, [this, index] {
        if (index.isValid()) {
            setCurrentIndex(index);
            QTreeView::edit(index);
        }
    });
    return menu;
}

void CLeftView::contextMenuEvent(QContextMenuEvent* event) {
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

#include "app/models/folder_tree_model.h"

#include "app/models/found_entry_edit.h"

#include <map>
#include <utility>

FolderTreeModel::FolderTreeModel(FoundEntryStore& store, QObject* parent)
    : FoundEntryStoreModel(store, parent) {}

QModelIndex FolderTreeModel::index(int row, int column, const QModelIndex& parent) const {
    if (!hasIndex(row, column, parent)) {
        return {};
    }
    if (!parent.isValid()) {
        return createIndex(row, column, quintptr{0});
    }
    const std::size_t entry = EntryOf(parent);
    if (entry == FoundEntryStore::kNone) {
        return {};
    }
    return createIndex(row, column, static_cast<quintptr>(m_store.At(entry).treeChildren[row]));
}

QModelIndex FolderTreeModel::parent(const QModelIndex& child) const {
    const std::size_t entry = EntryOf(child);
    if (entry == FoundEntryStore::kNone) {
        return {};
    }
    return IndexOfEntry(m_store.At(entry).treeParent);
}

int FolderTreeModel::rowCount(const QModelIndex& parent) const {
    if (parent.column() > 0) {
        return 0;
    }
    if (!parent.isValid()) {
        return m_store.RootHasTreeNode() ? 1 : 0;
    }
    const std::size_t entry = EntryOf(parent);
    return entry == FoundEntryStore::kNone
               ? 0
               : static_cast<int>(m_store.At(entry).treeChildren.size());
}

int FolderTreeModel::columnCount(const QModelIndex&) const {
    return 1;
}

QVariant FolderTreeModel::data(const QModelIndex& index, int role) const {
    const std::size_t entry = EntryOf(index);
    if (entry == FoundEntryStore::kNone) {
        return {};
    }
    const FoundEntryStore::Entry& kept = m_store.At(entry);
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        if (entry == 0 && m_store.HasRoot() && !m_rootText.isEmpty() &&
            kept.treeText == FoundEntryStore::kRootName) {
            return m_rootText;
        }
        return QString::fromStdU16String(kept.treeText);
    case Qt::CheckStateRole:
        if (kept.item.checkState == FoundEntryStore::kChecked) {
            return Qt::Checked;
        }
        if (kept.item.checkState == FoundEntryStore::kPartlyChecked) {
            return Qt::PartiallyChecked;
        }
        return Qt::Unchecked;
    case IconRole:
        if (entry == 0) {
            return 0;
        }
        return kept.item.deleted ? 2 : 1;
    case EntryIndexRole:
        return QVariant::fromValue(static_cast<qulonglong>(entry));
    case EntryIdRole:
        return QVariant::fromValue(static_cast<qulonglong>(kept.item.entryId));
    default:
        return {};
    }
}

void FolderTreeModel::SetRootText(const QString& text) {
    m_rootText = text;
    const QModelIndex root = IndexOfEntry(0);
    if (root.isValid()) {
        emit dataChanged(root, root, {Qt::DisplayRole, Qt::EditRole});
    }
}

bool FolderTreeModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    const std::size_t entry = EntryOf(index);
    if (entry == FoundEntryStore::kNone) {
        return false;
    }
    RenameCheck refusal = RenameCheck::Ok;
    const bool changed = EditFoundEntry(m_store, entry, value, role, refusal);
    if (refusal != RenameCheck::Ok) {
        emit RenameRefused(refusal);
    }
    return changed;
}

Qt::ItemFlags FolderTreeModel::flags(const QModelIndex& index) const {
    if (EntryOf(index) == FoundEntryStore::kNone) {
        return Qt::NoItemFlags;
    }
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable | Qt::ItemIsEditable;
}

QModelIndex FolderTreeModel::IndexOfEntry(std::size_t entry) const {
    if (entry >= m_store.Size() || !m_store.At(entry).hasTreeNode) {
        return {};
    }
    const int row = entry == 0 ? 0 : static_cast<int>(m_store.At(entry).treeRow);
    return createIndex(row, 0, static_cast<quintptr>(entry));
}

std::size_t FolderTreeModel::EntryOf(const QModelIndex& index) const {
    if (!index.isValid() || index.model() != this) {
        return FoundEntryStore::kNone;
    }
    const std::size_t entry = static_cast<std::size_t>(index.internalId());
    return entry < m_store.Size() ? entry : FoundEntryStore::kNone;
}

void FolderTreeModel::AboutToAdd(const FoundEntryStore::AddPlan& plan) {
    if (plan.treeParent == FoundEntryStore::kNone) {
        return;
    }
    const int row = static_cast<int>(plan.treeRow);
    beginInsertRows(IndexOfEntry(plan.treeParent), row, row);
    m_inserting = true;
}

void FolderTreeModel::Added(const FoundEntryStore::AddPlan&) {
    if (m_inserting) {
        m_inserting = false;
        endInsertRows();
    }
}

void FolderTreeModel::ChecksChanged(std::span<const std::size_t> entries) {
    ReportChanged(entries, {Qt::CheckStateRole});
}

void FolderTreeModel::EntriesChanged(std::span<const std::size_t> entries) {
    // A late deleted flag changes the image number, and with it the picture the view derives.
    ReportChanged(entries, {Qt::DisplayRole, Qt::EditRole, IconRole, Qt::DecorationRole});
}

// One signal per parent, spanning the changed rows under it: a cascade over a large subtree
// then costs one signal per folder, not one per entry.
void FolderTreeModel::ReportChanged(std::span<const std::size_t> entries, const QList<int>& roles) {
    std::map<std::size_t, std::pair<std::size_t, std::size_t>> spans;
    for (const std::size_t entry : entries) {
        if (entry >= m_store.Size() || !m_store.At(entry).hasTreeNode) {
            continue;
        }
        const std::size_t row = m_store.At(entry).treeRow;
        auto [found, inserted] = spans.try_emplace(m_store.At(entry).treeParent, row, row);
        if (!inserted) {
            found->second.first = std::min(found->second.first, row);
            found->second.second = std::max(found->second.second, row);
        }
    }
    for (const auto& [parentEntry, rows] : spans) {
        const QModelIndex parentIndex = IndexOfEntry(parentEntry);
        emit dataChanged(index(static_cast<int>(rows.first), 0, parentIndex),
                         index(static_cast<int>(rows.second), 0, parentIndex), roles);
    }
}

#pragma once

#include "app/models/found_entry_store.h"
#include "app/models/found_entry_store_model.h"
#include "app/models/rename_check.h"

#include <QAbstractItemModel>

#include <cstddef>

// The folder tree over the entry store: the root, then every folder that has a tree node, in
// arrival order (a sorting proxy orders them for display). Without a root node (no root, or
// after FoundEntryStore::ClearViewItems) the tree is empty. A node's internal id is its entry
// index. Check boxes show the entries' check states; checking one cascades through the store,
// and the model then reports every changed folder, the whole subtree and the ancestors. Icons
// are not chosen here: IconRole gives the image number (0 root, 1 folder, 2 deleted folder) and
// the view picks the picture. A new name set through EditRole is checked by
// ValidateRenamedName; a refused one keeps the old name and is reported by RenameRefused, for
// the view to tell the user. The store must outlive the model.
class FolderTreeModel : public FoundEntryStoreModel<QAbstractItemModel> {
    Q_OBJECT

public:
    enum Role {
        IconRole = Qt::UserRole + 1,
        EntryIndexRole,
        EntryIdRole,
    };

    explicit FolderTreeModel(FoundEntryStore& store, QObject* parent = nullptr);

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // The node of an entry, or an invalid index when the entry has no tree node.
    QModelIndex IndexOfEntry(std::size_t entry) const;
    // The entry of a node, or FoundEntryStore::kNone.
    std::size_t EntryOf(const QModelIndex& index) const;
    // What the root shows while it keeps its stored name: "Root" in the current language.
    void SetRootText(const QString& text);

signals:
    void RenameRefused(RenameCheck check);

private:
    void AboutToAdd(const FoundEntryStore::AddPlan& plan) override;
    void Added(const FoundEntryStore::AddPlan& plan) override;
    void ChecksChanged(std::span<const std::size_t> entries) override;
    void EntriesChanged(std::span<const std::size_t> entries) override;
    void ReportChanged(std::span<const std::size_t> entries, const QList<int>& roles);

    bool m_inserting = false;
    QString m_rootText;
};

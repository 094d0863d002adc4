#pragma once

#include "app/models/found_entry_store.h"
#include "app/models/found_entry_store_model.h"
#include "app/models/rename_check.h"

#include <QAbstractTableModel>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <vector>

// The file list over the entry store: one row per entry of the shown folder, in arrival order
// until sorted. Once sorted, the order stays in force: the next folder shown and every row a
// scan adds later take their places in it. Cells are display texts; RawValueRole gives the
// value each column sorts on (sizes and ids as 64-bit numbers, times as keys in which a missing
// time is lowest), so no sort ever re-reads a text. Check boxes write through to the store,
// which cascades a folder row and derives the folders above. The store must outlive the model.
class FileListModel : public FoundEntryStoreModel<QAbstractTableModel> {
    Q_OBJECT

public:
    enum class Column {
        Name,
        Type,
        Size,
        Modified,
        Created,
        LastAccess,
        FileId,
    };
    static constexpr int kColumnCount = 7;
    static constexpr int kTypeTextCount = 4;

    enum Role {
        RawValueRole = Qt::UserRole + 1,
        EntryIndexRole,
        EntryKindRole,
    };

    // What the view's icon cache needs besides the name.
    enum class EntryKind {
        File,
        DeletedFile,
        Folder,
        DeletedFolder,
    };

    explicit FileListModel(FoundEntryStore& store, QObject* parent = nullptr);

    // Shows the entries whose parent id is folderId.
    void ShowFolder(uint64_t folderId);
    void ClearRows();
    bool ShowsFolder() const { return m_showsFolder; }
    uint64_t FolderId() const { return m_folderId; }
    std::size_t EntryAt(int row) const;
    // The first row showing an entry with this id, or -1.
    int RowOfEntryId(uint64_t entryId) const;

    // Texts of the current language: the seven column titles, and the type texts for a
    // folder, a deleted folder, a file and a deleted file.
    void SetColumnTitles(const QStringList& titles);
    void SetTypeTexts(const QStringList& texts);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    // Sorts on the raw values, equal ones in arrival order; names and types compare without
    // case. A column the list does not have sorts nothing and leaves the order in force.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
    bool SortInForce() const { return m_sortColumn >= 0; }
    // -1 while rows keep their arrival order.
    int SortColumn() const { return m_sortColumn; }
    Qt::SortOrder SortOrder() const { return m_sortOrder; }
    const QStringList& TypeTexts() const { return m_typeTexts; }

    // "%.2d-%.2d-%d %.2d:%.2d:%.2d" (month, day, year, hour, minute, second) of a time field
    // pair, or "--------" when the high half is 0. On FAT the halves are the DOS time and date
    // words; on NTFS they make a FILETIME, shown in UTC, and one of 2^63 or more is missing too.
    static QString TimeText(FoundEntryStore::VolumeKind kind, uint32_t low, uint32_t high);
    // The last-access cell: on FAT a DOS date alone, "%.2d-%.2d-%d", or "--------" for date 0.
    static QString LastAccessText(FoundEntryStore::VolumeKind kind, uint32_t low, uint32_t high);
    // Sort keys of the same fields: 0 for a missing time, larger for later times.
    static uint64_t TimeKey(FoundEntryStore::VolumeKind kind, uint32_t low, uint32_t high);
    static uint64_t LastAccessKey(FoundEntryStore::VolumeKind kind, uint32_t low, uint32_t high);

signals:
    // A name set through EditRole that ValidateRenamedName refused; the old name stays.
    void RenameRefused(RenameCheck check);

private:
    void AboutToReset() override;
    void Added(const FoundEntryStore::AddPlan& plan) override;
    void ChecksChanged(std::span<const std::size_t> entries) override;
    void EntriesChanged(std::span<const std::size_t> entries) override;
    bool IsRow(const QModelIndex& index) const;
    bool ShowsAny(std::span<const std::size_t> entries) const;

    QString TypeText(const FoundItem& item) const;
    QVariant DisplayText(const FoundEntryStore::Entry& entry, Column column) const;
    QVariant RawValue(const FoundEntryStore::Entry& entry, Column column) const;
    // Orders m_rows by the sort in force; false when none is.
    bool SortRows();
    // Where a new entry goes: after every row it does not sort before.
    std::size_t InsertPosition(std::size_t entry) const;

    std::vector<std::size_t> m_rows;
    uint64_t m_folderId = 0;
    bool m_showsFolder = false;
    int m_sortColumn = -1;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
    QStringList m_titles;
    QStringList m_typeTexts;
};

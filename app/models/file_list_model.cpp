#include "app/models/file_list_model.h"

#include "app/models/entry_order.h"
#include "app/models/found_entry_edit.h"
#include "app/program_text.h"

#include "platform/time/file_time.h"
#include "resources/string_ids.h"

#include <algorithm>
#include <cstdio>
#include <unordered_map>

namespace {

constexpr uint64_t kFileTimeLimit = uint64_t{1} << 63;
const QString kMissingTime = QStringLiteral("--------");

bool FileTimeMissing(uint32_t high) {
    return high == 0 || ((uint64_t{high} << 32) >= kFileTimeLimit);
}

QString DateTimeText(const TimeFields& f) {
    char text[64];
    std::snprintf(text, sizeof text, "%.2d-%.2d-%d %.2d:%.2d:%.2d", f.month, f.day, f.year, f.hour,
                  f.minute, f.second);
    return QString::fromLatin1(text);
}

QString DateText(const TimeFields& f) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2d-%.2d-%d", f.month, f.day, f.year);
    return QString::fromLatin1(text);
}

// Later fields never outweigh earlier ones; +1 keeps 0 for a missing time.
uint64_t FieldsKey(const TimeFields& f) {
    uint64_t key = static_cast<uint64_t>(f.year);
    key = key * 13 + static_cast<uint64_t>(f.month);
    key = key * 32 + static_cast<uint64_t>(f.day);
    key = key * 24 + static_cast<uint64_t>(f.hour);
    key = key * 61 + static_cast<uint64_t>(f.minute);
    key = key * 61 + static_cast<uint64_t>(f.second);
    return key + 1;
}

uint64_t CombinedFileTime(uint32_t low, uint32_t high) {
    return (uint64_t{high} << 32) | low;
}

} // namespace

FileListModel::FileListModel(FoundEntryStore& store, QObject* parent)
    : FoundEntryStoreModel(store, parent) {
    for (uint32_t i = 0; i < kColumnCount; ++i) {
        m_titles.push_back(ProgramText(kFirstColumnTitleId + i));
    }
    for (uint32_t i = 0; i < kTypeTextCount; ++i) {
        m_typeTexts.push_back(ProgramText(kFirstTypeTextId + i));
    }
}

void FileListModel::ShowFolder(uint64_t folderId) {
    beginResetModel();
    const std::span<const std::size_t> children = m_store.ChildrenOf(folderId);
    m_rows.assign(children.begin(), children.end());
    SortRows();
    m_folderId = folderId;
    m_showsFolder = true;
    endResetModel();
}

void FileListModel::ClearRows() {
    beginResetModel();
    m_rows.clear();
    m_showsFolder = false;
    endResetModel();
}

std::size_t FileListModel::EntryAt(int row) const {
    if (row < 0 || static_cast<std::size_t>(row) >= m_rows.size()) {
        return FoundEntryStore::kNone;
    }
    return m_rows[static_cast<std::size_t>(row)];
}

int FileListModel::RowOfEntryId(uint64_t entryId) const {
    for (std::size_t row = 0; row < m_rows.size(); ++row) {
        if (m_store.At(m_rows[row]).item.entryId == entryId) {
            return static_cast<int>(row);
        }
    }
    return -1;
}

void FileListModel::SetColumnTitles(const QStringList& titles) {
    if (titles.size() != kColumnCount) {
        return;
    }
    m_titles = titles;
    emit headerDataChanged(Qt::Horizontal, 0, kColumnCount - 1);
}

void FileListModel::SetTypeTexts(const QStringList& texts) {
    if (texts.size() != kTypeTextCount) {
        return;
    }
    m_typeTexts = texts;
    if (!m_rows.empty()) {
        const int column = static_cast<int>(Column::Type);
        emit dataChanged(index(0, column), index(rowCount() - 1, column));
    }
}

bool FileListModel::IsRow(const QModelIndex& index) const {
    return index.isValid() && index.model() == this && !index.parent().isValid() &&
           index.row() >= 0 && static_cast<std::size_t>(index.row()) < m_rows.size() &&
           index.column() >= 0 && index.column() < kColumnCount;
}

int FileListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int FileListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant FileListModel::data(const QModelIndex& index, int role) const {
    if (!IsRow(index)) {
        return {};
    }
    const std::size_t entryIndex = m_rows[static_cast<std::size_t>(index.row())];
    const FoundEntryStore::Entry& entry = m_store.At(entryIndex);
    const Column column = static_cast<Column>(index.column());
    switch (role) {
    case Qt::DisplayRole:
        return DisplayText(entry, column);
    case Qt::EditRole:
        return column == Column::Name ? QString::fromStdU16String(entry.name) : QVariant();
    case Qt::CheckStateRole:
        if (column != Column::Name) {
            return {};
        }
        switch (entry.item.checkState) {
        case FoundEntryStore::kUnchecked:
            return Qt::Unchecked;
        case FoundEntryStore::kChecked:
            return Qt::Checked;
        case FoundEntryStore::kPartlyChecked:
            return Qt::PartiallyChecked;
        default:
            return {};
        }
    case Qt::TextAlignmentRole:
        if (column == Column::Size || column == Column::FileId) {
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        }
        return {};
    case RawValueRole:
        return RawValue(entry, column);
    case EntryIndexRole:
        return QVariant::fromValue(static_cast<qulonglong>(entryIndex));
    case EntryKindRole:
        if (entry.item.IsFolder()) {
            return static_cast<int>(entry.item.deleted ? EntryKind::DeletedFolder
                                                       : EntryKind::Folder);
        }
        return static_cast<int>(entry.item.deleted ? EntryKind::DeletedFile : EntryKind::File);
    default:
        return {};
    }
}

bool FileListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!IsRow(index) || static_cast<Column>(index.column()) != Column::Name) {
        return false;
    }
    const std::size_t entry = m_rows[static_cast<std::size_t>(index.row())];
    RenameCheck refusal = RenameCheck::Ok;
    const bool changed = EditFoundEntry(m_store, entry, value, role, refusal);
    if (refusal != RenameCheck::Ok) {
        emit RenameRefused(refusal);
    }
    return changed;
}

Qt::ItemFlags FileListModel::flags(const QModelIndex& index) const {
    if (!IsRow(index)) {
        return Qt::NoItemFlags;
    }
    Qt::ItemFlags result = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (static_cast<Column>(index.column()) == Column::Name) {
        result |= Qt::ItemIsUserCheckable | Qt::ItemIsEditable;
    }
    return result;
}

QVariant FileListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= kColumnCount) {
        return {};
    }
    return m_titles.at(section);
}

void FileListModel::sort(int columnNumber, Qt::SortOrder order) {
    if (columnNumber < 0 || columnNumber >= kColumnCount) {
        return;
    }
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList persistent = persistentIndexList();
    std::vector<std::size_t> persistentEntries;
    persistentEntries.reserve(static_cast<std::size_t>(persistent.size()));
    for (const QModelIndex& index : persistent) {
        persistentEntries.push_back(m_rows[static_cast<std::size_t>(index.row())]);
    }

    m_sortColumn = columnNumber;
    m_sortOrder = order;
    SortRows();

    std::unordered_map<std::size_t, int> newRow;
    newRow.reserve(m_rows.size());
    for (std::size_t row = 0; row < m_rows.size(); ++row) {
        newRow.emplace(m_rows[row], static_cast<int>(row));
    }
    QModelIndexList moved;
    moved.reserve(persistent.size());
    for (qsizetype i = 0; i < persistent.size(); ++i) {
        moved.push_back(index(newRow.at(persistentEntries[static_cast<std::size_t>(i)]),
                              persistent[i].column()));
    }
    changePersistentIndexList(persistent, moved);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

bool FileListModel::SortRows() {
    if (!SortInForce()) {
        return false;
    }
    const EntryOrder order(m_store, m_sortColumn, m_typeTexts);
    const bool ascending = m_sortOrder == Qt::AscendingOrder;
    std::sort(m_rows.begin(), m_rows.end(), [&](std::size_t left, std::size_t right) {
        return order.Precedes(left, right, ascending);
    });
    return true;
}

std::size_t FileListModel::InsertPosition(std::size_t entry) const {
    if (!SortInForce()) {
        return m_rows.size();
    }
    // Renames since the last sort may have left the rows out of order; the search still ends
    // inside them, which is all a new row needs.
    const EntryOrder order(m_store, m_sortColumn, m_typeTexts);
    const bool ascending = m_sortOrder == Qt::AscendingOrder;
    const auto position = std::upper_bound(m_rows.begin(), m_rows.end(), entry,
                                           [&](std::size_t left, std::size_t right) {
                                               return order.Precedes(left, right, ascending);
                                           });
    return static_cast<std::size_t>(position - m_rows.begin());
}

QString FileListModel::TimeText(FoundEntryStore::VolumeKind kind, uint32_t low, uint32_t high) {
    if (kind == FoundEntryStore::VolumeKind::Fat) {
        return high == 0 ? kMissingTime : DateTimeText(DosDateTimeToFields(low, high));
    }
    return FileTimeMissing(high) ? kMissingTime
                                 : DateTimeText(FileTimeToFields(CombinedFileTime(low, high)));
}

QString FileListModel::LastAccessText(FoundEntryStore::VolumeKind kind, uint32_t low,
                                      uint32_t high) {
    if (kind == FoundEntryStore::VolumeKind::Fat) {
        return high == 0 ? kMissingTime : DateText(DosDateTimeToFields(0, high));
    }
    return TimeText(kind, low, high);
}

uint64_t FileListModel::TimeKey(FoundEntryStore::VolumeKind kind, uint32_t low, uint32_t high) {
    if (kind == FoundEntryStore::VolumeKind::Fat) {
        return high == 0 ? 0 : FieldsKey(DosDateTimeToFields(low, high));
    }
    return FileTimeMissing(high) ? 0 : CombinedFileTime(low, high);
}

uint64_t FileListModel::LastAccessKey(FoundEntryStore::VolumeKind kind, uint32_t low,
                                      uint32_t high) {
    if (kind == FoundEntryStore::VolumeKind::Fat) {
        return high == 0 ? 0 : FieldsKey(DosDateTimeToFields(0, high));
    }
    return TimeKey(kind, low, high);
}

QString FileListModel::TypeText(const FoundItem& item) const {
    return EntryOrder::TypeText(m_typeTexts, item);
}

QVariant FileListModel::DisplayText(const FoundEntryStore::Entry& entry, Column column) const {
    const FoundItem& item = entry.item;
    const FoundEntryStore::VolumeKind kind = m_store.Kind();
    switch (column) {
    case Column::Name:
        return QString::fromStdU16String(entry.name);
    case Column::Type:
        return TypeText(item);
    case Column::Size:
        return item.IsFolder() ? QStringLiteral("0") : QString::number(item.size);
    case Column::Modified:
        return TimeText(kind, item.modifiedTime, item.modifiedDate);
    case Column::Created:
        return TimeText(kind, item.createdTime, item.createdDate);
    case Column::LastAccess:
        // On FAT the access date is kept in lastAccess alone.
        return kind == FoundEntryStore::VolumeKind::Fat
                   ? LastAccessText(kind, 0, item.lastAccess)
                   : LastAccessText(kind, item.accessLow, item.lastAccess);
    case Column::FileId:
        return QString::asprintf("%7lu",
                                 static_cast<unsigned long>(static_cast<uint32_t>(item.entryId)));
    }
    return {};
}

QVariant FileListModel::RawValue(const FoundEntryStore::Entry& entry, Column column) const {
    switch (column) {
    case Column::Name:
        return QString::fromStdU16String(entry.name);
    case Column::Type:
        return TypeText(entry.item);
    default:
        return QVariant::fromValue(static_cast<qulonglong>(
            EntryOrder::NumberKey(m_store.Kind(), entry.item, static_cast<int>(column))));
    }
}

void FileListModel::AboutToReset() {
    FoundEntryStoreModel::AboutToReset();
    m_rows.clear();
    m_showsFolder = false;
}

// The row goes in once the entry is kept, so a sort in force can place it by its values.
void FileListModel::Added(const FoundEntryStore::AddPlan& plan) {
    if (!m_showsFolder || plan.parentId != m_folderId) {
        return;
    }
    const std::size_t position = InsertPosition(plan.index);
    const int row = static_cast<int>(position);
    beginInsertRows({}, row, row);
    m_rows.insert(m_rows.begin() + static_cast<std::ptrdiff_t>(position), plan.index);
    endInsertRows();
}

bool FileListModel::ShowsAny(std::span<const std::size_t> entries) const {
    if (!m_showsFolder || m_rows.empty()) {
        return false;
    }
    return std::any_of(entries.begin(), entries.end(), [&](std::size_t entry) {
        return entry < m_store.Size() && m_store.At(entry).item.parentId == m_folderId;
    });
}

void FileListModel::ChecksChanged(std::span<const std::size_t> entries) {
    if (ShowsAny(entries)) {
        const int column = static_cast<int>(Column::Name);
        emit dataChanged(index(0, column), index(rowCount() - 1, column), {Qt::CheckStateRole});
    }
}

void FileListModel::EntriesChanged(std::span<const std::size_t> entries) {
    if (ShowsAny(entries)) {
        emit dataChanged(index(0, 0), index(rowCount() - 1, kColumnCount - 1));
    }
}

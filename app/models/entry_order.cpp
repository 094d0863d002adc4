#include "app/models/entry_order.h"

#include "app/models/file_list_model.h"

#include "platform/text/text_compare.h"

#include <utility>

EntryOrder::EntryOrder(const FoundEntryStore& store, int column, QStringList typeTexts,
                       NameSource names)
    : m_store(&store), m_column(column), m_typeTexts(std::move(typeTexts)), m_names(names) {}

bool EntryOrder::Valid() const {
    return m_column >= 0 && m_column < FileListModel::kColumnCount &&
           m_typeTexts.size() == FileListModel::kTypeTextCount;
}

const QString& EntryOrder::TypeText(const QStringList& typeTexts, const FoundItem& item) {
    if (item.IsFolder()) {
        return typeTexts.at(item.deleted ? 1 : 0);
    }
    return typeTexts.at(item.deleted ? 3 : 2);
}

uint64_t EntryOrder::NumberKey(FoundEntryStore::VolumeKind kind, const FoundItem& item,
                               int column) {
    using Column = FileListModel::Column;
    switch (static_cast<Column>(column)) {
    case Column::Size:
        return item.IsFolder() ? 0 : item.size;
    case Column::Modified:
        return FileListModel::TimeKey(kind, item.modifiedTime, item.modifiedDate);
    case Column::Created:
        return FileListModel::TimeKey(kind, item.createdTime, item.createdDate);
    case Column::LastAccess:
        // On FAT the access date is kept in lastAccess alone.
        return kind == FoundEntryStore::VolumeKind::Fat
                   ? FileListModel::LastAccessKey(kind, 0, item.lastAccess)
                   : FileListModel::LastAccessKey(kind, item.accessLow, item.lastAccess);
    case Column::FileId:
        return item.entryId;
    case Column::Name:
    case Column::Type:
        break;
    }
    return 0;
}

bool EntryOrder::Less(std::size_t left, std::size_t right) const {
    if (!Valid() || left >= m_store->Size() || right >= m_store->Size()) {
        return false;
    }
    const FoundEntryStore::Entry& a = m_store->At(left);
    const FoundEntryStore::Entry& b = m_store->At(right);
    switch (static_cast<FileListModel::Column>(m_column)) {
    case FileListModel::Column::Name:
        return m_names == NameSource::TreeText ? CompareNoCase(a.treeText, b.treeText) < 0
                                               : CompareNoCase(a.name, b.name) < 0;
    case FileListModel::Column::Type:
        return TypeText(m_typeTexts, a.item)
                   .compare(TypeText(m_typeTexts, b.item), Qt::CaseInsensitive) < 0;
    default:
        return NumberKey(m_store->Kind(), a.item, m_column) <
               NumberKey(m_store->Kind(), b.item, m_column);
    }
}

bool EntryOrder::Precedes(std::size_t left, std::size_t right, bool ascending) const {
    if (Less(left, right)) {
        return ascending;
    }
    if (Less(right, left)) {
        return !ascending;
    }
    return left < right;
}

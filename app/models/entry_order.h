#pragma once

#include "app/models/found_entry_store.h"

#include <QStringList>

#include <cstddef>
#include <cstdint>

// Orders kept entries by one of the file list's seven columns, for the list and the folder
// tree alike: name and type by text without case, size and file id as 64-bit numbers, the three
// times by their time keys (a missing time lowest). A folder's size counts as 0, as its cell
// shows. Less is a strict weak order.
// The store must outlive the order.
class EntryOrder {
public:
    enum class NameSource {
        // The entry's name, as the file list shows it.
        Name,
        // The folder tree's text, which takes a scan's late names only once they are applied.
        TreeText,
    };

    // typeTexts: the texts of a folder, a deleted folder, a file and a deleted file.
    EntryOrder(const FoundEntryStore& store, int column, QStringList typeTexts,
               NameSource names = NameSource::Name);

    // False for a column the list does not have; such an order sorts nothing.
    bool Valid() const;
    int Column() const { return m_column; }
    bool Less(std::size_t left, std::size_t right) const;
    // The order of the shown rows: by the column in the direction asked, entries with equal
    // keys in arrival order either way. A total order, so the result never depends on the
    // order the rows had before.
    bool Precedes(std::size_t left, std::size_t right, bool ascending) const;

    // The number a size, time or file id column sorts on.
    static uint64_t NumberKey(FoundEntryStore::VolumeKind kind, const FoundItem& item, int column);
    // The type text of an entry out of the four texts above.
    static const QString& TypeText(const QStringList& typeTexts, const FoundItem& item);

private:
    const FoundEntryStore* m_store;
    int m_column;
    QStringList m_typeTexts;
    NameSource m_names;
};

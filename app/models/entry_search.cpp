#include "app/models/entry_search.h"

void EntrySearch::Reset() {
    m_position = FoundEntryStore::kNone;
    m_positionId = 0;
    m_foundBefore = false;
    m_atEnd = false;
}

std::size_t EntrySearch::ResumeIndex(const FoundEntryStore& store) const {
    if (m_atEnd)
        return store.Size();
    if (m_position == FoundEntryStore::kNone)
        return 0;
    if (m_position < store.Size() && store.At(m_position).item.entryId == m_positionId)
        return m_position + 1;
    // The list changed under the position: go on after the entry with its id, if any remains.
    const std::size_t byId = store.FindById(m_positionId);
    return byId == FoundEntryStore::kNone ? store.Size() : byId + 1;
}

std::size_t EntrySearch::Next(const FoundEntryStore& store, const FindConditions& conditions,
                              const CalendarDate& today) {
    const EntryTimeKind kind = TimeKindOf(store);
    for (std::size_t i = ResumeIndex(store); i < store.Size(); ++i) {
        const FoundEntryStore::Entry& entry = store.At(i);
        if (PassesFind(entry.item, entry.name, kind, conditions, today)) {
            m_position = i;
            m_positionId = entry.item.entryId;
            m_foundBefore = true;
            return i;
        }
    }
    m_atEnd = true;
    return FoundEntryStore::kNone;
}

EntryTimeKind TimeKindOf(const FoundEntryStore& store) {
    return store.Kind() == FoundEntryStore::VolumeKind::Ntfs ? EntryTimeKind::Ntfs
                                                             : EntryTimeKind::Fat;
}

#pragma once

#include "app/models/find_rules.h"
#include "app/models/found_entry_store.h"

#include <cstddef>
#include <cstdint>

// Where Find and Find Next stand in the kept entries: the last match, held by its index and
// entry id so that a rename or a list replaced under it can never make the search read a
// stale entry. Next walks the store in arrival order from the head (first search) or from the
// entry after the last match.
class EntrySearch {
public:
    // Back to the head; nothing found before.
    void Reset();
    // The next entry that passes, made the new position; kNone when the walk reaches the end.
    std::size_t Next(const FoundEntryStore& store, const FindConditions& conditions,
                     const CalendarDate& today);
    bool FoundBefore() const { return m_foundBefore; }
    std::size_t Position() const { return m_position; }

private:
    std::size_t ResumeIndex(const FoundEntryStore& store) const;

    std::size_t m_position = FoundEntryStore::kNone;
    uint64_t m_positionId = 0;
    bool m_foundBefore = false;
    bool m_atEnd = false;
};

EntryTimeKind TimeKindOf(const FoundEntryStore& store);

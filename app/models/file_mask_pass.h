#pragma once

#include "app/models/found_entry_store.h"
#include "jobs/mask/file_mask.h"

#include <cstddef>
#include <cstdint>
#include <unordered_set>

// The file mask's walk over the entries the store keeps aside: one kept entry per Step, on the
// GUI thread, paced by the mask job. A file that passes joins the current list (root 1) with
// its check state, after the folders above it that are not there yet, top-most first, so each
// gets its tree node under its parent. Folders enter only as parents. The ancestor walk ends at
// the root, at a folder the kept entries lack, or at a folder it has seen (a parent cycle).
class FileMaskPass {
public:
    // What one step added to the current list, for the volume's found counters.
    struct Added {
        uint32_t files = 0;
        uint32_t folders = 0;
        uint64_t bytes = 0;
    };

    explicit FileMaskPass(FoundEntryStore& store) : m_store(store) {}

    // The next step starts again at the head of the kept entries.
    void Rewind();
    // Filters the entry at the cursor; true while more entries remain.
    bool Step(const FileMaskSettings& settings, const CalendarDate& today, Added& added);

private:
    void AddAncestors(uint64_t parentId, Added& added);

    FoundEntryStore& m_store;
    std::size_t m_cursor = FoundEntryStore::kNone;
    std::unordered_set<uint64_t> m_addedFolders;
};

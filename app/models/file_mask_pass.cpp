#include "app/models/file_mask_pass.h"

#include "app/models/entry_search.h"

#include <vector>

void FileMaskPass::Rewind() {
    m_cursor = FoundEntryStore::kNone;
    m_addedFolders.clear();
}

bool FileMaskPass::Step(const FileMaskSettings& settings, const CalendarDate& today, Added& added) {
    const auto kept = m_store.Original();
    if (m_cursor == FoundEntryStore::kNone) {
        m_cursor = 0;
        m_addedFolders = {m_store.RootId()};
    }
    if (m_cursor >= kept.size()) {
        return false;
    }
    const FoundEntryStore::ItemCopy& entry = kept[m_cursor++];
    if (!entry.item.IsFolder() &&
        PassesFileMask(entry.item, entry.name, TimeKindOf(m_store), settings, today)) {
        AddAncestors(entry.item.parentId, added);
        m_store.AddKeptItem(entry.item, entry.name);
        ++added.files;
        added.bytes += entry.item.size;
    }
    return m_cursor < kept.size();
}

void FileMaskPass::AddAncestors(uint64_t parentId, Added& added) {
    const auto kept = m_store.Original();
    std::vector<std::size_t> chain;
    std::unordered_set<uint64_t> seen;
    uint64_t id = parentId;
    while (!m_addedFolders.contains(id) && seen.insert(id).second) {
        const std::size_t folder = m_store.FindOriginalFolder(id);
        if (folder == FoundEntryStore::kNone) {
            break;
        }
        chain.push_back(folder);
        id = kept[folder].item.parentId;
    }
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        const FoundEntryStore::ItemCopy& folder = kept[*it];
        m_store.AddKeptItem(folder.item, folder.name);
        m_addedFolders.insert(folder.item.entryId);
        ++added.folders;
    }
}

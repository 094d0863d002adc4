#include "tests/support/found_tree.h"

#include "platform/text/utf_conversion.h"

#include <memory>

void FoundTree::Take(const JobMessage& message) {
    if (message.id != WM_ADD_FOUND_ITEM && message.id != WM_UPDATE_FOUND_ITEM)
        return;
    const FoundItemPayload* payload = message.Get<FoundItemPayload>();
    if (payload == nullptr || payload->item == nullptr)
        return;
    if (message.id == WM_ADD_FOUND_ITEM) {
        Add(*payload->item, payload->name);
        return;
    }
    // As the window does: the folder kept under its first cluster takes the entry's name.
    const FoundItem& update = *payload->item;
    if (!update.IsFolder() || update.firstCluster == 0)
        return;
    for (Entry& entry : m_entries)
        if (entry.item.IsFolder() && entry.item.firstCluster == update.firstCluster) {
            entry.name = payload->name;
            entry.item.deleted = update.deleted;
            return;
        }
}

void FoundTree::Add(const FoundItem& item, std::u16string name) {
    m_byId[item.entryId] = m_entries.size();
    m_entries.push_back({item, std::move(name)});
}

void FoundTree::FillChildren(ChildItemsRequest& request) const {
    for (const Entry& entry : m_entries) {
        if (entry.item.parentId != request.parentEntryId)
            continue;
        if (!request.allEntries && entry.item.checkState != 2 && entry.item.checkState != 3)
            continue;
        request.result.push_back({std::make_shared<const FoundItem>(entry.item), entry.name});
    }
}

FoundTree::Entry* FoundTree::Find(uint64_t entryId) {
    auto it = m_byId.find(entryId);
    return it == m_byId.end() ? nullptr : &m_entries[it->second];
}

const FoundTree::Entry* FoundTree::Find(uint64_t entryId) const {
    auto it = m_byId.find(entryId);
    return it == m_byId.end() ? nullptr : &m_entries[it->second];
}

std::optional<std::string> FoundTree::PathOf(const Entry& entry, uint64_t rootId) const {
    std::string path = Utf16ToUtf8(entry.name);
    uint64_t parent = entry.item.parentId;
    for (size_t depth = 0; parent != rootId; ++depth) {
        auto it = m_byId.find(parent);
        if (it == m_byId.end() || depth > m_entries.size())
            return std::nullopt;
        const Entry& up = m_entries[it->second];
        path = Utf16ToUtf8(up.name) + "/" + path;
        parent = up.item.parentId;
    }
    return path;
}

void FoundTree::CheckAll(uint8_t state) {
    for (Entry& entry : m_entries)
        entry.item.checkState = state;
}

#pragma once

#include "filesystems/found_item.h"
#include "platform/jobs/job_messages.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

// What a window keeps of a scan, for tests of jobs that walk the found tree: every item the
// scan sent with its name, in arrival order, answering WM_GET_CHILD_ITEMS the way the window
// does (all children, or only those checked or partly checked).
class FoundTree {
public:
    struct Entry {
        FoundItem item;
        std::u16string name;
    };

    // Keeps the item of a WM_ADD_FOUND_ITEM message and renames the folder a
    // WM_UPDATE_FOUND_ITEM names by its first cluster; ignores every other message.
    void Take(const JobMessage& message);
    void Add(const FoundItem& item, std::u16string name);
    void FillChildren(ChildItemsRequest& request) const;

    const std::vector<Entry>& Entries() const { return m_entries; }
    Entry* Find(uint64_t entryId);
    const Entry* Find(uint64_t entryId) const;
    // The item's path below the root, '/' separated, UTF-8 ("Docs/Projects/plan.txt"); nullopt
    // when a parent is missing.
    std::optional<std::string> PathOf(const Entry& entry, uint64_t rootId) const;
    // Sets every entry's check state (2 checked, 1 unchecked).
    void CheckAll(uint8_t state);

private:
    std::vector<Entry> m_entries;
    std::map<uint64_t, size_t> m_byId;
};

#include "app/models/found_entry_store.h"

#include "app/models/rename_check.h"
#include "jobs/scan_info/scan_info_file.h"

#include <algorithm>
#include <deque>
#include <unordered_set>

namespace {

bool IsMarked(uint8_t state) {
    return state == FoundEntryStore::kChecked || state == FoundEntryStore::kPartlyChecked;
}

// The state the recovery job leaves on an entry it has handled, or the entry's own state when
// the rule does not apply to it.
uint8_t StateAfterJob(uint8_t state, bool partly) {
    if (partly) {
        return state == FoundEntryStore::kChecked ? FoundEntryStore::kPartlyChecked : state;
    }
    return IsMarked(state) ? FoundEntryStore::kUnchecked : state;
}

} // namespace

void FoundEntryStore::AddObserver(Observer* observer) {
    if (observer &&
        std::find(m_observers.begin(), m_observers.end(), observer) == m_observers.end()) {
        m_observers.push_back(observer);
    }
}

void FoundEntryStore::RemoveObserver(Observer* observer) {
    std::erase(m_observers, observer);
}

void FoundEntryStore::ClearEntries() {
    m_entries.clear();
    m_newestById.clear();
    m_newestFolderById.clear();
    m_children.clear();
    m_folderByCluster.clear();
    m_renames.clear();
    m_writeCursor = kNone;
}

void FoundEntryStore::CreateRoot(VolumeKind kind, int rootNumber) {
    for (Observer* observer : m_observers) {
        observer->AboutToReset();
    }
    ClearEntries();
    m_kind = kind;
    m_rootNumber = rootNumber;

    Entry root;
    root.item.entryId = RootId();
    root.item.parentId = kRootParentId;
    root.item.attributes = FoundItem::kFolderAttribute;
    root.item.treeItem = 1;
    root.item.checkState = 0;
    root.name = kRootName;
    root.treeText = root.name;
    root.hasTreeNode = true;
    m_entries.push_back(std::move(root));
    m_newestById[RootId()] = 0;
    m_newestFolderById[RootId()] = 0;
    m_children[kRootParentId].members.push_back(0);
    CountState(kRootParentId, 0, 1);

    for (Observer* observer : m_observers) {
        observer->ResetDone();
    }
}

void FoundEntryStore::Clear() {
    for (Observer* observer : m_observers) {
        observer->AboutToReset();
    }
    ClearEntries();
    m_rootNumber = 0;
    DropOriginal();
    for (Observer* observer : m_observers) {
        observer->ResetDone();
    }
}

void FoundEntryStore::ClearViewItems() {
    for (Observer* observer : m_observers) {
        observer->AboutToReset();
    }
    for (Entry& entry : m_entries) {
        entry.hasTreeNode = false;
        entry.treeParent = kNone;
        entry.treeRow = 0;
        entry.treeChildren.clear();
    }
    for (Observer* observer : m_observers) {
        observer->ResetDone();
    }
}

std::size_t FoundEntryStore::AddFoundItem(const FoundItem& item, std::u16string_view name) {
    if (!HasRoot()) {
        return kNone;
    }
    AddPlan plan;
    plan.index = m_entries.size();
    plan.parentId = item.parentId;
    if (item.IsFolder()) {
        const std::size_t parent = FindFolderById(item.parentId);
        if (parent != kNone && m_entries[parent].hasTreeNode) {
            plan.treeParent = parent;
            plan.treeRow = m_entries[parent].treeChildren.size();
        }
    }
    for (Observer* observer : m_observers) {
        observer->AboutToAdd(plan);
    }

    Entry entry;
    entry.item = item;
    entry.item.checkState = kUnchecked;
    entry.item.treeItem = item.IsFolder() ? static_cast<uint32_t>(plan.index + 1) : 0;
    entry.name = name;
    if (plan.treeParent != kNone) {
        entry.hasTreeNode = true;
        entry.treeParent = plan.treeParent;
        entry.treeRow = plan.treeRow;
        entry.treeText = entry.name;
        m_entries[plan.treeParent].treeChildren.push_back(plan.index);
    }
    if (auto found = m_newestById.find(item.entryId); found != m_newestById.end()) {
        entry.olderWithSameId = found->second;
        found->second = plan.index;
    } else {
        m_newestById.emplace(item.entryId, plan.index);
    }
    if (item.IsFolder()) {
        m_newestFolderById[item.entryId] = plan.index;
        if (item.firstCluster != 0) {
            m_folderByCluster.emplace(item.firstCluster, plan.index);
        }
    }
    m_children[item.parentId].members.push_back(plan.index);
    CountState(item.parentId, kUnchecked, 1);
    m_entries.push_back(std::move(entry));

    for (Observer* observer : m_observers) {
        observer->Added(plan);
    }
    return plan.index;
}

std::size_t FoundEntryStore::FindById(uint64_t entryId) const {
    const auto found = m_newestById.find(entryId);
    return found == m_newestById.end() ? kNone : found->second;
}

std::size_t FoundEntryStore::FindFolderById(uint64_t entryId) const {
    const auto found = m_newestFolderById.find(entryId);
    return found == m_newestFolderById.end() ? kNone : found->second;
}

std::size_t FoundEntryStore::FindByTreeHandle(uint64_t handle) const {
    if (handle == 0 || handle > m_entries.size()) {
        return kNone;
    }
    const std::size_t index = static_cast<std::size_t>(handle - 1);
    return m_entries[index].item.IsFolder() ? index : kNone;
}

std::span<const std::size_t> FoundEntryStore::ChildrenOf(uint64_t parentId) const {
    const auto found = m_children.find(parentId);
    if (found == m_children.end()) {
        return {};
    }
    return found->second.members;
}

void FoundEntryStore::CountState(uint64_t parentId, uint8_t state, int delta) {
    ChildList& list = m_children[parentId];
    std::size_t* counter = &list.unchecked;
    if (state == kChecked) {
        counter = &list.checked;
    } else if (state == kPartlyChecked) {
        counter = &list.partly;
    }
    *counter = static_cast<std::size_t>(static_cast<std::ptrdiff_t>(*counter) + delta);
}

bool FoundEntryStore::SetState(std::size_t index, uint8_t state) {
    FoundItem& item = m_entries[index].item;
    if (item.checkState == state) {
        return false;
    }
    CountState(item.parentId, item.checkState, -1);
    CountState(item.parentId, state, 1);
    item.checkState = state;
    return true;
}

uint8_t FoundEntryStore::DerivedState(std::size_t index) const {
    if (index >= m_entries.size()) {
        return 0;
    }
    const Entry& entry = m_entries[index];
    const auto found = m_children.find(entry.item.entryId);
    if (found == m_children.end() || found->second.members.empty()) {
        return entry.item.checkState;
    }
    const ChildList& list = found->second;
    if (list.checked == list.members.size()) {
        return kChecked;
    }
    if (list.unchecked == list.members.size()) {
        return kUnchecked;
    }
    return kPartlyChecked;
}

std::vector<std::size_t> FoundEntryStore::SetCheck(std::size_t index, bool checked) {
    std::vector<std::size_t> changed;
    if (index >= m_entries.size()) {
        return changed;
    }
    const uint8_t state = checked ? kChecked : kUnchecked;
    if (index == 0) {
        for (std::size_t i = 0; i < m_entries.size(); ++i) {
            if (SetState(i, state)) {
                changed.push_back(i);
            }
        }
        NotifyChecks(changed);
        return changed;
    }

    if (SetState(index, state)) {
        changed.push_back(index);
    }
    if (m_entries[index].item.IsFolder()) {
        // Parent links come from the disk and may loop: every folder id is entered once.
        std::unordered_set<uint64_t> visited{m_entries[index].item.entryId};
        std::deque<uint64_t> pending{m_entries[index].item.entryId};
        while (!pending.empty()) {
            const uint64_t id = pending.front();
            pending.pop_front();
            for (const std::size_t child : ChildrenOf(id)) {
                if (SetState(child, state)) {
                    changed.push_back(child);
                }
                const FoundItem& item = m_entries[child].item;
                if (item.IsFolder() && visited.insert(item.entryId).second) {
                    pending.push_back(item.entryId);
                }
            }
        }
    }
    PropagateUp(index, changed);
    NotifyChecks(changed);
    return changed;
}

void FoundEntryStore::PropagateUp(std::size_t index, std::vector<std::size_t>& changed) {
    std::unordered_set<std::size_t> visited{index};
    std::size_t current = index;
    while (true) {
        const std::size_t parent = FindFolderById(m_entries[current].item.parentId);
        if (parent == kNone || !visited.insert(parent).second) {
            break;
        }
        if (SetState(parent, DerivedState(parent))) {
            changed.push_back(parent);
        }
        current = parent;
    }
}

bool FoundEntryStore::SetFolderCheckFromJob(uint64_t treeHandle, bool partly) {
    const std::size_t index = FindByTreeHandle(treeHandle);
    if (index == kNone) {
        return false;
    }
    if (SetState(index, StateAfterJob(m_entries[index].item.checkState, partly))) {
        NotifyChecks({index});
    }
    return true;
}

bool FoundEntryStore::SetFileCheckFromJob(std::u16string_view name, uint64_t entryId, bool partly) {
    for (std::size_t index = FindById(entryId); index != kNone;
         index = m_entries[index].olderWithSameId) {
        if (m_entries[index].name != name) {
            continue;
        }
        if (SetState(index, StateAfterJob(m_entries[index].item.checkState, partly))) {
            NotifyChecks({index});
        }
        return true;
    }
    return false;
}

FoundEntryStore::SelectionCount FoundEntryStore::CountSelection() const {
    SelectionCount count;
    for (const Entry& entry : m_entries) {
        if (!IsMarked(entry.item.checkState)) {
            continue;
        }
        if (entry.item.IsFolder()) {
            ++count.folders;
        } else {
            ++count.files;
            // Sizes come from the disk: a sum past 2^64 stays at the maximum.
            const uint64_t room = std::numeric_limits<uint64_t>::max() - count.bytes;
            count.bytes += std::min(room, entry.item.size);
        }
    }
    return count;
}

std::vector<FoundEntryStore::ItemCopy> FoundEntryStore::ChildItems(uint64_t parentId,
                                                                   bool allEntries) const {
    std::vector<ItemCopy> copies;
    for (const std::size_t index : ChildrenOf(parentId)) {
        const Entry& entry = m_entries[index];
        if (allEntries || IsMarked(entry.item.checkState)) {
            copies.push_back({entry.item, entry.name});
        }
    }
    return copies;
}

bool FoundEntryStore::UpdateFoundItem(const FoundItem& item, std::u16string_view name) {
    if (!item.IsFolder() || item.firstCluster == 0) {
        return false;
    }
    const auto found = m_folderByCluster.find(item.firstCluster);
    if (found == m_folderByCluster.end()) {
        return false;
    }
    Entry& entry = m_entries[found->second];
    m_renames.push_back({found->second, entry.item.entryId, std::u16string(name)});
    entry.item.modifiedTime = item.modifiedTime;
    entry.item.modifiedDate = item.modifiedDate;
    entry.item.createdTime = item.createdTime;
    entry.item.createdDate = item.createdDate;
    entry.item.accessLow = item.accessLow;
    entry.item.lastAccess = item.lastAccess;
    // A folder first found live under its cluster number may turn out to be deleted once its
    // entry is met; everything already kept below it then is deleted too, as a scan that had
    // walked it as deleted would have sent it.
    entry.item.deleted = item.deleted;
    entry.name = name;
    std::vector<std::size_t> changed{found->second};
    if (entry.item.deleted != 0) {
        MarkSubtreeDeleted(entry.item.entryId, changed);
    }
    NotifyEntries(changed);
    return true;
}

void FoundEntryStore::MarkSubtreeDeleted(uint64_t folderId, std::vector<std::size_t>& changed) {
    // The root holds everything; no folder below it can give its deletion to the root's items.
    if (folderId == RootId()) {
        return;
    }
    // Parent links come from the disk and may loop: every folder id is entered once.
    std::unordered_set<uint64_t> visited{folderId};
    std::deque<uint64_t> pending{folderId};
    while (!pending.empty()) {
        const uint64_t id = pending.front();
        pending.pop_front();
        for (const std::size_t child : ChildrenOf(id)) {
            FoundItem& item = m_entries[child].item;
            if (item.deleted == 0) {
                item.deleted = 1;
                changed.push_back(child);
            }
            if (item.IsFolder() && item.entryId != RootId() &&
                visited.insert(item.entryId).second) {
                pending.push_back(item.entryId);
            }
        }
    }
}

void FoundEntryStore::ApplyItemNames() {
    std::vector<std::size_t> changed;
    for (Rename& rename : m_renames) {
        if (rename.index < m_entries.size() && m_entries[rename.index].hasTreeNode) {
            m_entries[rename.index].treeText = std::move(rename.name);
            changed.push_back(rename.index);
        }
    }
    m_renames.clear();
    NotifyEntries(changed);
}

bool FoundEntryStore::RenameEntry(std::size_t index, std::u16string_view name) {
    if (index >= m_entries.size() || ValidateRenamedName(name) != RenameCheck::Ok) {
        return false;
    }
    Entry& entry = m_entries[index];
    entry.name = name;
    if (entry.hasTreeNode) {
        entry.treeText = name;
    }
    NotifyEntries({index});
    return true;
}

std::vector<uint8_t> FoundEntryStore::TreeRecord(const FoundItem& item, std::u16string_view name) {
    return ScanInfoFile::ItemRecord(item, name);
}

FoundEntryStore::TreeRecordStep FoundEntryStore::NextTreeRecord() {
    TreeRecordStep step;
    const std::size_t index = m_writeCursor == kNone ? 0 : m_writeCursor;
    if (index >= m_entries.size()) {
        m_writeCursor = kNone;
        return step;
    }
    step.record = TreeRecord(m_entries[index].item, m_entries[index].name);
    step.more = index + 1 < m_entries.size();
    m_writeCursor = step.more ? index + 1 : kNone;
    return step;
}

void FoundEntryStore::NotifyChecks(const std::vector<std::size_t>& changed) {
    if (changed.empty()) {
        return;
    }
    for (Observer* observer : m_observers) {
        observer->ChecksChanged(changed);
    }
}

void FoundEntryStore::NotifyEntries(const std::vector<std::size_t>& changed) {
    if (changed.empty()) {
        return;
    }
    for (Observer* observer : m_observers) {
        observer->EntriesChanged(changed);
    }
}

std::u16string FoundEntryStore::GetItemPath(std::size_t index, std::u16string_view rootText) const {
    if (index >= m_entries.size()) {
        return {};
    }
    const auto nameOf = [&](std::size_t at) {
        if (at == 0 && !rootText.empty() && m_entries[0].name == kRootName) {
            return std::u16string(rootText);
        }
        return m_entries[at].name;
    };
    std::u16string path = nameOf(index);
    // Parent links come from the disk: the walk is bounded by the number of entries.
    for (std::size_t steps = 0; index != 0 && steps < m_entries.size(); ++steps) {
        const std::size_t parent = FindFolderById(m_entries[index].item.parentId);
        const std::size_t up = m_entries[index].item.parentId == RootId() ? 0 : parent;
        if (up == kNone || up == index) {
            break;
        }
        path = nameOf(up) + u"\\" + path;
        index = up;
    }
    return path;
}

void FoundEntryStore::SetAsideOriginal() {
    if (m_hasOriginal) {
        return;
    }
    m_original.clear();
    m_original.reserve(m_entries.size());
    m_originalFolderById.clear();
    for (Entry& entry : m_entries) {
        if (entry.item.IsFolder()) {
            m_originalFolderById[entry.item.entryId] = m_original.size();
        }
        m_original.push_back(ItemCopy{entry.item, std::move(entry.name)});
    }
    m_hasOriginal = true;
}

std::size_t FoundEntryStore::FindOriginalFolder(uint64_t entryId) const {
    const auto found = m_originalFolderById.find(entryId);
    return found == m_originalFolderById.end() ? kNone : found->second;
}

std::vector<FoundEntryStore::ItemCopy> FoundEntryStore::OriginalWithMarks() const {
    std::vector<ItemCopy> copies = m_original;
    for (ItemCopy& copy : copies) {
        const std::size_t current = FindById(copy.item.entryId);
        if (current != kNone && copy.item.parentId != kRootParentId) {
            copy.item.checkState = m_entries[current].item.checkState;
        }
    }
    return copies;
}

void FoundEntryStore::DropOriginal() {
    m_original.clear();
    m_original.shrink_to_fit();
    m_originalFolderById.clear();
    m_hasOriginal = false;
}

std::size_t FoundEntryStore::AddKeptItem(const FoundItem& item, std::u16string_view name) {
    const std::size_t index = AddFoundItem(item, name);
    if (index != kNone && item.checkState >= kUnchecked && item.checkState <= kPartlyChecked &&
        SetState(index, item.checkState)) {
        NotifyChecks({index});
    }
    return index;
}

#pragma once

#include "filesystems/found_item.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// The kept results of one scan: a copy of every found file and folder with its own name, in
// arrival order. Entry 0 is the root record once a root exists. Views read the entries through
// the folder-tree and file-list models; jobs get copies (ChildItems) and change check states only
// through SetFolderCheckFromJob and SetFileCheckFromJob.
//
// Invariants:
//  - Entry indexes are stable until the next CreateRoot or Clear; every kept folder's
//    FoundItem::treeItem holds its handle, its index plus one (files keep 0).
//  - Every lookup (by entry id, parent id, first cluster) goes through a hash index, so adding
//    an entry costs the same however many entries came before.
//  - For every parent id the store counts its children per check state, so a folder's tri-state
//    is derived from its children in constant time.
//  - A folder has a tree node when its parent folder had one at the time it arrived; a folder
//    that arrives before its parent stays in the store without a tree node. ClearViewItems
//    takes every node away, the root's too.
//
// Observers are told before and after every structural change and after check, name and time
// changes; they must unregister before the store is destroyed. GUI thread only.
class FoundEntryStore {
public:
    static constexpr std::size_t kNone = std::numeric_limits<std::size_t>::max();
    static constexpr uint64_t kRootParentId = ~uint64_t{0};
    static constexpr uint8_t kUnchecked = 1;
    static constexpr uint8_t kChecked = 2;
    static constexpr uint8_t kPartlyChecked = 3;

    enum class VolumeKind {
        Fat,
        Ntfs,
    };

    struct Entry {
        FoundItem item;
        std::u16string name;
        // What the folder tree shows: follows renames by the user at once, scan renames only
        // when they are applied.
        std::u16string treeText;
        std::size_t treeParent = kNone;
        std::size_t treeRow = 0;
        std::vector<std::size_t> treeChildren;
        bool hasTreeNode = false;
        std::size_t olderWithSameId = kNone; // chain of entries sharing an entry id, newest first
    };

    // What a job gets back: copies, never references into the store.
    struct ItemCopy {
        FoundItem item;
        std::u16string name;
    };

    struct SelectionCount {
        uint64_t folders = 0;
        uint64_t files = 0;
        uint64_t bytes = 0;
    };

    struct AddPlan {
        std::size_t index = 0;
        uint64_t parentId = 0;
        std::size_t treeParent = kNone; // kNone: no tree node
        std::size_t treeRow = 0;
    };

    struct Rename {
        std::size_t index = 0;
        uint64_t entryId = 0;
        std::u16string name;
    };

    class Observer {
    public:
        virtual ~Observer() = default;
        virtual void AboutToReset() = 0;
        virtual void ResetDone() = 0;
        virtual void AboutToAdd(const AddPlan& plan) = 0;
        virtual void Added(const AddPlan& plan) = 0;
        virtual void ChecksChanged(std::span<const std::size_t> entries) = 0;
        // Names, times, deleted flags or tree texts of these entries changed.
        virtual void EntriesChanged(std::span<const std::size_t> entries) = 0;
    };

    FoundEntryStore() = default;
    FoundEntryStore(const FoundEntryStore&) = delete;
    FoundEntryStore& operator=(const FoundEntryStore&) = delete;

    void AddObserver(Observer* observer);
    void RemoveObserver(Observer* observer);

    // The stored name of the root record; the tree shows it in the window's language.
    static constexpr std::u16string_view kRootName = u"Root";
    // Starts a fresh entry list with its root record "Root" (entry id 5 on NTFS, else 0). Root 1
    // is the root the file mask fills.
    void CreateRoot(VolumeKind kind, int rootNumber);
    // Forgets every entry, name and queued rename, and the entries kept aside by a mask.
    void Clear();
    // Takes every folder out of the tree and every row out of the file list, root included,
    // while the entries stay (a file mask walks them next). Folders that arrive afterwards get
    // no tree node, as their parents have none.
    void ClearViewItems();
    bool RootHasTreeNode() const { return HasRoot() && m_entries[0].hasTreeNode; }
    bool HasRoot() const { return !m_entries.empty(); }
    int RootNumber() const { return m_rootNumber; }
    VolumeKind Kind() const { return m_kind; }
    uint64_t RootId() const { return m_kind == VolumeKind::Ntfs ? 5 : 0; }

    // Keeps a copy of the item, unchecked, with a copy of the name. Returns its index, or kNone
    // when there is no root yet.
    std::size_t AddFoundItem(const FoundItem& item, std::u16string_view name);

    std::size_t Size() const { return m_entries.size(); }
    const Entry& At(std::size_t index) const { return m_entries[index]; }
    // The newest entry with this id, or kNone.
    std::size_t FindById(uint64_t entryId) const;
    // The newest folder with this id, or kNone.
    std::size_t FindFolderById(uint64_t entryId) const;
    // The entry of a tree handle (FoundItem::treeItem), or kNone.
    std::size_t FindByTreeHandle(uint64_t handle) const;
    // Indexes of the entries whose parent id is parentId, in arrival order.
    std::span<const std::size_t> ChildrenOf(uint64_t parentId) const;

    // A user's click: checks or unchecks the entry, a folder with everything below it, then
    // derives the states of the folders above. Returns the entries whose state changed.
    std::vector<std::size_t> SetCheck(std::size_t index, bool checked);
    // The state a folder's children give it: checked, unchecked or partly checked; the folder's
    // own state when it has no children.
    uint8_t DerivedState(std::size_t index) const;

    // From the recovery job: partly turns a checked entry partly checked, otherwise a checked or
    // partly checked entry becomes unchecked. The folders above are left as they are. Return
    // whether an entry was found.
    bool SetFolderCheckFromJob(uint64_t treeHandle, bool partly);
    bool SetFileCheckFromJob(std::u16string_view name, uint64_t entryId, bool partly);

    // Marked folders and files (states 2 and 3) and the bytes of the marked files.
    SelectionCount CountSelection() const;

    // Copies of the parent's entries: all of them, or only the marked ones.
    std::vector<ItemCopy> ChildItems(uint64_t parentId, bool allEntries) const;

    // A scan's late name, times and deleted flag for a folder, matched by its first cluster
    // (never cluster 0, which empty files and unset fields share). A deleted flag also marks
    // every entry kept below the folder deleted. The tree text changes on ApplyItemNames.
    bool UpdateFoundItem(const FoundItem& item, std::u16string_view name);
    std::span<const Rename> PendingRenames() const { return m_renames; }
    // Gives every queued name to the tree texts of the folders with that id; empties the queue.
    void ApplyItemNames();
    // Forgets the queued names; the tree texts stay as they are.
    void DropPendingRenames() { m_renames.clear(); }

    // The entry's path in the tree: its name after each ancestor's name and a backslash, from
    // the root's "Root" (Root\A\B), or `rootText` for a root that keeps its stored name. A
    // parent the store does not hold ends the walk there.
    std::u16string GetItemPath(std::size_t index, std::u16string_view rootText = {}) const;

    // A rename by the user: the entry and its tree text at once. False, changing nothing, when
    // there is no such entry or ValidateRenamedName refuses the name.
    bool RenameEntry(std::size_t index, std::u16string_view name);

    // --- the file mask ----------------------------------------------------------------------
    // Moves every entry aside, whole with its check state, so that root 1 can start a fresh
    // list beside it (CreateRoot follows). Nothing moves while entries are aside already.
    void SetAsideOriginal();
    bool HasOriginal() const { return m_hasOriginal; }
    std::span<const ItemCopy> Original() const { return m_original; }
    // The newest folder kept aside with this id, or kNone.
    std::size_t FindOriginalFolder(uint64_t entryId) const;
    // The entries kept aside, each with the check state of the current entry of its id when
    // there is one: marks made under the mask carry over.
    std::vector<ItemCopy> OriginalWithMarks() const;
    void DropOriginal();
    // As AddFoundItem, keeping the item's check state (1, 2 or 3; others leave it unchecked).
    std::size_t AddKeptItem(const FoundItem& item, std::u16string_view name);

    // The entries of a scan-information file, one per call, in arrival order from the root: a
    // length byte n, the FoundItemSerializer record, then the name's first n characters in
    // UTF-16LE. n is at most kMaxStoredNameLength; a longer name is cut, never in the middle of
    // a surrogate pair, so the byte always counts the characters written.
    struct TreeRecordStep {
        // The entry's bytes; empty when there are no entries.
        std::vector<uint8_t> record;
        // Entries remain after this one.
        bool more = false;
    };
    static constexpr std::size_t kMaxStoredNameLength = 255;

    // The record of the entry at the write cursor; the cursor moves to the next entry. A pass
    // starts at the root when the cursor is unset: at first, after a pass ended, after a new
    // root or Clear, and after RestartTreeWrite, which a job that saves the tree calls before
    // asking for its first record.
    TreeRecordStep NextTreeRecord();
    void RestartTreeWrite() { m_writeCursor = kNone; }
    // The bytes NextTreeRecord gives for an entry.
    static std::vector<uint8_t> TreeRecord(const FoundItem& item, std::u16string_view name);

private:
    struct ChildList {
        std::vector<std::size_t> members;
        std::size_t unchecked = 0;
        std::size_t checked = 0;
        std::size_t partly = 0;
    };

    // Drops every entry and the indexes over them; the observers are told by the caller.
    void ClearEntries();
    void CountState(uint64_t parentId, uint8_t state, int delta);
    bool SetState(std::size_t index, uint8_t state);
    void PropagateUp(std::size_t index, std::vector<std::size_t>& changed);
    void MarkSubtreeDeleted(uint64_t folderId, std::vector<std::size_t>& changed);
    void NotifyChecks(const std::vector<std::size_t>& changed);
    void NotifyEntries(const std::vector<std::size_t>& changed);

    std::vector<Entry> m_entries;
    std::unordered_map<uint64_t, std::size_t> m_newestById;
    std::unordered_map<uint64_t, std::size_t> m_newestFolderById;
    std::unordered_map<uint64_t, ChildList> m_children;
    std::unordered_map<uint64_t, std::size_t> m_folderByCluster;
    std::vector<Rename> m_renames;
    std::vector<Observer*> m_observers;
    std::size_t m_writeCursor = kNone;
    std::vector<ItemCopy> m_original;
    std::unordered_map<uint64_t, std::size_t> m_originalFolderById;
    bool m_hasOriginal = false;
    VolumeKind m_kind = VolumeKind::Fat;
    int m_rootNumber = 0;
};

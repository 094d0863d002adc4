#include "app/models/found_entry_store.h"

#include "tests/support/found_item_builders.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

namespace {

constexpr uint64_t kGiB = uint64_t{1} << 30;

using found_items::File;
using found_items::Folder;

uint8_t StateOf(const FoundEntryStore& store, std::size_t index) {
    return store.At(index).item.checkState;
}

// Root(0) - A(10) - B(11) - b1(21), b2(22)
//         |       - a1(20)
//         - r1(23)
struct SmallScan {
    FoundEntryStore store;
    std::size_t a, b, a1, b1, b2, r1;

    SmallScan() {
        store.CreateRoot(FoundEntryStore::VolumeKind::Fat, 0);
        a = store.AddFoundItem(Folder(10, 0, 100), u"A");
        b = store.AddFoundItem(Folder(11, 10, 101), u"B");
        a1 = store.AddFoundItem(File(20, 10, 5 * kGiB), u"a1");
        b1 = store.AddFoundItem(File(21, 11, 1000), u"b1");
        b2 = store.AddFoundItem(File(22, 11, 24), u"b2");
        r1 = store.AddFoundItem(File(23, 0, 1), u"r1");
    }
};

TEST(FoundEntryStoreTest, KeepsCopiesAndGivesTreeNodesOnlyUnderKnownFolders) {
    FoundEntryStore store;
    EXPECT_EQ(store.AddFoundItem(File(1, 0), u"early"), FoundEntryStore::kNone);

    store.CreateRoot(FoundEntryStore::VolumeKind::Ntfs, 0);
    ASSERT_EQ(store.Size(), 1u);
    EXPECT_EQ(store.At(0).item.entryId, 5u);
    EXPECT_EQ(store.At(0).item.parentId, FoundEntryStore::kRootParentId);
    EXPECT_EQ(store.At(0).name, u"Root");

    std::u16string name = u"Docs";
    FoundItem docs = Folder(40, 5);
    docs.checkState = 2;
    const std::size_t docsIndex = store.AddFoundItem(docs, name);
    name = u"changed by the sender";
    EXPECT_EQ(store.At(docsIndex).name, u"Docs");
    EXPECT_EQ(StateOf(store, docsIndex), FoundEntryStore::kUnchecked);
    EXPECT_TRUE(store.At(docsIndex).hasTreeNode);
    EXPECT_EQ(store.At(docsIndex).treeParent, 0u);
    EXPECT_EQ(store.FindByTreeHandle(store.At(docsIndex).item.treeItem), docsIndex);

    // A folder that arrives before its parent stays without a tree node.
    const std::size_t orphan = store.AddFoundItem(Folder(50, 60), u"orphan");
    const std::size_t late = store.AddFoundItem(Folder(60, 5), u"late parent");
    EXPECT_FALSE(store.At(orphan).hasTreeNode);
    EXPECT_TRUE(store.At(late).hasTreeNode);
    EXPECT_EQ(store.At(0).treeChildren, (std::vector<std::size_t>{docsIndex, late}));
    ASSERT_EQ(store.ChildrenOf(60).size(), 1u);
    EXPECT_EQ(store.ChildrenOf(60)[0], orphan);

    store.CreateRoot(FoundEntryStore::VolumeKind::Fat, 1);
    EXPECT_EQ(store.Size(), 1u);
    EXPECT_EQ(store.RootId(), 0u);
    EXPECT_EQ(store.RootNumber(), 1);
    EXPECT_TRUE(store.ChildrenOf(5).empty());
}

TEST(FoundEntryStoreTest, CheckingTheRootChecksEveryEntryAndUncheckingAFileMakesFoldersPartly) {
    SmallScan scan;
    FoundEntryStore& store = scan.store;
    const std::vector<std::size_t> changed = store.SetCheck(0, true);
    EXPECT_EQ(changed.size(), store.Size());
    for (std::size_t i = 0; i < store.Size(); ++i) {
        EXPECT_EQ(StateOf(store, i), FoundEntryStore::kChecked) << i;
    }

    store.SetCheck(scan.b1, false);
    EXPECT_EQ(StateOf(store, scan.b1), FoundEntryStore::kUnchecked);
    EXPECT_EQ(StateOf(store, scan.b2), FoundEntryStore::kChecked);
    EXPECT_EQ(StateOf(store, scan.b), FoundEntryStore::kPartlyChecked);
    EXPECT_EQ(StateOf(store, scan.a), FoundEntryStore::kPartlyChecked);
    EXPECT_EQ(StateOf(store, 0), FoundEntryStore::kPartlyChecked);
    EXPECT_EQ(StateOf(store, scan.a1), FoundEntryStore::kChecked);

    store.SetCheck(scan.b1, true);
    for (std::size_t i = 0; i < store.Size(); ++i) {
        EXPECT_EQ(StateOf(store, i), FoundEntryStore::kChecked) << i;
    }

    store.SetCheck(0, false);
    for (std::size_t i = 0; i < store.Size(); ++i) {
        EXPECT_EQ(StateOf(store, i), FoundEntryStore::kUnchecked) << i;
    }
}

TEST(FoundEntryStoreTest, CheckingAFolderCascadesDownAndDerivesUp) {
    SmallScan scan;
    FoundEntryStore& store = scan.store;
    const std::vector<std::size_t> changed = store.SetCheck(scan.b, true);
    EXPECT_EQ(StateOf(store, scan.b1), FoundEntryStore::kChecked);
    EXPECT_EQ(StateOf(store, scan.b2), FoundEntryStore::kChecked);
    EXPECT_EQ(StateOf(store, scan.a1), FoundEntryStore::kUnchecked);
    EXPECT_EQ(StateOf(store, scan.a), FoundEntryStore::kPartlyChecked);
    EXPECT_EQ(StateOf(store, 0), FoundEntryStore::kPartlyChecked);
    EXPECT_EQ(changed.size(), 5u); // B, b1, b2, A, root

    // The last unchecked file of A completes A but not the root, which still has r1 unchecked.
    store.SetCheck(scan.a1, true);
    EXPECT_EQ(StateOf(store, scan.a), FoundEntryStore::kChecked);
    EXPECT_EQ(StateOf(store, 0), FoundEntryStore::kPartlyChecked);
    store.SetCheck(scan.r1, true);
    EXPECT_EQ(StateOf(store, 0), FoundEntryStore::kChecked);
}

TEST(FoundEntryStoreTest, ParentLinksThatLoopEndTheCascade) {
    FoundEntryStore store;
    store.CreateRoot(FoundEntryStore::VolumeKind::Fat, 0);
    const std::size_t x = store.AddFoundItem(Folder(30, 31), u"x");
    const std::size_t y = store.AddFoundItem(Folder(31, 30), u"y");
    const std::size_t self = store.AddFoundItem(Folder(32, 32), u"self");
    const std::size_t file = store.AddFoundItem(File(33, 30), u"f");
    store.SetCheck(x, true);
    EXPECT_EQ(StateOf(store, y), FoundEntryStore::kChecked);
    EXPECT_EQ(StateOf(store, file), FoundEntryStore::kChecked);
    store.SetCheck(self, true);
    EXPECT_EQ(StateOf(store, self), FoundEntryStore::kChecked);
    store.SetCheck(file, false);
    EXPECT_EQ(StateOf(store, x), FoundEntryStore::kPartlyChecked);
}

TEST(FoundEntryStoreTest, CountSelectionCountsFilesInStatesTwoAndThree) {
    SmallScan scan;
    FoundEntryStore& store = scan.store;
    EXPECT_EQ(store.CountSelection().files, 0u);

    store.SetCheck(scan.a, true);
    // The recovery job leaves a1 partly checked: still marked.
    ASSERT_TRUE(store.SetFileCheckFromJob(u"a1", 20, true));
    EXPECT_EQ(StateOf(store, scan.a1), FoundEntryStore::kPartlyChecked);
    FoundEntryStore::SelectionCount count = store.CountSelection();
    EXPECT_EQ(count.files, 3u);
    EXPECT_EQ(count.folders, 3u); // A, B and the partly checked root
    EXPECT_EQ(count.bytes, 5 * kGiB + 1000 + 24);

    ASSERT_TRUE(store.SetFileCheckFromJob(u"a1", 20, false));
    EXPECT_EQ(StateOf(store, scan.a1), FoundEntryStore::kUnchecked);
    count = store.CountSelection();
    EXPECT_EQ(count.files, 2u);
    EXPECT_EQ(count.bytes, 1024u);
}

TEST(FoundEntryStoreTest, SelectedBytesStopAtTheLargestValue) {
    FoundEntryStore store;
    store.CreateRoot(FoundEntryStore::VolumeKind::Fat, 0);
    store.AddFoundItem(File(1, 0, ~uint64_t{0} - 5), u"huge");
    store.AddFoundItem(File(2, 0, 100), u"more");
    store.SetCheck(0, true);
    EXPECT_EQ(store.CountSelection().bytes, ~uint64_t{0});
}

TEST(FoundEntryStoreTest, JobCheckChangesFollowTheirRules) {
    SmallScan scan;
    FoundEntryStore& store = scan.store;
    const uint64_t handleOfB = store.At(scan.b).item.treeItem;
    // An unchecked folder stays unchecked whatever the job says.
    EXPECT_TRUE(store.SetFolderCheckFromJob(handleOfB, true));
    EXPECT_EQ(StateOf(store, scan.b), FoundEntryStore::kUnchecked);

    store.SetCheck(scan.b, true);
    EXPECT_TRUE(store.SetFolderCheckFromJob(handleOfB, true));
    EXPECT_EQ(StateOf(store, scan.b), FoundEntryStore::kPartlyChecked);
    EXPECT_TRUE(store.SetFolderCheckFromJob(handleOfB, false));
    EXPECT_EQ(StateOf(store, scan.b), FoundEntryStore::kUnchecked);

    EXPECT_FALSE(store.SetFolderCheckFromJob(0, false));
    EXPECT_FALSE(store.SetFolderCheckFromJob(store.Size() + 1, false));
    // A file has no tree handle, even when its index would make one.
    EXPECT_FALSE(store.SetFolderCheckFromJob(scan.b1 + 1, false));
    EXPECT_FALSE(store.SetFileCheckFromJob(u"b1", 999, false));
    EXPECT_FALSE(store.SetFileCheckFromJob(u"other name", 21, false));
}

TEST(FoundEntryStoreTest, JobFindsTheFileByNameAmongEntriesSharingAnId) {
    FoundEntryStore store;
    store.CreateRoot(FoundEntryStore::VolumeKind::Fat, 0);
    const std::size_t first = store.AddFoundItem(File(7, 0), u"first");
    const std::size_t second = store.AddFoundItem(File(7, 0), u"second");
    store.SetCheck(0, true);
    ASSERT_TRUE(store.SetFileCheckFromJob(u"first", 7, false));
    EXPECT_EQ(StateOf(store, first), FoundEntryStore::kUnchecked);
    EXPECT_EQ(StateOf(store, second), FoundEntryStore::kChecked);
}

TEST(FoundEntryStoreTest, ChildItemsAreCopiesThatLaterRenamesDoNotChange) {
    SmallScan scan;
    FoundEntryStore& store = scan.store;
    store.SetCheck(scan.a1, true);

    const std::vector<FoundEntryStore::ItemCopy> all = store.ChildItems(10, true);
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].name, u"B");
    EXPECT_EQ(all[1].name, u"a1");
    const std::vector<FoundEntryStore::ItemCopy> marked = store.ChildItems(10, false);
    ASSERT_EQ(marked.size(), 1u);
    EXPECT_EQ(marked[0].item.entryId, 20u);

    FoundItem renamed = Folder(11, 10, 101);
    renamed.modifiedDate = 0x5000;
    ASSERT_TRUE(store.UpdateFoundItem(renamed, u"B renamed"));
    ASSERT_TRUE(store.RenameEntry(scan.a1, u"a1 renamed"));
    store.CreateRoot(FoundEntryStore::VolumeKind::Fat, 0);

    EXPECT_EQ(all[0].name, u"B");
    EXPECT_EQ(all[0].item.modifiedDate, 0u);
    EXPECT_EQ(all[1].name, u"a1");
    EXPECT_EQ(marked[0].name, u"a1");
    EXPECT_TRUE(store.ChildItems(10, true).empty());
}

TEST(FoundEntryStoreTest, UpdateMatchesFoldersByFirstClusterOnly) {
    FoundEntryStore store;
    store.CreateRoot(FoundEntryStore::VolumeKind::Fat, 0);
    const std::size_t emptyFile = store.AddFoundItem(File(1, 0, 0, 0), u"EMPTY~1.TXT");
    const std::size_t emptyFolder = store.AddFoundItem(Folder(2, 0, 0), u"NOCLUS~1");
    const std::size_t fileAt77 = store.AddFoundItem(File(3, 0, 10, 77), u"FILE~1.BIN");
    const std::size_t folder = store.AddFoundItem(Folder(4, 0, 77), u"LONGFO~1");

    FoundItem zero = Folder(9, 0, 0);
    EXPECT_FALSE(store.UpdateFoundItem(zero, u"must not land anywhere"));
    EXPECT_FALSE(store.UpdateFoundItem(File(9, 0, 0, 0), u"must not land anywhere"));
    EXPECT_FALSE(store.UpdateFoundItem(File(9, 0, 10, 77), u"must not land anywhere"));
    EXPECT_EQ(store.At(emptyFile).name, u"EMPTY~1.TXT");
    EXPECT_EQ(store.At(emptyFolder).name, u"NOCLUS~1");
    EXPECT_TRUE(store.PendingRenames().empty());

    FoundItem update = Folder(99, 0, 77);
    update.modifiedTime = 0x1234;
    update.modifiedDate = 0x5678;
    update.createdTime = 0x1111;
    update.createdDate = 0x2222;
    update.lastAccess = 0x3333;
    ASSERT_TRUE(store.UpdateFoundItem(update, u"Long folder name"));
    EXPECT_EQ(store.At(fileAt77).name, u"FILE~1.BIN");
    const FoundEntryStore::Entry& kept = store.At(folder);
    EXPECT_EQ(kept.name, u"Long folder name");
    EXPECT_EQ(kept.item.entryId, 4u);
    EXPECT_EQ(kept.item.modifiedTime, 0x1234u);
    EXPECT_EQ(kept.item.modifiedDate, 0x5678u);
    EXPECT_EQ(kept.item.createdTime, 0x1111u);
    EXPECT_EQ(kept.item.createdDate, 0x2222u);
    EXPECT_EQ(kept.item.lastAccess, 0x3333u);

    // The tree shows the new name only once the queued names are applied.
    EXPECT_EQ(kept.treeText, u"LONGFO~1");
    ASSERT_EQ(store.PendingRenames().size(), 1u);
    EXPECT_EQ(store.PendingRenames()[0].entryId, 4u);
    store.ApplyItemNames();
    EXPECT_EQ(store.At(folder).treeText, u"Long folder name");
    EXPECT_TRUE(store.PendingRenames().empty());
}

// A folder sent live under its cluster number and later named by its deleted entry: the flag
// reaches the folder and everything kept below it, however deep, and nothing beside it.
TEST(FoundEntryStoreTest, DeletedUpdateMarksTheFolderAndEverythingBelowIt) {
    struct Case {
        const char* what;
        uint8_t updateDeleted;
        uint64_t cluster; // of the folder the update names
        bool subtreeDeleted;
    };
    const Case cases[] = {
        {"deleted folder A", 1, 100, true},
        {"deleted folder B inside A", 1, 101, false},
        {"live update", 0, 100, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SmallScan scan;
        FoundEntryStore& store = scan.store;
        // An entry deleted on its own stays deleted whatever the update says.
        FoundItem alreadyGone = File(24, 10);
        alreadyGone.deleted = 1;
        const std::size_t gone = store.AddFoundItem(alreadyGone, u"gone");
        // A folder that names itself as its parent must not hang the walk.
        const std::size_t loop = store.AddFoundItem(Folder(10, 10), u"loop");

        FoundItem update = Folder(77, 0, c.cluster);
        update.deleted = c.updateDeleted;
        ASSERT_TRUE(store.UpdateFoundItem(update, u"named"));
        const std::size_t named = c.cluster == 100 ? scan.a : scan.b;
        EXPECT_EQ(store.At(named).item.deleted, c.updateDeleted);
        EXPECT_EQ(store.At(named).item.entryId, c.cluster == 100 ? 10u : 11u);
        const bool bDeleted = c.subtreeDeleted || (c.cluster == 101 && c.updateDeleted != 0);
        EXPECT_EQ(store.At(scan.a1).item.deleted, c.subtreeDeleted ? 1 : 0);
        EXPECT_EQ(store.At(scan.b).item.deleted, bDeleted ? 1 : 0);
        EXPECT_EQ(store.At(scan.b1).item.deleted, bDeleted ? 1 : 0);
        EXPECT_EQ(store.At(scan.b2).item.deleted, bDeleted ? 1 : 0);
        EXPECT_EQ(store.At(loop).item.deleted, c.subtreeDeleted ? 1 : 0);
        EXPECT_EQ(store.At(gone).item.deleted, 1);
        EXPECT_EQ(store.At(scan.r1).item.deleted, 0) << "beside the folder";
        EXPECT_EQ(store.At(0).item.deleted, 0) << "the root";
    }
}

TEST(FoundEntryStoreTest, RenamesKeepTheOldNameWhenRefused) {
    SmallScan scan;
    EXPECT_FALSE(scan.store.RenameEntry(scan.b, u"x:y"));
    EXPECT_FALSE(scan.store.RenameEntry(scan.b, u""));
    EXPECT_FALSE(scan.store.RenameEntry(scan.b, std::u16string(257, u'b')));
    EXPECT_EQ(scan.store.At(scan.b).name, u"B");
    EXPECT_EQ(scan.store.At(scan.b).treeText, u"B");
    EXPECT_TRUE(scan.store.RenameEntry(scan.b, u"Better"));
    EXPECT_EQ(scan.store.At(scan.b).name, u"Better");
    EXPECT_EQ(scan.store.At(scan.b).treeText, u"Better");
    EXPECT_TRUE(scan.store.RenameEntry(scan.b1, std::u16string(256, u'n')));
    EXPECT_EQ(scan.store.At(scan.b1).name.size(), 256u);
    EXPECT_FALSE(scan.store.RenameEntry(scan.store.Size(), u"x"));
}

TEST(FoundEntryStoreTest, AddingStaysLinearUpTo200000Entries) {
    FoundEntryStore store;
    store.CreateRoot(FoundEntryStore::VolumeKind::Ntfs, 0);
    constexpr uint64_t kTotal = 200'000;
    constexpr uint64_t kSlice = 20'000;
    constexpr uint64_t kFilesPerFolder = 100;
    uint64_t nextId = 16;
    uint64_t currentFolder = 5;
    // Time of the first and of the last slice of kSlice additions.
    auto addSlice = [&] {
        const auto start = std::chrono::steady_clock::now();
        for (uint64_t i = 0; i < kSlice; ++i) {
            const uint64_t id = nextId++;
            if (id % kFilesPerFolder == 0) {
                store.AddFoundItem(Folder(id, currentFolder, id), u"folder");
                currentFolder = id;
            } else {
                store.AddFoundItem(File(id, currentFolder, id), u"file.dat");
            }
        }
        return std::chrono::steady_clock::now() - start;
    };
    const auto first = addSlice();
    for (uint64_t added = kSlice; added + kSlice < kTotal; added += kSlice) {
        addSlice();
    }
    const auto last = addSlice();
    ASSERT_EQ(store.Size(), kTotal + 1);
    // A linear search per added entry would make the last slice about 19 times slower.
    EXPECT_LT(last.count(), 6 * first.count() + std::chrono::nanoseconds(5'000'000).count());

    store.SetCheck(0, true);
    EXPECT_EQ(store.CountSelection().files + store.CountSelection().folders, kTotal + 1);
}

} // namespace

namespace {

TEST(FoundEntryStoreTest, ItemPathsRunFromTheRootWithBackslashes) {
    SmallScan scan;
    EXPECT_EQ(scan.store.GetItemPath(0), u"Root");
    EXPECT_EQ(scan.store.GetItemPath(scan.a), u"Root\\A");
    EXPECT_EQ(scan.store.GetItemPath(scan.b), u"Root\\A\\B");
    EXPECT_EQ(scan.store.GetItemPath(scan.b2), u"Root\\A\\B\\b2");
    EXPECT_EQ(scan.store.GetItemPath(scan.r1), u"Root\\r1");
    EXPECT_EQ(scan.store.GetItemPath(scan.store.Size()), u"");
}

TEST(FoundEntryStoreTest, ClearingTheViewItemsKeepsEveryEntry) {
    SmallScan scan;
    FoundEntryStore& store = scan.store;
    store.SetCheck(scan.b, true);
    const std::size_t size = store.Size();
    store.ClearViewItems();

    EXPECT_FALSE(store.RootHasTreeNode());
    ASSERT_EQ(store.Size(), size);
    for (std::size_t i = 0; i < size; ++i) {
        EXPECT_FALSE(store.At(i).hasTreeNode) << i;
        EXPECT_TRUE(store.At(i).treeChildren.empty()) << i;
    }
    // Names, states and the lookups the mask walks stay.
    EXPECT_EQ(store.At(scan.b1).name, u"b1");
    EXPECT_EQ(StateOf(store, scan.b1), FoundEntryStore::kChecked);
    EXPECT_EQ(store.FindFolderById(11), scan.b);
    EXPECT_EQ(store.ChildrenOf(11).size(), 2u);
    EXPECT_EQ(store.GetItemPath(scan.b1), u"Root\\A\\B\\b1");

    // A folder arriving now has no parent node to go under.
    const std::size_t late = store.AddFoundItem(Folder(30, 0), u"late");
    ASSERT_NE(late, FoundEntryStore::kNone);
    EXPECT_FALSE(store.At(late).hasTreeNode);
}

TEST(FoundEntryStoreTest, DroppedRenamesAreNeverApplied) {
    SmallScan scan;
    FoundEntryStore& store = scan.store;
    ASSERT_TRUE(store.UpdateFoundItem(Folder(10, 0, 100), u"A late"));
    ASSERT_EQ(store.PendingRenames().size(), 1u);
    store.DropPendingRenames();
    EXPECT_TRUE(store.PendingRenames().empty());
    store.ApplyItemNames();
    EXPECT_EQ(store.At(scan.a).treeText, u"A");
    // The entry's own name came with the update and stays.
    EXPECT_EQ(store.At(scan.a).name, u"A late");
}

} // namespace

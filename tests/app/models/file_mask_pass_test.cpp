#include "app/models/file_mask_pass.h"

#include "platform/text/utf_conversion.h"

#include "tests/support/found_item_builders.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

using found_items::File;
using found_items::Folder;

struct Kept {
    FoundItem item;
    std::u16string name;
};

// Fills a store with the entries, sets them aside and starts root 1, as the window does.
void SetUpMask(FoundEntryStore& store, FoundEntryStore::VolumeKind kind,
               const std::vector<Kept>& entries) {
    store.CreateRoot(kind, 0);
    for (const Kept& entry : entries) {
        store.AddFoundItem(entry.item, entry.name);
    }
    store.SetAsideOriginal();
    store.CreateRoot(kind, 1);
}

FileMaskPass::Added RunAll(FileMaskPass& pass, const FileMaskSettings& settings,
                           std::size_t& steps) {
    FileMaskPass::Added added;
    steps = 1;
    while (pass.Step(settings, {2025, 3, 15}, added) && steps < 1000) {
        ++steps;
    }
    return added;
}

std::set<std::string> Paths(const FoundEntryStore& store) {
    std::set<std::string> paths;
    for (std::size_t i = 0; i < store.Size(); ++i) {
        paths.insert(Utf16ToUtf8(store.GetItemPath(i)));
    }
    return paths;
}

FileMaskSettings Pattern(std::u16string pattern) {
    FileMaskSettings settings;
    settings.patterns = {std::move(pattern)};
    return settings;
}

TEST(FileMaskPassTest, PassingFilesComeWithTheirFoldersOnce) {
    FoundEntryStore store;
    SetUpMask(store, FoundEntryStore::VolumeKind::Fat,
              {{Folder(10, 0), u"A"},
               {Folder(11, 10), u"B"},
               {File(20, 11, 10), u"one.doc"},
               {File(21, 11, 10), u"two.doc"},
               {File(22, 10, 10), u"three.txt"},
               {File(23, 0, 10), u"root.doc"}});
    FileMaskPass pass(store);
    std::size_t steps = 0;
    const FileMaskPass::Added added = RunAll(pass, Pattern(u"*.doc"), steps);
    EXPECT_EQ(steps, 7u) << "one step per kept entry, the root included";
    EXPECT_EQ(added.files, 3u);
    EXPECT_EQ(added.folders, 2u);
    EXPECT_EQ(added.bytes, 30u);
    EXPECT_EQ(Paths(store),
              (std::set<std::string>{"Root", "Root\\A", "Root\\A\\B", "Root\\A\\B\\one.doc",
                                     "Root\\A\\B\\two.doc", "Root\\root.doc"}));
    // Each folder has one tree node, under its parent.
    const std::size_t b = store.FindFolderById(11);
    ASSERT_NE(b, FoundEntryStore::kNone);
    EXPECT_TRUE(store.At(b).hasTreeNode);
    EXPECT_EQ(store.At(b).treeParent, store.FindFolderById(10));
    EXPECT_EQ(store.Original().size(), 7u);
}

TEST(FileMaskPassTest, AParentCycleEndsTheAncestorWalk) {
    FoundEntryStore store;
    // Two damaged folders that name each other as parent, and a file in one of them.
    SetUpMask(store, FoundEntryStore::VolumeKind::Fat,
              {{Folder(30, 31), u"X"}, {Folder(31, 30), u"Y"}, {File(40, 30, 10), u"a.doc"}});
    FileMaskPass pass(store);
    std::size_t steps = 0;
    const FileMaskPass::Added added = RunAll(pass, Pattern(u"*.doc"), steps);
    EXPECT_EQ(steps, 4u);
    EXPECT_EQ(added.files, 1u);
    EXPECT_EQ(added.folders, 2u) << "each folder of the cycle once";
}

TEST(FileMaskPassTest, MissingAncestorsEndTheChainWhereItStops) {
    FoundEntryStore store;
    SetUpMask(
        store, FoundEntryStore::VolumeKind::Ntfs,
        {{Folder(50, 99), u"Orphan"}, {File(60, 50, 10), u"a.doc"}, {File(61, 5, 10), u"b.doc"}});
    FileMaskPass pass(store);
    std::size_t steps = 0;
    const FileMaskPass::Added added = RunAll(pass, Pattern(u"*.doc"), steps);
    EXPECT_EQ(added.files, 2u);
    EXPECT_EQ(added.folders, 1u);
    EXPECT_EQ(store.RootId(), 5u);
    EXPECT_FALSE(store.At(store.FindFolderById(50)).hasTreeNode) << "its parent is not there";
}

TEST(FileMaskPassTest, RewindStartsAgainAtTheHead) {
    FoundEntryStore store;
    SetUpMask(store, FoundEntryStore::VolumeKind::Fat, {{File(20, 0, 10), u"a.doc"}});
    FileMaskPass pass(store);
    FileMaskPass::Added added;
    EXPECT_TRUE(pass.Step(Pattern(u"*.doc"), {2025, 3, 15}, added)); // the root
    EXPECT_FALSE(pass.Step(Pattern(u"*.doc"), {2025, 3, 15}, added));
    EXPECT_FALSE(pass.Step(Pattern(u"*.doc"), {2025, 3, 15}, added)) << "stays at the end";
    pass.Rewind();
    EXPECT_TRUE(pass.Step(Pattern(u"*.doc"), {2025, 3, 15}, added));
}

TEST(OriginalListTest, MarksMadeUnderTheMaskCarryOverAndClearDropsTheKeptEntries) {
    FoundEntryStore store;
    store.CreateRoot(FoundEntryStore::VolumeKind::Fat, 0);
    store.AddFoundItem(File(20, 0, 10), u"a.doc");
    const std::size_t b = store.AddFoundItem(File(21, 0, 10), u"b.doc");
    store.SetCheck(b, true);
    store.SetAsideOriginal();
    EXPECT_TRUE(store.HasOriginal());
    store.CreateRoot(FoundEntryStore::VolumeKind::Fat, 1);
    EXPECT_TRUE(store.HasOriginal()) << "root 1 starts beside the kept entries";
    const std::size_t a = store.AddKeptItem(store.Original()[1].item, u"a.doc");
    store.SetCheck(a, true);

    const std::vector<FoundEntryStore::ItemCopy> back = store.OriginalWithMarks();
    ASSERT_EQ(back.size(), 3u);
    EXPECT_EQ(back[1].item.checkState, FoundEntryStore::kChecked) << "marked under the mask";
    EXPECT_EQ(back[2].item.checkState, FoundEntryStore::kChecked) << "marked before";

    store.CreateRoot(FoundEntryStore::VolumeKind::Fat, 0);
    for (std::size_t i = 1; i < back.size(); ++i) {
        store.AddKeptItem(back[i].item, back[i].name);
    }
    EXPECT_EQ(store.CountSelection().files, 2u);
    store.Clear();
    EXPECT_FALSE(store.HasOriginal());
}

} // namespace

#include "app/models/file_list_model.h"
#include "app/models/folder_tree_model.h"
#include "app/models/found_entry_store.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QSortFilterProxyModel>

#include "tests/support/found_item_builders.h"

#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <utility>

namespace {

using Kind = FoundEntryStore::VolumeKind;
using Column = FileListModel::Column;

constexpr uint64_t kGiB = uint64_t{1} << 30;
// 2020-01-01 00:00:00 UTC as a FILETIME.
constexpr uint64_t kNewYear2020 = 132223104000000000;
constexpr uint64_t kTicksPerDay = uint64_t{864'000'000'000};

using found_items::File;
using found_items::Folder;

uint32_t DosDate(int year, int month, int day) {
    return static_cast<uint32_t>(((year - 1980) << 9) | (month << 5) | day);
}

uint32_t DosTime(int hour, int minute, int second) {
    return static_cast<uint32_t>((hour << 11) | (minute << 5) | (second / 2));
}

// Counts what QAbstractItemModelTester reports, so a broken model fails the test that broke it.
int g_modelTestMessages = 0;
QtMessageHandler g_previousHandler = nullptr;

void CountModelTestMessages(QtMsgType type, const QMessageLogContext& context,
                            const QString& message) {
    if (context.category && QByteArray(context.category) == "qt.modeltest") {
        ++g_modelTestMessages;
    }
    g_previousHandler(type, context, message);
}

class ModelTesterGuard {
public:
    ModelTesterGuard() {
        g_modelTestMessages = 0;
        g_previousHandler = qInstallMessageHandler(CountModelTestMessages);
    }
    ~ModelTesterGuard() { qInstallMessageHandler(g_previousHandler); }
};

QString Cell(const FileListModel& list, int row, Column column) {
    return list.index(row, static_cast<int>(column)).data().toString();
}

std::vector<QString> Names(const FileListModel& list) {
    std::vector<QString> names;
    for (int row = 0; row < list.rowCount(); ++row) {
        names.push_back(Cell(list, row, Column::Name));
    }
    return names;
}

TEST(TreeAndListModelsTest, BothModelsPassTheModelTesterWhileEntriesArriveAndChange) {
    ModelTesterGuard guard;
    FoundEntryStore store;
    FolderTreeModel tree(store);
    FileListModel list(store);
    QAbstractItemModelTester treeTester(&tree,
                                        QAbstractItemModelTester::FailureReportingMode::Warning);
    QAbstractItemModelTester listTester(&list,
                                        QAbstractItemModelTester::FailureReportingMode::Warning);
    QSortFilterProxyModel sortedList;
    sortedList.setSourceModel(&list);
    sortedList.setSortRole(FileListModel::RawValueRole);
    sortedList.sort(static_cast<int>(Column::Size));
    QAbstractItemModelTester proxyTester(&sortedList,
                                         QAbstractItemModelTester::FailureReportingMode::Warning);

    store.CreateRoot(Kind::Fat, 0);
    ASSERT_EQ(tree.rowCount(), 1);
    list.ShowFolder(0);
    for (uint64_t folder = 1; folder <= 5; ++folder) {
        store.AddFoundItem(Folder(folder, folder == 1 ? 0 : folder - 1), u"folder");
        for (uint64_t file = 0; file < 4; ++file) {
            store.AddFoundItem(File(folder * 100 + file, folder - 1, file * kGiB * 3), u"file.bin");
        }
    }
    store.AddFoundItem(Folder(50, 77), u"orphan");
    EXPECT_EQ(list.rowCount(), 5); // folder 1 and the four files of the root
    const QModelIndex root = tree.index(0, 0);
    ASSERT_EQ(tree.rowCount(root), 1);

    tree.setData(root, Qt::Checked, Qt::CheckStateRole);
    EXPECT_EQ(list.index(0, 0).data(Qt::CheckStateRole).toInt(), Qt::Checked);
    list.setData(list.index(2, 0), Qt::Unchecked, Qt::CheckStateRole);
    EXPECT_EQ(root.data(Qt::CheckStateRole).toInt(), Qt::PartiallyChecked);

    list.sort(static_cast<int>(Column::Size), Qt::DescendingOrder);
    list.sort(static_cast<int>(Column::Modified), Qt::AscendingOrder);
    list.setData(list.index(0, 0), u"renamed"_qs, Qt::EditRole);
    store.UpdateFoundItem(Folder(3, 2), u"late name");
    store.ApplyItemNames();
    list.ShowFolder(3);
    EXPECT_EQ(list.rowCount(), 5); // folder 4 and four files
    store.AddFoundItem(File(999, 3), u"new in the shown folder");
    EXPECT_EQ(list.rowCount(), 6);
    store.CreateRoot(Kind::Ntfs, 1);
    EXPECT_EQ(list.rowCount(), 0);
    EXPECT_EQ(tree.rowCount(), 1);
    store.Clear();
    EXPECT_EQ(tree.rowCount(), 0);

    EXPECT_EQ(g_modelTestMessages, 0);
}

TEST(TreeAndListModelsTest, CheckingAFolderReportsItsSubtreeAndItsAncestors) {
    FoundEntryStore store;
    store.CreateRoot(Kind::Fat, 0);
    const std::size_t a = store.AddFoundItem(Folder(1, 0), u"A");
    const std::size_t b = store.AddFoundItem(Folder(2, 1), u"B");
    const std::size_t c = store.AddFoundItem(Folder(3, 2), u"C");
    const std::size_t d = store.AddFoundItem(Folder(4, 3), u"D");
    const std::size_t sibling = store.AddFoundItem(Folder(5, 1), u"sibling");
    store.AddFoundItem(File(6, 4), u"deep file");
    FolderTreeModel tree(store);
    QSignalSpy spy(&tree, &QAbstractItemModel::dataChanged);

    tree.setData(tree.IndexOfEntry(b), Qt::Checked, Qt::CheckStateRole);

    std::set<std::size_t> reported;
    for (const QList<QVariant>& signal : spy) {
        const QModelIndex from = signal.at(0).value<QModelIndex>();
        const QModelIndex to = signal.at(1).value<QModelIndex>();
        ASSERT_EQ(from.parent(), to.parent());
        EXPECT_TRUE(signal.at(2).value<QList<int>>().contains(Qt::CheckStateRole));
        for (int row = from.row(); row <= to.row(); ++row) {
            reported.insert(tree.EntryOf(tree.index(row, 0, from.parent())));
        }
    }
    for (const std::size_t entry : {std::size_t{0}, a, b, c, d}) {
        EXPECT_TRUE(reported.count(entry)) << entry;
    }
    EXPECT_FALSE(reported.count(sibling));
    EXPECT_EQ(tree.IndexOfEntry(d).data(Qt::CheckStateRole).toInt(), Qt::Checked);
    EXPECT_EQ(tree.IndexOfEntry(a).data(Qt::CheckStateRole).toInt(), Qt::PartiallyChecked);
    EXPECT_EQ(tree.index(0, 0).data(Qt::CheckStateRole).toInt(), Qt::PartiallyChecked);
    EXPECT_EQ(tree.IndexOfEntry(sibling).data(Qt::CheckStateRole).toInt(), Qt::Unchecked);
}

TEST(TreeAndListModelsTest, TreeShowsNamesIconsAndAppliedRenames) {
    FoundEntryStore store;
    store.CreateRoot(Kind::Fat, 0);
    FoundItem deleted = Folder(1, 0);
    deleted.deleted = 1;
    deleted.firstCluster = 40;
    const std::size_t gone = store.AddFoundItem(deleted, u"GONE~1");
    const std::size_t kept = store.AddFoundItem(Folder(2, 0), u"kept");
    FolderTreeModel tree(store);

    EXPECT_EQ(tree.index(0, 0).data().toString(), u"Root"_qs);
    EXPECT_EQ(tree.index(0, 0).data(FolderTreeModel::IconRole).toInt(), 0);
    EXPECT_EQ(tree.IndexOfEntry(gone).data(FolderTreeModel::IconRole).toInt(), 2);
    EXPECT_EQ(tree.IndexOfEntry(kept).data(FolderTreeModel::IconRole).toInt(), 1);

    FoundItem update = Folder(1, 0);
    update.firstCluster = 40;
    store.UpdateFoundItem(update, u"Gone for good");
    EXPECT_EQ(tree.IndexOfEntry(gone).data().toString(), u"GONE~1"_qs);
    QSignalSpy spy(&tree, &QAbstractItemModel::dataChanged);
    store.ApplyItemNames();
    EXPECT_EQ(spy.count(), 1);
    EXPECT_EQ(tree.IndexOfEntry(gone).data().toString(), u"Gone for good"_qs);
}

// A deleted flag that arrives late: the tree redraws the folder's picture and the folder below
// it, and a list showing what the folder holds redraws its rows.
TEST(TreeAndListModelsTest, LateDeletedFlagRedrawsTheTreePicturesAndTheList) {
    FoundEntryStore store;
    store.CreateRoot(Kind::Fat, 0);
    FoundItem lost = Folder(1, 0);
    lost.firstCluster = 40;
    const std::size_t folder = store.AddFoundItem(lost, u"00000040");
    const std::size_t inner = store.AddFoundItem(Folder(2, 1), u"INNER");
    const std::size_t file = store.AddFoundItem(File(3, 1, 10), u"FILE.TXT");
    FolderTreeModel tree(store);
    FileListModel list(store);
    list.ShowFolder(1);
    QSignalSpy treeSpy(&tree, &QAbstractItemModel::dataChanged);
    QSignalSpy listSpy(&list, &QAbstractItemModel::dataChanged);

    FoundItem update = lost;
    update.deleted = 1;
    ASSERT_TRUE(store.UpdateFoundItem(update, u"GONE"));

    std::set<std::size_t> redrawn;
    for (const QList<QVariant>& signal : treeSpy) {
        const QModelIndex from = signal.at(0).value<QModelIndex>();
        const QModelIndex to = signal.at(1).value<QModelIndex>();
        const QList<int> roles = signal.at(2).value<QList<int>>();
        if (!roles.contains(FolderTreeModel::IconRole) || !roles.contains(Qt::DecorationRole)) {
            continue;
        }
        for (int row = from.row(); row <= to.row(); ++row) {
            redrawn.insert(tree.EntryOf(tree.index(row, 0, from.parent())));
        }
    }
    EXPECT_EQ(redrawn, (std::set<std::size_t>{folder, inner}));
    EXPECT_EQ(tree.IndexOfEntry(folder).data(FolderTreeModel::IconRole).toInt(), 2);
    EXPECT_EQ(tree.IndexOfEntry(inner).data(FolderTreeModel::IconRole).toInt(), 2);

    ASSERT_EQ(listSpy.count(), 1);
    ASSERT_EQ(list.rowCount(), 2);
    EXPECT_EQ(list.EntryAt(1), file);
    EXPECT_EQ(list.index(0, 0).data(FileListModel::EntryKindRole).toInt(),
              static_cast<int>(FileListModel::EntryKind::DeletedFolder));
    EXPECT_EQ(list.index(1, 0).data(FileListModel::EntryKindRole).toInt(),
              static_cast<int>(FileListModel::EntryKind::DeletedFile));
}

TEST(TreeAndListModelsTest, TimeTextsForFatNtfsAndMissingTimes) {
    EXPECT_EQ(FileListModel::TimeText(Kind::Fat, DosTime(13, 45, 30), DosDate(2021, 3, 15)),
              u"03-15-2021 13:45:30"_qs);
    // Month bits 0 show month 12; a two-second field of 31 shows 0 seconds.
    EXPECT_EQ(FileListModel::TimeText(Kind::Fat, 31, DosDate(2021, 0, 15)),
              u"12-15-2021 00:00:00"_qs);
    EXPECT_EQ(FileListModel::TimeText(Kind::Fat, DosTime(1, 2, 4), 0), u"--------"_qs);
    EXPECT_EQ(FileListModel::LastAccessText(Kind::Fat, 0, DosDate(1999, 12, 31)), u"12-31-1999"_qs);
    EXPECT_EQ(FileListModel::LastAccessText(Kind::Fat, 0, 0), u"--------"_qs);

    const uint64_t time = kNewYear2020 + 59 * kTicksPerDay + 3723 * uint64_t{10'000'000};
    EXPECT_EQ(FileListModel::TimeText(Kind::Ntfs, static_cast<uint32_t>(time),
                                      static_cast<uint32_t>(time >> 32)),
              u"02-29-2020 01:02:03"_qs);
    EXPECT_EQ(FileListModel::TimeText(Kind::Ntfs, 12345, 0), u"--------"_qs);
    EXPECT_EQ(FileListModel::TimeText(Kind::Ntfs, 0, 0x80000000u), u"--------"_qs);
    EXPECT_EQ(FileListModel::TimeText(Kind::Ntfs, 0xFFFFFFFFu, 0x7FFFFFFFu).size(), 20);
    EXPECT_EQ(FileListModel::TimeKey(Kind::Ntfs, 0, 0x80000000u), 0u);
}

TEST(TreeAndListModelsTest, ListCellsOfFatEntries) {
    FoundEntryStore store;
    store.CreateRoot(Kind::Fat, 0);
    FoundItem file = File(0x100000007, 0, 5 * kGiB);
    file.modifiedTime = DosTime(8, 30, 0);
    file.modifiedDate = DosDate(2004, 7, 1);
    file.lastAccess = DosDate(2004, 7, 2);
    file.deleted = 1;
    store.AddFoundItem(file, u"big.iso");
    store.AddFoundItem(Folder(3, 0), u"dir");
    FileListModel list(store);
    list.ShowFolder(0);
    ASSERT_EQ(list.rowCount(), 2);

    EXPECT_EQ(Cell(list, 0, Column::Name), u"big.iso"_qs);
    EXPECT_EQ(Cell(list, 0, Column::Type), u"Deleted File"_qs);
    EXPECT_EQ(Cell(list, 0, Column::Size), u"5368709120"_qs);
    EXPECT_EQ(Cell(list, 0, Column::Modified), u"07-01-2004 08:30:00"_qs);
    EXPECT_EQ(Cell(list, 0, Column::Created), u"--------"_qs);
    EXPECT_EQ(Cell(list, 0, Column::LastAccess), u"07-02-2004"_qs);
    EXPECT_EQ(Cell(list, 0, Column::FileId), u"      7"_qs);
    EXPECT_EQ(list.index(0, 0).data(FileListModel::EntryKindRole).toInt(),
              static_cast<int>(FileListModel::EntryKind::DeletedFile));
    EXPECT_EQ(Cell(list, 1, Column::Type), u"Folder"_qs);
    EXPECT_EQ(Cell(list, 1, Column::Size), u"0"_qs);
    EXPECT_EQ(list.headerData(3, Qt::Horizontal).toString(), u"Modified Date"_qs);
}

TEST(TreeAndListModelsTest, SortsSizesAbove4GiBAsWholeNumbers) {
    FoundEntryStore store;
    store.CreateRoot(Kind::Ntfs, 0);
    store.AddFoundItem(File(16, 5, 5 * kGiB), u"five");     // 1 GiB in 32 bits
    store.AddFoundItem(File(17, 5, 3 * kGiB), u"three");    // negative in 32 bits
    store.AddFoundItem(File(18, 5, 4 * kGiB + 1), u"four"); // 1 in 32 bits
    store.AddFoundItem(File(19, 5, 100), u"small");
    FileListModel list(store);
    list.ShowFolder(5);

    EXPECT_EQ(list.index(0, static_cast<int>(Column::Size))
                  .data(FileListModel::RawValueRole)
                  .toULongLong(),
              5 * kGiB);
    list.sort(static_cast<int>(Column::Size), Qt::AscendingOrder);
    EXPECT_EQ(Names(list),
              (std::vector<QString>{u"small"_qs, u"three"_qs, u"four"_qs, u"five"_qs}));
    list.sort(static_cast<int>(Column::Size), Qt::DescendingOrder);
    EXPECT_EQ(Names(list),
              (std::vector<QString>{u"five"_qs, u"four"_qs, u"three"_qs, u"small"_qs}));

    QSortFilterProxyModel proxy;
    proxy.setSourceModel(&list);
    proxy.setSortRole(FileListModel::RawValueRole);
    proxy.sort(static_cast<int>(Column::Size), Qt::AscendingOrder);
    EXPECT_EQ(proxy.index(0, 0).data().toString(), u"small"_qs);
    EXPECT_EQ(proxy.index(3, 0).data().toString(), u"five"_qs);
}

TEST(TreeAndListModelsTest, SortsDatesOnRawTimesWithMissingTimesLowest) {
    FoundEntryStore store;
    store.CreateRoot(Kind::Ntfs, 0);
    auto add = [&](uint64_t id, uint64_t modified, const char16_t* name) {
        FoundItem item = File(id, 5);
        item.SetNtfsTimes(0, modified, 0);
        store.AddFoundItem(item, name);
    };
    // Same second text order would differ from year order: 12-31-2019 sorts after 01-01-2020
    // as text.
    add(16, kNewYear2020, u"2020");
    add(17, 0, u"none");
    add(18, kNewYear2020 - kTicksPerDay, u"2019");
    add(19, uint64_t{1} << 63, u"too large");
    add(20, kNewYear2020 + 5, u"2020 and a bit"); // differs below a second only
    FileListModel list(store);
    list.ShowFolder(5);
    QPersistentModelIndex followed = list.index(2, 0);

    list.sort(static_cast<int>(Column::Modified), Qt::AscendingOrder);
    EXPECT_EQ(Names(list), (std::vector<QString>{u"none"_qs, u"too large"_qs, u"2019"_qs,
                                                 u"2020"_qs, u"2020 and a bit"_qs}));
    EXPECT_EQ(followed.data().toString(), u"2019"_qs);
    EXPECT_EQ(followed.row(), 2);
    list.sort(static_cast<int>(Column::Modified), Qt::DescendingOrder);
    EXPECT_EQ(Names(list).front(), u"2020 and a bit"_qs);
    EXPECT_EQ(Names(list).back(), u"too large"_qs);
    EXPECT_EQ(followed.row(), 2);

    FoundEntryStore fat;
    fat.CreateRoot(Kind::Fat, 0);
    auto addFat = [&](uint64_t id, uint32_t date, uint32_t time, const char16_t* name) {
        FoundItem item = File(id, 0);
        item.modifiedDate = date;
        item.modifiedTime = time;
        fat.AddFoundItem(item, name);
    };
    addFat(1, DosDate(2020, 1, 1), DosTime(0, 0, 0), u"new year");
    addFat(2, 0, DosTime(23, 0, 0), u"no date");
    addFat(3, DosDate(2019, 12, 31), DosTime(23, 59, 58), u"eve");
    FileListModel fatList(fat);
    fatList.ShowFolder(0);
    fatList.sort(static_cast<int>(Column::Modified), Qt::AscendingOrder);
    EXPECT_EQ(Names(fatList), (std::vector<QString>{u"no date"_qs, u"eve"_qs, u"new year"_qs}));
}

TEST(TreeAndListModelsTest, ListChecksReachTheStoreTheTreeAndBack) {
    FoundEntryStore store;
    store.CreateRoot(Kind::Fat, 0);
    const std::size_t folder = store.AddFoundItem(Folder(1, 0), u"A");
    const std::size_t file = store.AddFoundItem(File(2, 1, 10), u"a.txt");
    store.AddFoundItem(File(3, 1, 20), u"b.txt");
    FolderTreeModel tree(store);
    FileListModel list(store);
    list.ShowFolder(1);

    QSignalSpy treeSpy(&tree, &QAbstractItemModel::dataChanged);
    QSignalSpy listSpy(&list, &QAbstractItemModel::dataChanged);
    ASSERT_TRUE(list.setData(list.index(0, 0), Qt::Checked, Qt::CheckStateRole));
    EXPECT_EQ(store.At(file).item.checkState, FoundEntryStore::kChecked);
    EXPECT_EQ(tree.IndexOfEntry(folder).data(Qt::CheckStateRole).toInt(), Qt::PartiallyChecked);
    EXPECT_GE(treeSpy.count(), 1);
    EXPECT_GE(listSpy.count(), 1);

    // Checking the folder in the tree checks the rows the list shows.
    tree.setData(tree.IndexOfEntry(folder), Qt::Checked, Qt::CheckStateRole);
    EXPECT_EQ(list.index(1, 0).data(Qt::CheckStateRole).toInt(), Qt::Checked);

    // The recovery job's marks show in the list.
    listSpy.clear();
    ASSERT_TRUE(store.SetFileCheckFromJob(u"b.txt", 3, true));
    EXPECT_EQ(listSpy.count(), 1);
    EXPECT_EQ(list.index(1, 0).data(Qt::CheckStateRole).toInt(), Qt::PartiallyChecked);
}

TEST(TreeAndListModelsTest, AddingToShownModelsStaysLinear) {
    FoundEntryStore store;
    FolderTreeModel tree(store);
    FileListModel list(store);
    store.CreateRoot(Kind::Fat, 0);
    list.ShowFolder(0);
    constexpr uint64_t kSlice = 20'000;
    constexpr uint64_t kSlices = 10;
    uint64_t nextId = 1;
    auto addSlice = [&] {
        const auto start = std::chrono::steady_clock::now();
        for (uint64_t i = 0; i < kSlice; ++i) {
            const uint64_t id = nextId++;
            // Every tenth entry is a folder of the root; the files land in the shown list.
            store.AddFoundItem(id % 10 == 0 ? Folder(id, 0) : File(id, 0, id), u"entry");
        }
        return std::chrono::steady_clock::now() - start;
    };
    const auto first = addSlice();
    for (uint64_t slice = 2; slice < kSlices; ++slice) {
        addSlice();
    }
    const auto last = addSlice();
    EXPECT_EQ(list.rowCount(), static_cast<int>(kSlice * kSlices));
    EXPECT_EQ(tree.rowCount(tree.index(0, 0)), static_cast<int>(kSlice * kSlices / 10));
    EXPECT_LT(last.count(), 6 * first.count() + std::chrono::nanoseconds(5'000'000).count());
}

} // namespace

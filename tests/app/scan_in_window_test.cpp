#include "app/frame/main_frame.h"
#include "app/frame/status_panes.h"
#include "app/models/file_list_model.h"
#include "app/models/folder_tree_model.h"
#include "app/views/disk_tree_ctrl.h"
#include "app/views/file_list_view.h"
#include "app/views/folder_tree_ctrl.h"
#include "app/views/left_view.h"
#include "app/views/log_pane.h"
#include "diskio/records/drive_node.h"
#include "diskio/inventory/size_text.h"
#include "filesystems/fat/fat_file_system.h"
#include "filesystems/ntfs/ntfs_file_system.h"
#include "jobs/scan/scan_state.h"
#include "jobs/scan/thread_for_file_system.h"
#include "jobs/recovery/thread_for_saving_files.h"
#include "platform/devices/device_table.h"
#include "platform/jobs/job_runner.h"
#include "tests/app/frame_test_harness.h"
#include "tests/support/fixture_image.h"
#include "tests/support/fixture_manifest.h"
#include "tests/support/recording_job_window.h"
#include "tests/support/temp_dir.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QHeaderView>
#include <QPixmap>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSplitter>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace {

struct SentItem {
    FoundItem item;
    std::u16string name;
};

// What the scan job sends, from a run on this thread over a recording window: the items in
// arrival order, with the late names of WM_UPDATE_FOUND_ITEM given to the folder of the same
// first cluster.
std::vector<SentItem> DirectScan(const MappedFixture& fixture, bool advance = false) {
    ScanState state;
    state.SetSelectedDrive(&fixture.Node());
    RecordingJobWindow window;
    std::vector<SentItem> items;
    window.SetHandler([&items](JobMessage& message) -> intptr_t {
        const FoundItemPayload* payload = message.Get<FoundItemPayload>();
        if (payload == nullptr || payload->item == nullptr) {
            return 0;
        }
        if (message.id == WM_ADD_FOUND_ITEM) {
            items.push_back({*payload->item, payload->name});
        } else if (message.id == WM_UPDATE_FOUND_ITEM && payload->item->firstCluster != 0) {
            for (SentItem& sent : items) {
                if (sent.item.IsFolder() && sent.item.firstCluster == payload->item->firstCluster) {
                    sent.name = payload->name;
                    break;
                }
            }
        }
        return 0;
    });
    CThreadForFileSystem job(state);
    CThreadForFileSystem::Parameters parameters;
    parameters.notifyWindow = &window;
    parameters.advanceScan = advance;
    job.SetParameters(parameters);
    fixture.Map();
    job.Run();
    return items;
}

class ScanInWindowTest : public WindowTest {
protected:
    void Send(JobMessage message) { frame.JobWindowForJobs().Send(message); }

    const FoundEntryStore& Store() const { return frame.Store(); }

    // Store entries 1.. are exactly the items the scan sent, in order.
    void ExpectStoreHolds(const std::vector<SentItem>& sent) {
        ASSERT_EQ(Store().Size(), sent.size() + 1);
        for (size_t i = 0; i < sent.size(); ++i) {
            const FoundEntryStore::Entry& kept = Store().At(i + 1);
            EXPECT_EQ(kept.item.entryId, sent[i].item.entryId) << i;
            EXPECT_EQ(kept.item.parentId, sent[i].item.parentId) << i;
            EXPECT_EQ(kept.item.size, sent[i].item.size) << i;
            EXPECT_EQ(kept.item.attributes, sent[i].item.attributes) << i;
            EXPECT_EQ(kept.name, sent[i].name) << i;
        }
    }

    // Every kept folder has its node in the tree: none arrived before its parent.
    void ExpectEveryFolderInTheTree() const {
        for (size_t i = 0; i < Store().Size(); ++i) {
            if (Store().At(i).item.IsFolder()) {
                EXPECT_TRUE(frame.FolderView()->Model().IndexOfEntry(i).isValid())
                    << QString::fromStdU16String(Store().At(i).name).toStdString();
            }
        }
    }

    // The view's index of a store entry, found through what the view shows.
    QModelIndex ViewIndexOf(std::size_t entry, const QModelIndex& parent = {}) const {
        const QAbstractItemModel* shown = frame.FolderView()->model();
        for (int row = 0; row < shown->rowCount(parent); ++row) {
            const QModelIndex index = shown->index(row, 0, parent);
            if (index.data(FolderTreeModel::EntryIndexRole).toULongLong() == entry) {
                return index;
            }
            if (const QModelIndex below = ViewIndexOf(entry, index); below.isValid()) {
                return below;
            }
        }
        return {};
    }

    QString VolumeTotalsText(uint64_t bytes, uint64_t files, uint64_t folders) const {
        return QStringLiteral("Total %1 in %2 file(s) in %3 folder(s)")
            .arg(QString::fromStdU16String(FormatSize(bytes)))
            .arg(files)
            .arg(folders);
    }
};

// A folder directly under the root with at least one file in it, or kNone.
std::size_t FolderWithFiles(const FoundEntryStore& store) {
    for (const std::size_t child : store.ChildrenOf(store.RootId())) {
        const FoundItem& folder = store.At(child).item;
        if (!folder.IsFolder()) {
            continue;
        }
        for (const std::size_t inside : store.ChildrenOf(folder.entryId)) {
            if (!store.At(inside).item.IsFolder()) {
                return child;
            }
        }
    }
    return FoundEntryStore::kNone;
}

std::vector<std::u16string> NamesOfChildren(const std::vector<SentItem>& sent, uint64_t parent) {
    std::vector<std::u16string> names;
    for (const SentItem& each : sent) {
        if (each.item.parentId == parent) {
            names.push_back(each.name);
        }
    }
    return names;
}

std::vector<std::u16string> ListedNames(const FileListModel& list) {
    std::vector<std::u16string> names;
    for (int row = 0; row < list.rowCount(); ++row) {
        names.push_back(list.index(row, 0).data().toString().toStdU16String());
    }
    return names;
}

TEST_F(ScanInWindowTest, FatScanFillsTheStoreTheTreeTheListAndTheTotals) {
    MappedFixture fixture("fat16_volume", kFatPartition);
    ASSERT_TRUE(fixture.Ready());
    const std::vector<SentItem> sent = DirectScan(fixture);
    ASSERT_GT(sent.size(), 10u);

    ASSERT_TRUE(ScanInWindow(fixture));
    EXPECT_FALSE(frame.JobRunning());
    ASSERT_NE(state.FatVolume(), nullptr);
    EXPECT_EQ(Store().Kind(), FoundEntryStore::VolumeKind::Fat);
    EXPECT_EQ(Store().At(0).item.entryId, 0u);
    EXPECT_EQ(Store().At(0).name, u"Root");
    ExpectStoreHolds(sent);
    ExpectEveryFolderInTheTree();

    // The folder tree took the drive tree's place; the splitter still has two panes.
    EXPECT_TRUE(frame.ShowsFolderTree());
    EXPECT_TRUE(frame.LeftView()->FolderTreeShown());
    EXPECT_EQ(frame.Splitter()->count(), 2);
    EXPECT_FALSE(frame.DriveView()->isVisible());

    // Every folder of the root is a tree node under it, shown sorted by name.
    const QModelIndex root = ViewIndexOf(0);
    ASSERT_TRUE(root.isValid());
    const QAbstractItemModel* shown = frame.FolderView()->model();
    size_t rootFolders = 0;
    for (const SentItem& each : sent) {
        rootFolders += each.item.IsFolder() && each.item.parentId == 0 ? 1 : 0;
    }
    ASSERT_GT(rootFolders, 0u);
    ASSERT_EQ(static_cast<size_t>(shown->rowCount(root)), rootFolders);
    for (int row = 1; row < shown->rowCount(root); ++row) {
        EXPECT_LE(shown->index(row - 1, 0, root)
                      .data()
                      .toString()
                      .compare(shown->index(row, 0, root).data().toString(), Qt::CaseInsensitive),
                  0);
    }
    // Every sent folder whose parent folder came first has its node.
    for (size_t i = 0; i < sent.size(); ++i) {
        if (sent[i].item.IsFolder() && Store().At(i + 1).hasTreeNode) {
            EXPECT_TRUE(ViewIndexOf(i + 1).isValid()) << i;
        }
    }

    // The scan ends with the root current, its entries listed.
    EXPECT_EQ(frame.FolderView()->SelectedEntry(), 0u);
    EXPECT_EQ(ListedNames(frame.FileList()), NamesOfChildren(sent, 0));

    // A click on the Size header sorts the rows on their byte counts, not on the texts.
    QHeaderView* header = frame.FileListView()->horizontalHeader();
    const int sizeColumn = static_cast<int>(FileListModel::Column::Size);
    QTest::mouseClick(
        header->viewport(), Qt::LeftButton, {},
        QPoint(header->sectionViewportPosition(sizeColumn) + 10, header->height() / 2));
    const FileListModel& list = frame.FileList();
    ASSERT_GT(list.rowCount(), 2);
    std::vector<qulonglong> sizes;
    for (int row = 0; row < list.rowCount(); ++row) {
        sizes.push_back(
            list.index(row, sizeColumn).data(FileListModel::RawValueRole).toULongLong());
    }
    EXPECT_TRUE(std::is_sorted(sizes.begin(), sizes.end()) ||
                std::is_sorted(sizes.rbegin(), sizes.rend()));
    EXPECT_NE(sizes.front(), sizes.back());

    // A click on a folder lists its entries in the order they were found.
    const std::size_t folder = FolderWithFiles(Store());
    ASSERT_NE(folder, FoundEntryStore::kNone);
    const QModelIndex folderIndex = ViewIndexOf(folder);
    ASSERT_TRUE(folderIndex.isValid());
    frame.FolderView()->scrollTo(folderIndex);
    QTest::mouseClick(frame.FolderView()->viewport(), Qt::LeftButton, {},
                      frame.FolderView()->visualRect(folderIndex).center());
    EXPECT_EQ(frame.FolderView()->SelectedEntry(), folder);
    const uint64_t folderId = Store().At(folder).item.entryId;
    EXPECT_EQ(frame.FileList().FolderId(), folderId);
    EXPECT_EQ(ListedNames(frame.FileList()), NamesOfChildren(sent, folderId));
    EXPECT_TRUE(state.parentAvailable.load());

    // Pane 1: the volume's found bytes, files and folders, the root among the folders as the
    // tree shows it.
    const CFatFileSystem& volume = *state.FatVolume();
    uint64_t bytes = 0;
    uint64_t files = 0;
    for (const SentItem& each : sent) {
        if (!each.item.IsFolder()) {
            bytes += each.item.size;
            ++files;
        }
    }
    EXPECT_EQ(volume.FoundBytes(), bytes);
    EXPECT_EQ(static_cast<uint64_t>(volume.FileCount()), files);
    EXPECT_EQ(frame.Status().PaneText(1).toStdString(),
              VolumeTotalsText(bytes, files, sent.size() - files + 1).toStdString());
    EXPECT_TRUE(
        QRegularExpression(
            QStringLiteral(R"(^Total \d+\.\d\d [KMG]B in \d+ file\(s\) in \d+ folder\(s\)$)"))
            .match(frame.Status().PaneText(1))
            .hasMatch())
        << frame.Status().PaneText(1).toStdString();

    frame.resize(1100, 700);
    QCoreApplication::processEvents();
    const QPixmap shot = frame.grab();
    ASSERT_FALSE(shot.isNull());
    EXPECT_TRUE(shot.save(
        QDir(QCoreApplication::applicationDirPath()).absoluteFilePath("../scan_window.png"),
        "PNG"));
}

TEST_F(ScanInWindowTest, NtfsScanKeepsNtfsIdsAndListsTheRootsEntries) {
    MappedFixture fixture("ntfs_volume", kNtfsPartition);
    ASSERT_TRUE(fixture.Ready());
    const std::vector<SentItem> sent = DirectScan(fixture);
    ASSERT_GT(sent.size(), 10u);

    ASSERT_TRUE(ScanInWindow(fixture));
    ASSERT_NE(state.NtfsVolume(), nullptr);
    EXPECT_EQ(Store().Kind(), FoundEntryStore::VolumeKind::Ntfs);
    EXPECT_EQ(Store().RootId(), 5u);
    EXPECT_EQ(Store().At(0).item.entryId, 5u);
    ExpectStoreHolds(sent);
    ExpectEveryFolderInTheTree();

    EXPECT_EQ(ListedNames(frame.FileList()), NamesOfChildren(sent, 5));
    const std::size_t folder = FolderWithFiles(Store());
    ASSERT_NE(folder, FoundEntryStore::kNone);
    ASSERT_TRUE(frame.FolderView()->SelectEntry(folder));
    const uint64_t folderId = Store().At(folder).item.entryId;
    EXPECT_EQ(ListedNames(frame.FileList()), NamesOfChildren(sent, folderId));

    const CNtfsFileSystem& volume = *state.NtfsVolume();
    EXPECT_EQ(frame.Status().PaneText(1),
              VolumeTotalsText(volume.FoundBytes(), volume.FileCount(),
                               volume.FoundCount() - volume.FileCount()));
}

TEST_F(ScanInWindowTest, CheckingTheRootMarksEverythingAndTheJobMessagesFollowIt) {
    MappedFixture fixture("fat16_volume", kFatPartition);
    ASSERT_TRUE(fixture.Ready());
    ASSERT_TRUE(ScanInWindow(fixture));
    const CFatFileSystem& volume = *state.FatVolume();
    const uint64_t files = static_cast<uint64_t>(volume.FileCount());
    size_t folders = 0;
    for (size_t i = 0; i < Store().Size(); ++i) {
        folders += Store().At(i).item.IsFolder() ? 1 : 0;
    }

    // The space key on the current root checks it, as a click on its box does.
    ASSERT_TRUE(frame.FolderView()->SelectEntry(0));
    QTest::keyClick(frame.FolderView(), Qt::Key_Space);
    for (size_t i = 0; i < Store().Size(); ++i) {
        ASSERT_EQ(Store().At(i).item.checkState, FoundEntryStore::kChecked) << i;
    }
    for (int row = 0; row < frame.FileList().rowCount(); ++row) {
        EXPECT_EQ(frame.FileList().index(row, 0).data(Qt::CheckStateRole).toInt(), Qt::Checked);
    }
    // The user's check recounted at once.
    const QString marked = QStringLiteral("Marked %1 in %2 file(s) in %3 folder(s)")
                               .arg(QString::fromStdU16String(FormatSize(volume.FoundBytes())))
                               .arg(files)
                               .arg(folders);
    EXPECT_EQ(frame.Status().PaneText(2), marked);

    // WM_SCAN_TOTALS counts the marks again from the store.
    state.selectedFiles = 0;
    state.selectedFolders = 0;
    state.selectedBytes = 0;
    state.someSelected = false;
    state.allSelected = false;
    frame.Status().SetPaneText(2, QString());
    Send(MakeScanTotals());
    EXPECT_EQ(state.selectedFiles.load(), files);
    EXPECT_EQ(state.selectedFolders.load(), folders);
    EXPECT_EQ(state.selectedBytes.load(), volume.FoundBytes());
    EXPECT_TRUE(state.someSelected.load());
    EXPECT_TRUE(state.allSelected.load());
    EXPECT_EQ(frame.Status().PaneText(2), marked);

    // The saving job's view of a folder: copies it owns, whatever the window does later.
    const std::size_t folder = FolderWithFiles(Store());
    ASSERT_NE(folder, FoundEntryStore::kNone);
    const FoundItem folderItem = Store().At(folder).item;
    JobMessage request = MakeGetChildItems(folderItem.entryId, false);
    frame.JobWindowForJobs().Send(request);
    const std::vector<ChildItem> children = request.Get<ChildItemsRequest>()->result;
    const std::span<const std::size_t> kept = Store().ChildrenOf(folderItem.entryId);
    ASSERT_EQ(children.size(), kept.size());
    for (size_t i = 0; i < kept.size(); ++i) {
        ASSERT_NE(children[i].item, nullptr);
        EXPECT_EQ(children[i].item->entryId, Store().At(kept[i]).item.entryId);
        EXPECT_EQ(children[i].name, Store().At(kept[i]).name);
        // Copies, not the kept records.
        EXPECT_NE(children[i].item.get(), &Store().At(kept[i]).item);
    }

    // The job marks what it saved: the folder partly, one file unchecked.
    Send(MakeSetFolderCheck(folderItem.treeItem, true));
    EXPECT_EQ(Store().At(folder).item.checkState, FoundEntryStore::kPartlyChecked);
    const auto file = std::find_if(kept.begin(), kept.end(), [this](std::size_t index) {
        return !Store().At(index).item.IsFolder();
    });
    ASSERT_NE(file, kept.end());
    const FoundEntryStore::Entry& fileEntry = Store().At(*file);
    Send(MakeSetFileCheck(fileEntry.name, fileEntry.item.entryId, folderItem.treeItem, false));
    EXPECT_EQ(fileEntry.item.checkState, FoundEntryStore::kUnchecked);

    JobMessage marksOnly = MakeGetChildItems(folderItem.entryId, false);
    frame.JobWindowForJobs().Send(marksOnly);
    EXPECT_EQ(marksOnly.Get<ChildItemsRequest>()->result.size(), kept.size() - 1);
    JobMessage all = MakeGetChildItems(folderItem.entryId, true);
    frame.JobWindowForJobs().Send(all);
    EXPECT_EQ(all.Get<ChildItemsRequest>()->result.size(), kept.size());

    Send(MakeScanTotals());
    EXPECT_EQ(state.selectedFiles.load(), files - 1);
    EXPECT_EQ(state.selectedBytes.load(), volume.FoundBytes() - fileEntry.item.size);

    // Unchecking the root leaves nothing marked: the totals show zero and the flags stay.
    ASSERT_TRUE(frame.FolderView()->SelectEntry(0));
    ASSERT_EQ(Store().At(0).item.checkState, FoundEntryStore::kChecked);
    QTest::keyClick(frame.FolderView(), Qt::Key_Space);
    ASSERT_EQ(Store().At(0).item.checkState, FoundEntryStore::kUnchecked);
    Send(MakeScanTotals());
    EXPECT_EQ(frame.Status().PaneText(2),
              QStringLiteral("Marked 0.00 KB in 0 file(s) in 0 folder(s)"));
    EXPECT_TRUE(state.someSelected.load());
    EXPECT_TRUE(state.allSelected.load());
}

TEST_F(ScanInWindowTest, RecoverSelectedSavesTheMarkedFilesAndTheWindowUnmarksThem) {
    MappedFixture fixture("fat16_volume", kFatPartition);
    ASSERT_TRUE(fixture.Ready());
    ASSERT_TRUE(ScanInWindow(fixture));
    ASSERT_TRUE(frame.FolderView()->SelectEntry(0));
    QTest::keyClick(frame.FolderView(), Qt::Key_Space);
    size_t files = 0;
    for (size_t i = 0; i < Store().Size(); ++i) {
        files += Store().At(i).item.IsFolder() ? 0 : 1;
    }
    ASSERT_GT(files, 10u);
    ASSERT_EQ(state.selectedFiles.load(), files);

    // As Files > Recover Selected starts it: the marked entries, below the root's tree item.
    TempDir destination;
    CThreadForSavingFiles job(state);
    CThreadForSavingFiles::Parameters parameters;
    parameters.allFiles = false;
    parameters.destination = destination.Path().u16string();
    parameters.notifyWindow = &frame.JobWindowForJobs();
    parameters.rootId = Store().RootId();
    parameters.rootTreeItem = Store().At(0).item.treeItem;
    parameters.progressMaximum = static_cast<uint32_t>(state.selectedFiles.load());
    job.SetParameters(parameters);
    // The destination lies beside the fixture image: Yes to writing there.
    frame.answers.push_back(MessageBoxAnswer::Yes);
    ASSERT_TRUE(job.Start(runner));
    ASSERT_TRUE(RunEventsUntil([this] { return !runner.IsRunning(); }, kJobTimeoutMs));

    size_t written = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(destination.Path())) {
        written += entry.is_regular_file() ? 1 : 0;
    }
    EXPECT_EQ(written, files);
    for (size_t i = 0; i < Store().Size(); ++i) {
        EXPECT_EQ(Store().At(i).item.checkState, FoundEntryStore::kUnchecked)
            << QString::fromStdU16String(Store().At(i).name).toStdString();
    }
    EXPECT_EQ(state.selectedFiles.load(), 0u);
    EXPECT_EQ(state.selectedBytes.load(), 0u);
    EXPECT_TRUE(frame.Status().PaneText(2).startsWith(QStringLiteral("Marked ")));
}

TEST_F(ScanInWindowTest, StopDuringAScanEndsItAndJobRunningLastsUntilTheThreadEnds) {
    MappedFixture fixture("fat16_volume", kFatPartition);
    ASSERT_TRUE(fixture.Ready());
    const size_t all = DirectScan(fixture).size();

    ASSERT_TRUE(StartScan(fixture));
    // While the test does not process events the job waits in its next message.
    ASSERT_TRUE(RunEventsUntil([this] { return Store().Size() >= 3; }, kJobTimeoutMs));
    ASSERT_TRUE(state.jobFlags.stoppable.load());
    frame.OnStopCurrentProcess();
    ASSERT_EQ(frame.questions.size(), 1u);
    EXPECT_EQ(frame.questions[0],
              QStringLiteral("This process can not be resumed from the current stage.\n\n Do you "
                             "want to abort the current process?"));
    EXPECT_TRUE(state.jobFlags.stopRequested.load());
    EXPECT_TRUE(state.jobFlags.jobRunning.load());
    EXPECT_TRUE(frame.JobRunning());

    ASSERT_TRUE(RunEventsUntil([this] { return !runner.IsRunning(); }, kJobTimeoutMs));
    EXPECT_FALSE(state.jobFlags.jobRunning.load());
    EXPECT_LT(Store().Size(), all + 1);
    const std::vector<CLogPaneDlg::Row> rows = frame.LogPane()->Rows();
    EXPECT_TRUE(std::any_of(rows.begin(), rows.end(), [](const CLogPaneDlg::Row& row) {
        return row.description == QStringLiteral("Process aborted, user intervention");
    }));
    // What was found before the stop stays shown.
    EXPECT_TRUE(frame.ShowsFolderTree());
    EXPECT_TRUE(frame.Status().PaneText(1).startsWith(QStringLiteral("Total ")));
}

TEST_F(ScanInWindowTest, ResetsEmptyTheStoreAndNothingFoundReturnsToTheDrives) {
    MappedFixture fixture("fat16_volume", kFatPartition);
    ASSERT_TRUE(fixture.Ready());
    ASSERT_TRUE(ScanInWindow(fixture));
    ASSERT_GT(Store().Size(), 1u);
    ASSERT_GT(frame.FileList().rowCount(), 0);

    // The light reset keeps the results on screen but drops the volume.
    Send(MakeSearchEnded());
    EXPECT_GT(Store().Size(), 1u);
    EXPECT_EQ(state.FatVolume(), nullptr);
    EXPECT_TRUE(frame.Status().PaneText(1).isEmpty());
    // Without a volume the totals are empty.
    frame.Status().UpdateStatusSize(false, 0);
    EXPECT_TRUE(frame.Status().PaneText(1).isEmpty());

    Send(MakeResetScan());
    EXPECT_FALSE(Store().HasRoot());
    EXPECT_EQ(frame.FolderModel().rowCount(), 0);
    EXPECT_EQ(frame.FileList().rowCount(), 0);
    EXPECT_TRUE(frame.ShowsFolderTree());
    EXPECT_EQ(state.SelectedDrive(), nullptr);
    EXPECT_TRUE(frame.Status().PaneText(1).isEmpty());
    EXPECT_TRUE(frame.Status().PaneText(2).isEmpty());

    // Entries without a root are refused; a new root starts afresh.
    FoundItem stray;
    stray.entryId = 9;
    Send(MakeAddFoundItem(&stray, u"STRAY.TXT"));
    EXPECT_FALSE(Store().HasRoot());

    Send(MakeAddTreeRoot(0));
    ASSERT_TRUE(Store().HasRoot());
    Send(MakeAddFoundItem(&stray, u"STRAY.TXT"));
    EXPECT_EQ(Store().Size(), 2u);
    EXPECT_EQ(ListedNames(frame.FileList()), std::vector<std::u16string>{u"STRAY.TXT"});

    Send(MakeNothingFound());
    EXPECT_FALSE(Store().HasRoot());
    EXPECT_FALSE(frame.ShowsFolderTree());
    EXPECT_TRUE(frame.LeftView()->DriveTreeShown());
    // The full reset freed the drive list: an empty list shows an empty tree.
    EXPECT_EQ(frame.DriveView()->topLevelItemCount(), 0);
    EXPECT_EQ(frame.FileList().rowCount(), 0);
}

TEST_F(ScanInWindowTest, LateNamesReachTheTreeOnlyWhenApplied) {
    Send(MakeAddTreeRoot(0));
    FoundItem folder;
    folder.entryId = 7;
    folder.parentId = 0;
    folder.firstCluster = 40;
    folder.attributes = FoundItem::kFolderAttribute;
    Send(MakeAddFoundItem(&folder, u"OLDNAME"));
    ASSERT_EQ(Store().Size(), 2u);
    const QModelIndex node = ViewIndexOf(1);
    ASSERT_TRUE(node.isValid());
    // A folder added under the root opens it.
    EXPECT_TRUE(frame.FolderView()->IsEntryExpanded(0));

    FoundItem renamed = folder;
    renamed.modifiedDate = 0x5A21;
    Send(MakeUpdateFoundItem(&renamed, u"New Name"));
    EXPECT_EQ(Store().At(1).name, u"New Name");
    EXPECT_EQ(Store().At(1).item.modifiedDate, 0x5A21u);
    EXPECT_EQ(ViewIndexOf(1).data().toString(), QStringLiteral("OLDNAME"));
    Send(MakeApplyItemNames());
    EXPECT_EQ(ViewIndexOf(1).data().toString(), QStringLiteral("New Name"));

    // Collapsing root 0 makes the root current again and lists its entries.
    ASSERT_TRUE(frame.FolderView()->SelectEntry(1));
    EXPECT_EQ(frame.FileList().FolderId(), 7u);
    Send(MakeCollapseRoot(0));
    EXPECT_EQ(frame.FolderView()->SelectedEntry(), 0u);
    EXPECT_EQ(frame.FileList().FolderId(), 0u);
    EXPECT_TRUE(frame.FolderView()->IsEntryExpanded(0));
}

// Whether a kept entry's path ("Root\A\B") names a manifest row's path ("/A/B"). A deleted short
// name has lost its first letter on the disk, so under a deleted row that letter may differ.
bool PathNamesRow(const std::u16string& kept, const ManifestEntry& row) {
    const QStringList keptParts = QString::fromStdU16String(kept).split(u'\\');
    const QStringList rowParts = QString::fromStdString(row.path).split(u'/');
    if (keptParts.size() != rowParts.size() || keptParts.front() != QStringLiteral("Root")) {
        return false;
    }
    for (qsizetype i = 1; i < keptParts.size(); ++i) {
        const QString& mine = keptParts[i];
        const QString& theirs = rowParts[i];
        const qsizetype from = row.state == "deleted" ? 1 : 0;
        if (mine.size() != theirs.size() ||
            mine.mid(from).compare(theirs.mid(from), Qt::CaseInsensitive) != 0) {
            return false;
        }
    }
    return true;
}

TEST_F(ScanInWindowTest, AdvanceScanShowsDeletedFoldersOfTheRootDeletedWithAllBelowThem) {
    // Each deleted folder's own cluster is met first and sent live under its cluster number;
    // its deleted root entry arrives later as an update.
    MappedFixture fixture("fat16_deleted_folder", kFatPartition);
    ASSERT_TRUE(fixture.Ready());
    const std::vector<SentItem> sent = DirectScan(fixture, true);
    QSignalSpy treeChanges(&frame.FolderModel(), &QAbstractItemModel::dataChanged);
    ASSERT_TRUE(ScanInWindow(fixture, true));
    ASSERT_EQ(Store().Size(), sent.size() + 1);

    const std::vector<ManifestEntry> rows =
        ReadManifest(FixturesFolder() / "fat16_deleted_folder.manifest");
    ASSERT_EQ(rows.size(), 13u);
    const QAbstractItemModel* shown = frame.FolderView()->model();
    std::vector<std::size_t> deletedFolders;
    std::size_t liveFolder = FoundEntryStore::kNone;
    for (const ManifestEntry& row : rows) {
        SCOPED_TRACE(row.path);
        std::vector<std::size_t> matches;
        for (std::size_t i = 1; i < Store().Size(); ++i) {
            if (PathNamesRow(Store().GetItemPath(i), row)) {
                matches.push_back(i);
            }
        }
        ASSERT_EQ(matches.size(), 1u);
        const std::size_t entry = matches.front();
        const bool deleted = row.state == "deleted";
        EXPECT_EQ(Store().At(entry).item.deleted, deleted ? 1 : 0);
        EXPECT_EQ(Store().At(entry).item.IsFolder(), row.kind == "dir");
        if (row.kind != "dir") {
            continue;
        }
        const QModelIndex node = frame.FolderModel().IndexOfEntry(entry);
        ASSERT_TRUE(node.isValid());
        EXPECT_EQ(node.data(FolderTreeModel::IconRole).toInt(), deleted ? 2 : 1);
        if (deleted) {
            deletedFolders.push_back(entry);
        } else {
            liveFolder = entry;
        }
    }
    ASSERT_EQ(deletedFolders.size(), 4u);
    ASSERT_NE(liveFolder, FoundEntryStore::kNone);

    // The tree draws the deleted folder's picture for each, and was told to draw again those
    // that arrived live.
    size_t arrivedLive = 0;
    const qint64 livePicture =
        ViewIndexOf(liveFolder).data(Qt::DecorationRole).value<QIcon>().cacheKey();
    for (const std::size_t folder : deletedFolders) {
        SCOPED_TRACE(QString::fromStdU16String(Store().GetItemPath(folder)).toStdString());
        const QIcon picture = ViewIndexOf(folder).data(Qt::DecorationRole).value<QIcon>();
        EXPECT_FALSE(picture.isNull());
        EXPECT_NE(picture.cacheKey(), livePicture);
        EXPECT_EQ(
            picture.cacheKey(),
            ViewIndexOf(deletedFolders.front()).data(Qt::DecorationRole).value<QIcon>().cacheKey());
        if (sent[folder - 1].item.deleted != 0) {
            continue;
        }
        ++arrivedLive;
        const QModelIndex node = frame.FolderModel().IndexOfEntry(folder);
        const bool redrawn =
            std::any_of(treeChanges.begin(), treeChanges.end(), [&](const QList<QVariant>& signal) {
                const QModelIndex from = signal.at(0).value<QModelIndex>();
                const QModelIndex to = signal.at(1).value<QModelIndex>();
                return signal.at(2).value<QList<int>>().contains(Qt::DecorationRole) &&
                       from.parent() == node.parent() && from.row() <= node.row() &&
                       node.row() <= to.row();
            });
        EXPECT_TRUE(redrawn);
    }
    // Trash, GONE and GONE's SUB: the scan sent them before it knew.
    EXPECT_EQ(arrivedLive, 3u);

    // The list shows every entry of each deleted folder as deleted.
    for (const std::size_t folder : deletedFolders) {
        ASSERT_TRUE(frame.FolderView()->SelectEntry(folder));
        const FileListModel& list = frame.FileList();
        ASSERT_GT(list.rowCount(), 0);
        for (int row = 0; row < list.rowCount(); ++row) {
            const QModelIndex name = list.index(row, 0);
            const bool isFolder = Store().At(list.EntryAt(row)).item.IsFolder();
            EXPECT_EQ(name.data(FileListModel::EntryKindRole).toInt(),
                      static_cast<int>(isFolder ? FileListModel::EntryKind::DeletedFolder
                                                : FileListModel::EntryKind::DeletedFile))
                << name.data().toString().toStdString();
        }
    }
}

} // namespace

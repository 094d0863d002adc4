// The file mask, Show Original List and Find through the real window over a scanned fixture.
#include "app/commands/command_ids.h"
#include "app/dialogs/narrowing/file_filter_dlg.h"
#include "app/dialogs/narrowing/file_mask_dlg.h"
#include "app/dialogs/narrowing/find_dlg.h"
#include "app/dialogs/narrowing/properties_dlg.h"
#include "app/models/entry_search.h"
#include "app/models/file_list_model.h"
#include "app/models/folder_tree_model.h"
#include "app/program_text.h"
#include "app/views/file_list_view.h"
#include "app/views/folder_tree_ctrl.h"
#include "app/views/log_pane.h"
#include "filesystems/fat/fat_file_system.h"
#include "filesystems/scan_log.h"
#include "jobs/scan_info/scan_info_file.h"
#include "platform/text/utf_conversion.h"
#include "resources/string_ids.h"
#include "tests/app/frame_test_harness.h"
#include "tests/app/modal_driver.h"
#include "tests/support/fixture_image.h"
#include "tests/support/fls_listing.h"
#include "tests/support/folder_files.h"
#include "tests/support/temp_dir.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string Lower(std::u16string_view text) {
    std::string utf8 = Utf16ToUtf8(text);
    std::transform(utf8.begin(), utf8.end(), utf8.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return utf8;
}

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

std::set<std::string> Paths(const FoundEntryStore& store) {
    std::set<std::string> paths;
    for (std::size_t i = 0; i < store.Size(); ++i) {
        paths.insert(Utf16ToUtf8(store.GetItemPath(i)));
    }
    return paths;
}

// Every file's check state by entry id.
std::map<uint64_t, uint8_t> FileMarks(const FoundEntryStore& store) {
    std::map<uint64_t, uint8_t> marks;
    for (std::size_t i = 0; i < store.Size(); ++i) {
        if (!store.At(i).item.IsFolder()) {
            marks[store.At(i).item.entryId] = store.At(i).item.checkState;
        }
    }
    return marks;
}

std::size_t IndexOfName(const FoundEntryStore& store, std::u16string_view name) {
    for (std::size_t i = 0; i < store.Size(); ++i) {
        if (store.At(i).name == name) {
            return i;
        }
    }
    return FoundEntryStore::kNone;
}

class MaskFindWindowTest : public WindowTest {
protected:
    void ApplyMask(const QString& mask) {
        WhenModal(QString::number(CFileMaskDlg::kDialogId), [mask](QWidget* dialog) {
            dialog->findChild<QLineEdit*>(QString::number(CFileMaskDlg::kMaskEditId))
                ->setText(mask);
            dialog->findChild<QAbstractButton*>(QString::number(CFileMaskDlg::kOkId))->click();
        });
        ASSERT_TRUE(frame.OnCommand(CommandId::kFileMask));
        ASSERT_TRUE(WaitForJob());
    }
    void Find(const QString& patterns) {
        WhenModal(QString::number(CFindDlg::kDialogId), [patterns](QWidget* dialog) {
            dialog->findChild<QLineEdit*>(QString::number(CFindDlg::kPatternId))->setText(patterns);
            dialog->findChild<QAbstractButton*>(QString::number(CFindDlg::kSearchNowId))->click();
        });
        ASSERT_TRUE(frame.OnCommand(CommandId::kFind));
    }
    // The name of the file-list row the find made current, in the folder the tree selected.
    std::u16string CurrentRowName() {
        const std::size_t folder = frame.FolderView()->SelectedEntry();
        const QModelIndex row = frame.FileListView()->ShownView().currentIndex();
        if (folder == FoundEntryStore::kNone || !row.isValid()) {
            return {};
        }
        const std::size_t entry = frame.FileList().EntryAt(row.row());
        if (entry >= frame.Store().Size() ||
            frame.Store().At(entry).item.parentId != frame.Store().At(folder).item.entryId) {
            return {};
        }
        return frame.Store().At(entry).name;
    }
};

TEST_F(MaskFindWindowTest, MaskShowsTheMatchesWithTheirFoldersAndTheOriginalComesBack) {
    MappedFixture fixture("fat16_volume", kFatPartition);
    ASSERT_TRUE(fixture.Ready());
    ASSERT_TRUE(ScanInWindow(fixture));
    FoundEntryStore& store = frame.Store();
    const std::size_t notes = IndexOfName(store, u"notes.txt");
    ASSERT_NE(notes, FoundEntryStore::kNone);
    store.SetCheck(notes, true);
    const std::size_t originalSize = store.Size();
    std::map<uint64_t, uint8_t> marks = FileMarks(store);

    // What the mask must show: every ".bin" file by its path, and each folder above it.
    std::set<std::string> expected = {"Root"};
    for (std::size_t i = 0; i < store.Size(); ++i) {
        if (store.At(i).item.IsFolder() || !EndsWith(Lower(store.At(i).name), ".bin")) {
            continue;
        }
        std::string path = Utf16ToUtf8(store.GetItemPath(i));
        for (std::size_t cut = path.find('\\'); cut != std::string::npos;
             cut = path.find('\\', cut + 1)) {
            expected.insert(path.substr(0, cut));
        }
        expected.insert(path);
    }
    ASSERT_GT(expected.size(), 2u);

    ApplyMask(QStringLiteral("*.bin"));
    EXPECT_TRUE(store.HasOriginal());
    EXPECT_EQ(store.RootNumber(), 1);
    EXPECT_EQ(store.Original().size(), originalSize);
    EXPECT_EQ(Paths(store), expected);
    const CommandState underMask = frame.GatherCommandState();
    EXPECT_TRUE(underMask.maskInForce);
    EXPECT_FALSE(frame.OnCommand(CommandId::kFileMask));

    // A mark made under the mask carries over to the same entry.
    const std::size_t dat = IndexOfName(store, u"XATA.BIN");
    ASSERT_NE(dat, FoundEntryStore::kNone);
    marks[store.At(dat).item.entryId] = FoundEntryStore::kChecked;
    store.SetCheck(dat, true);

    ASSERT_TRUE(frame.OnCommand(CommandId::kShowOriginalList));
    ASSERT_TRUE(WaitForJob());
    EXPECT_FALSE(store.HasOriginal());
    EXPECT_EQ(store.RootNumber(), 0);
    EXPECT_EQ(store.Size(), originalSize);
    EXPECT_EQ(FileMarks(store), marks);
    EXPECT_TRUE(store.At(0).hasTreeNode);
    EXPECT_FALSE(frame.GatherCommandState().maskInForce);
}

TEST_F(MaskFindWindowTest, StoppedRestoreKeepsEveryEntryAndTheMask) {
    MappedFixture fixture("fat16_volume", kFatPartition);
    ASSERT_TRUE(fixture.Ready());
    ASSERT_TRUE(ScanInWindow(fixture));
    FoundEntryStore& store = frame.Store();
    const std::size_t originalSize = store.Size();
    ApplyMask(QStringLiteral("*.txt"));
    ASSERT_TRUE(store.HasOriginal());

    // Stop as soon as the restore has put back its first folder.
    bool stopped = false;
    const QMetaObject::Connection stopper =
        QObject::connect(&frame.FolderModel(), &QAbstractItemModel::rowsInserted, [&] {
            if (!stopped && store.RootNumber() == 0 && store.Size() > 2) {
                stopped = true;
                runner.RequestStop();
            }
        });
    ASSERT_TRUE(frame.OnCommand(CommandId::kShowOriginalList));
    ASSERT_TRUE(WaitForJob());
    QObject::disconnect(stopper);
    ASSERT_TRUE(stopped);
    EXPECT_LT(store.Size(), originalSize);
    EXPECT_TRUE(store.HasOriginal());
    EXPECT_EQ(store.Original().size(), originalSize);
    EXPECT_TRUE(frame.GatherCommandState().maskInForce);

    ASSERT_TRUE(frame.OnCommand(CommandId::kShowOriginalList));
    ASSERT_TRUE(WaitForJob());
    EXPECT_EQ(store.Size(), originalSize);
    EXPECT_FALSE(store.HasOriginal());
}

TEST_F(MaskFindWindowTest, FindAndFindNextWalkTheMatchesInOrder) {
    MappedFixture fixture("fat16_volume", kFatPartition);
    ASSERT_TRUE(fixture.Ready());
    ASSERT_TRUE(ScanInWindow(fixture));
    const FoundEntryStore& store = frame.Store();
    std::vector<std::u16string> expected;
    for (std::size_t i = 0; i < store.Size(); ++i) {
        const std::string name = Lower(store.At(i).name);
        if (EndsWith(name, ".bin") || name == "plan.txt") {
            expected.push_back(store.At(i).name);
        }
    }
    ASSERT_GE(expected.size(), 2u);

    Find(QStringLiteral("*.bin; PLAN.txt"));
    ASSERT_TRUE(frame.GatherCommandState().findDone);
    std::vector<std::u16string> walked = {CurrentRowName()};
    while (walked.size() < expected.size() + 1) {
        const std::size_t questions = frame.questions.size();
        ASSERT_TRUE(frame.OnCommand(CommandId::kFindNext));
        if (frame.questions.size() != questions) {
            EXPECT_EQ(frame.questions.back(), ProgramText(61582));
            break;
        }
        walked.push_back(CurrentRowName());
    }
    EXPECT_EQ(walked, expected);
    EXPECT_FALSE(frame.OnCommand(CommandId::kFindNext)) << "Find Next is off after the end";

    Find(QStringLiteral("nothing-like-this"));
    EXPECT_EQ(frame.questions.back(), ProgramText(61581));
    EXPECT_FALSE(frame.GatherCommandState().findDone);
}

TEST_F(MaskFindWindowTest, FindIsResetWhenTheMaskReplacesTheList) {
    MappedFixture fixture("fat16_volume", kFatPartition);
    ASSERT_TRUE(fixture.Ready());
    ASSERT_TRUE(ScanInWindow(fixture));
    Find(QStringLiteral("*.txt"));
    ASSERT_TRUE(frame.OnCommand(CommandId::kFindNext));
    ApplyMask(QStringLiteral("*.log"));
    EXPECT_FALSE(frame.GatherCommandState().findDone);
    EXPECT_FALSE(frame.OnCommand(CommandId::kFindNext));
    // A new find searches the mask's list.
    Find(QStringLiteral("*.LOG"));
    EXPECT_EQ(CurrentRowName(), u"Big.log");
}

TEST_F(MaskFindWindowTest, AFilterExcludesItsTypesFromARecoveryToAFolder) {
    MappedFixture fixture("fat16_volume", kFatPartition);
    ASSERT_TRUE(fixture.Ready());
    ASSERT_TRUE(ScanInWindow(fixture));
    int listed = -1;
    WhenModal(QString::number(CFileFilterDlg::kDialogId), [&listed](QWidget* dialog) {
        auto* combo = dialog->findChild<QComboBox*>(QString::number(CFileFilterDlg::kPatternId));
        auto click = [dialog](int id) {
            dialog->findChild<QAbstractButton*>(QString::number(id))->click();
        };
        for (const char* typed : {"*.txt", "*.txt", "   "}) {
            combo->setEditText(QString::fromUtf8(typed));
            click(CFileFilterDlg::kAddId);
        }
        listed = dialog->findChild<QListWidget*>(QString::number(CFileFilterDlg::kListId))->count();
        click(CFileFilterDlg::kExcludeId);
    });
    ASSERT_TRUE(frame.OnCommand(CommandId::kAddFileFilter));
    EXPECT_EQ(listed, 1);
    ASSERT_EQ(state.filterExtensions, std::vector<std::u16string>{u"*.txt"});
    ASSERT_TRUE(state.filterExclude.load());

    TempDir destination;
    AnswerDestination(kRecoverAllDialog, destination.Path());
    // The destination lies beside the fixture image: Yes to writing there.
    frame.answers.push_back(MessageBoxAnswer::Yes);
    ASSERT_TRUE(frame.OnCommand(CommandId::kRecoverAll));
    ASSERT_TRUE(WaitForJob());
    int files = 0;
    bool binRecovered = false;
    for (const auto& file : std::filesystem::recursive_directory_iterator(destination.Path())) {
        if (!file.is_regular_file()) {
            continue;
        }
        ++files;
        binRecovered = binRecovered || file.path().filename() == "ONE.BIN";
        EXPECT_FALSE(EndsWith(Lower(Utf8ToUtf16(file.path().filename().string())), ".txt"))
            << file.path();
    }
    EXPECT_GT(files, 0);
    EXPECT_TRUE(binRecovered) << "files of other types are still recovered";
}

TEST_F(MaskFindWindowTest, FilterCancelRestoresTheListItOpenedWith) {
    MappedFixture fixture("fat16_volume", kFatPartition);
    ASSERT_TRUE(fixture.Ready());
    ASSERT_TRUE(ScanInWindow(fixture));
    state.filterExtensions = {u"*.a", u"*.b"};
    WhenModal(QString::number(CFileFilterDlg::kDialogId), [](QWidget* dialog) {
        auto* list = dialog->findChild<QListWidget*>(QString::number(CFileFilterDlg::kListId));
        for (int i = 0; i < 2; ++i) {
            list->setCurrentRow(-1);
            list->setCurrentRow(0);
            dialog->findChild<QAbstractButton*>(QString::number(CFileFilterDlg::kRemoveId))
                ->click();
        }
        EXPECT_FALSE(
            dialog->findChild<QAbstractButton*>(QString::number(CFileFilterDlg::kIncludeId))
                ->isEnabled());
        auto* combo = dialog->findChild<QComboBox*>(QString::number(CFileFilterDlg::kPatternId));
        combo->setCurrentIndex(0);
        dialog->findChild<QAbstractButton*>(QString::number(CFileFilterDlg::kAddId))->click();
        dialog->findChild<QAbstractButton*>(QString::number(CFileFilterDlg::kCancelId))->click();
    });
    ASSERT_TRUE(frame.OnCommand(CommandId::kAddFileFilter));
    EXPECT_EQ(state.filterExtensions, (std::vector<std::u16string>{u"*.a", u"*.b"}));
}

TEST_F(MaskFindWindowTest, ShowPropertiesOfAFileListRowShowsItsClusterOnDisk) {
    MappedFixture fixture("fat16_volume", kFatPartition);
    ASSERT_TRUE(fixture.Ready());
    ASSERT_TRUE(ScanInWindow(fixture));
    const std::size_t one = IndexOfName(frame.Store(), u"ONE.BIN");
    ASSERT_NE(one, FoundEntryStore::kNone);
    ASSERT_NE(state.FatVolume(), nullptr);
    const QString cluster = QString::number(state.FatVolume()->BytesPerCluster());
    QString sizeOnDisk, type, location;
    WhenModal(QString::number(CPropertiesDlg::kDialogId), [&](QWidget* dialog) {
        auto text = [dialog](int id) {
            return dialog->findChild<QLabel*>(QString::number(id))->text();
        };
        sizeOnDisk = text(PropertiesTexts::kSizeOnDisk);
        type = text(PropertiesTexts::kType);
        location =
            dialog->findChild<QLineEdit*>(QString::number(PropertiesTexts::kLocation))->text();
        dialog->findChild<QAbstractButton*>(QString::number(CPropertiesDlg::kOkId))->click();
    });
    // The row's own context menu runs Show Properties.
    frame.FolderView()->SelectEntry(0);
    const int row = frame.FileList().RowOfEntryId(frame.Store().At(one).item.entryId);
    ASSERT_GE(row, 0);
    QAbstractItemView& view = frame.FileListView()->ShownView();
    const QPoint at = view.visualRect(frame.FileList().index(row, 0)).center();
    std::unique_ptr<QMenu> menu(frame.FileListView()->CreateContextMenu(at));
    ASSERT_NE(menu, nullptr);
    QAction* properties = menu->findChild<QAction*>(QString::number(CommandId::kShowProperties));
    ASSERT_NE(properties, nullptr);
    ASSERT_TRUE(properties->isEnabled());
    properties->trigger();
    EXPECT_EQ(type, ProgramText(61539));
    EXPECT_EQ(location, QStringLiteral("Root"));
    EXPECT_TRUE(sizeOnDisk.endsWith(QStringLiteral("( ") + cluster + QStringLiteral(" Bytes)")))
        << sizeOnDisk.toStdString();
}

// A scan saved while a mask is in force holds only what the mask shows: the completed row of
// the save says so, with how many of the whole scan's entries; without a mask it says nothing
// more.
TEST_F(MaskFindWindowTest, ASaveUnderAMaskSaysTheFileHoldsOnlyTheMaskedEntries) {
    MappedFixture fixture("fat16_volume", kFatPartition);
    ASSERT_TRUE(fixture.Ready());
    ASSERT_TRUE(ScanInWindow(fixture));
    TempDir dir;
    const std::size_t whole = frame.Store().Size();
    for (const bool masked : {false, true}) {
        SCOPED_TRACE(masked);
        if (masked) {
            ApplyMask(QStringLiteral("*.bin"));
        }
        const std::size_t shown = frame.Store().Size();
        state.scanInfoSaved = false;
        const fs::path file = dir.Path() / (masked ? "masked.DAT" : "whole.DAT");
        frame.saveScanPath = QString::fromStdString(file.string());
        ASSERT_TRUE(frame.OnCommand(CommandId::kSaveScanInformation));
        ASSERT_TRUE(WaitForJob());
        ASSERT_TRUE(state.scanInfoSaved.load());
        const CLogPaneDlg::Row last = frame.LogPane()->Rows().back();
        EXPECT_EQ(last.status, ProgramText(kProcessCompletedId));
        ScanInfoHeader header;
        const std::string bytes = ReadFileText(file);
        ASSERT_EQ(
            ScanInfoFile::ParseHeader(std::vector<uint8_t>(bytes.begin(), bytes.end()), header),
            ScanInfoFile::Refusal::None);
        EXPECT_EQ(header.itemCount, shown);
        if (!masked) {
            EXPECT_EQ(shown, whole);
            EXPECT_TRUE(last.description.isEmpty()) << last.description.toStdString();
            continue;
        }
        ASSERT_LT(shown, whole);
        // Files and folders, the root not counted.
        EXPECT_EQ(last.description,
                  QStringLiteral("The file mask is in force: the file holds only the entries it "
                                 "shows, %1 of %2.")
                      .arg(shown - 1)
                      .arg(whole - 1));
    }
}

} // namespace

namespace {

std::string BaseName(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Every match of the conditions over the window's kept entries, by name, as Find Next walks
// them.
std::multiset<std::string> AllMatches(const FoundEntryStore& store, const FindConditions& c) {
    std::multiset<std::string> names;
    EntrySearch search;
    for (std::size_t match = search.Next(store, c, LocalToday()); match != FoundEntryStore::kNone;
         match = search.Next(store, c, LocalToday())) {
        names.insert(Utf16ToUtf8(store.At(match).name));
    }
    return names;
}

class FindOverFixturesTest : public WindowTest {};

TEST_F(FindOverFixturesTest, SizeConditionOverTheNtfsTreeMatchesTheListing) {
    MappedFixture fixture("ntfs_volume", kNtfsPartition);
    ASSERT_TRUE(fixture.Ready());
    ASSERT_TRUE(ScanInWindow(fixture));
    FindConditions c;
    c.patterns = {u"*.TXT"};
    c.deleted = false;
    c.sizeOn = true;
    c.sizeLimit = FindSizeLimit(2);
    std::multiset<std::string> expected;
    for (const FlsEntry& entry : ReadFlsListing(FixturesFolder() / "ntfs_volume.fls")) {
        const std::string name = BaseName(entry.path);
        if (entry.type == "r/r" && !entry.deleted && entry.size >= 2048 &&
            EndsWith(Lower(Utf8ToUtf16(name)), ".txt")) {
            expected.insert(name);
        }
    }
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(AllMatches(frame.Store(), c), expected);
}

TEST_F(FindOverFixturesTest, DateConditionOverTheFatTreeMatchesTheListing) {
    MappedFixture fixture("fat16_volume", kFatPartition);
    ASSERT_TRUE(fixture.Ready());
    ASSERT_TRUE(ScanInWindow(fixture));
    FindConditions c;
    c.patterns = {u"*.*"};
    c.dateField = EntryDateField::Modified;
    c.range = FindConditions::DateRange::Between;
    c.first = {2010, 6, 30};
    c.second = {2010, 6, 1};
    std::multiset<std::string> expected;
    for (const FlsEntry& entry : ReadFlsListing(FixturesFolder() / "fat16_volume.fls")) {
        // fls prints the FAT times as UTC of the local times stored; June 2010 either way.
        const int64_t june1 = DateToSeconds(1, 6, 2010);
        const int64_t july1 = DateToSeconds(1, 7, 2010);
        if (entry.type == "r/r" && entry.mtime >= june1 && entry.mtime < july1) {
            expected.insert(BaseName(entry.path));
        }
    }
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(AllMatches(frame.Store(), c), expected);
    // "*.*" names the root too: only the date condition kept it out above.
    c.dateField.reset();
    EXPECT_EQ(AllMatches(frame.Store(), c).count("Root"), 1u);
}

} // namespace

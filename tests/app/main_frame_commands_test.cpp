// The frame's commands run through the real CMainFrame over scans of real fixtures: recovery
// from the menu through its dialogs, stop and close during a job, the save prompt, the way back
// to the drive tree, the linking mode, help, the updater and the menu and button rules.

#include "app/commands/command_ids.h"
#include "app/frame/log_actions.h"
#include "app/frame/main_frame.h"
#include "app/frame/status_panes.h"
#include "app/frame/toolbar_and_menus.h"
#include "app/views/disk_tree_ctrl.h"
#include "app/views/file_list_view.h"
#include "app/views/folder_tree_ctrl.h"
#include "app/views/left_view.h"
#include "app/views/log_pane.h"
#include "controls/sizing_dialog_bar.h"
#include "filesystems/fat/fat_file_system.h"
#include "jobs/scan/scan_state.h"
#include "platform/resources/product_title.h"
#include "platform/resources/string_table.h"
#include "tests/app/frame_test_harness.h"
#include "tests/app/modal_driver.h"
#include "tests/support/fixture_image.h"
#include "tests/support/fixture_manifest.h"
#include "tests/support/folder_files.h"
#include "tests/support/scoped_env.h"
#include "tests/support/sha256.h"
#include "tests/support/temp_dir.h"
#include "resources/string_ids.h"

#include <QAbstractButton>
#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QToolBar>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <filesystem>
#include <span>
#include <string>

namespace fs = std::filesystem;

namespace {

QString Text(uint32_t id) {
    const std::u16string_view text = StringTable::Program().English(id);
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

class MainFrameCommandsTest : public WindowTest {
protected:
    QMenu* Popup(uint32_t textId) const {
        return frame.menuBar()->findChild<QMenu*>(QStringLiteral("menu %1").arg(textId));
    }
    bool MenuEnabled(uint32_t id) {
        QAction* action = frame.Menus().MenuAction(id);
        EXPECT_NE(action, nullptr) << id;
        if (action == nullptr) {
            return false;
        }
        for (QMenu* menu : frame.menuBar()->findChildren<QMenu*>()) {
            frame.Menus().ApplyMenuRules(menu);
        }
        return action->isEnabled();
    }
    bool ButtonEnabled(uint32_t id) {
        frame.ApplyButtonRules();
        QAction* action = frame.Menus().ButtonAction(id);
        EXPECT_NE(action, nullptr) << id;
        return action != nullptr && action->isEnabled();
    }
};

TEST_F(MainFrameCommandsTest, RecoverAllFromTheMenuWritesEveryLiveFatFile) {
    MappedFixture fixture("fat16_volume", kFatPartition);
    ASSERT_TRUE(fixture.Ready());
    ASSERT_TRUE(ScanInWindow(fixture));
    ASSERT_TRUE(MenuEnabled(CommandId::kRecoverAll));
    ASSERT_TRUE(ButtonEnabled(CommandId::kRecoverAll));
    // Nothing is marked yet.
    EXPECT_FALSE(MenuEnabled(CommandId::kRecoverSelected));
    EXPECT_FALSE(ButtonEnabled(CommandId::kRecoverSelected));

    TempDir destination;
    // The destination lies beside the fixture image: Yes to writing there.
    frame.answers.push_back(MessageBoxAnswer::Yes);
    AnswerDestination(kRecoverAllDialog, destination.Path());
    ASSERT_TRUE(frame.OnCommand(CommandId::kRecoverAll));
    ASSERT_TRUE(WaitForJob());
    ExpectLiveFilesRecovered("fat16_volume", destination.Path());
}

TEST_F(MainFrameCommandsTest, SelectAllThenRecoverSelectedWritesEveryLiveNtfsFile) {
    MappedFixture fixture("ntfs_volume", kNtfsPartition);
    ASSERT_TRUE(fixture.Ready());
    ASSERT_TRUE(ScanInWindow(fixture));
    ASSERT_TRUE(frame.OnCommand(CommandId::kSelectAll));
    EXPECT_TRUE(state.allSelected.load());
    EXPECT_TRUE(state.someSelected.load());
    EXPECT_GT(state.selectedFiles.load(), 5u);
    EXPECT_TRUE(frame.Status().PaneText(2).startsWith(Text(61569)));
    // Everything marked: Select All has nothing left to do.
    EXPECT_FALSE(MenuEnabled(CommandId::kSelectAll));
    EXPECT_TRUE(MenuEnabled(CommandId::kUnselectAll));

    TempDir destination;
    // The destination lies beside the fixture image: Yes to writing there.
    frame.answers.push_back(MessageBoxAnswer::Yes);
    AnswerDestination(kRecoverSelectedDialog, destination.Path());
    ASSERT_TRUE(frame.OnCommand(CommandId::kRecoverSelected));
    ASSERT_TRUE(WaitForJob());
    ExpectLiveFilesRecovered("ntfs_volume", destination.Path());
}

TEST_F(MainFrameCommandsTest, UnselectAllClearsTheMarksAndTheTotals) {
    MappedFixture fixture("fat16_volume", kFatPartition);
    ASSERT_TRUE(fixture.Ready());
    ASSERT_TRUE(ScanInWindow(fixture));
    ASSERT_TRUE(frame.OnCommand(CommandId::kSelectAll));
    ASSERT_TRUE(frame.OnCommand(CommandId::kUnselectAll));
    EXPECT_FALSE(state.someSelected.load());
    EXPECT_FALSE(state.allSelected.load());
    EXPECT_EQ(state.selectedFiles.load(), 0u);
    EXPECT_EQ(state.selectedBytes.load(), 0u);
    for (size_t i = 0; i < frame.Store().Size(); ++i) {
        EXPECT_EQ(frame.Store().At(i).item.checkState, FoundEntryStore::kUnchecked) << i;
    }
    EXPECT_FALSE(MenuEnabled(CommandId::kRecoverSelected));
}

TEST_F(MainFrameCommandsTest, StopDuringARecoveryKeepsTheJobRunningUntilItEndsAndRefusesToClose) {
    MappedFixture fixture("fat16_volume", kFatPartition);
    ASSERT_TRUE(fixture.Ready());
    ASSERT_TRUE(ScanInWindow(fixture));
    TempDir destination;
    // The destination lies beside the fixture image: Yes to writing there.
    frame.answers.push_back(MessageBoxAnswer::Yes);
    AnswerDestination(kRecoverAllDialog, destination.Path());
    ASSERT_TRUE(frame.OnCommand(CommandId::kRecoverAll));
    // The job waits in its next message while the test does not handle events.
    ASSERT_TRUE(RunEventsUntil([this] { return state.jobFlags.stoppable.load(); }, kJobTimeoutMs));
    ASSERT_TRUE(runner.IsRunning());

    EXPECT_TRUE(ButtonEnabled(CommandId::kStopCurrentProcess));
    EXPECT_FALSE(ButtonEnabled(CommandId::kRecoverAll));
    EXPECT_FALSE(MenuEnabled(CommandId::kRefreshDriveList));
    ASSERT_TRUE(frame.OnCommand(CommandId::kStopCurrentProcess));
    ASSERT_FALSE(frame.questions.empty());
    EXPECT_EQ(frame.questions.back(), Text(kStopQuestionId));
    EXPECT_TRUE(state.jobFlags.stopRequested.load());
    EXPECT_FALSE(state.jobFlags.stoppable.load());
    // Stopping is not stopped: until the thread ends nothing that frees its data may run.
    EXPECT_TRUE(frame.JobRunning());
    EXPECT_FALSE(frame.OnCommand(CommandId::kRefreshDriveList));
    EXPECT_FALSE(frame.OnCommand(CommandId::kRecoverAll));
    EXPECT_FALSE(ButtonEnabled(CommandId::kStopCurrentProcess));

    const size_t asked = frame.questions.size();
    EXPECT_FALSE(frame.close());
    ASSERT_EQ(frame.questions.size(), asked + 1);
    EXPECT_EQ(frame.questions.back(), Text(kCannotExitId));
    EXPECT_TRUE(frame.isVisible());

    ASSERT_TRUE(WaitForJob());
    EXPECT_FALSE(frame.JobRunning());
    EXPECT_TRUE(MenuEnabled(CommandId::kRefreshDriveList));
}

TEST_F(MainFrameCommandsTest, SavePromptCancelKeepsTheResultsAndNoReturnsToTheDriveTree) {
    MappedFixture fixture("fat16_volume", kFatPartition);
    ASSERT_TRUE(fixture.Ready());
    ASSERT_TRUE(ScanInWindow(fixture));
    ASSERT_TRUE(frame.ShowsFolderTree());

    // The scan's closing advice was the only question so far.
    frame.questions.clear();
    frame.answers = {MessageBoxAnswer::Cancel};
    ASSERT_TRUE(frame.OnCommand(CommandId::kShowDriveList));
    ASSERT_EQ(frame.questions.size(), 1u);
    EXPECT_EQ(frame.questions.back(), Text(kSavePromptId));
    EXPECT_TRUE(frame.ShowsFolderTree());
    EXPECT_TRUE(state.resultsAvailable.load());

    // Yes, then a cancelled save-file question: nothing is saved, so the command ends.
    frame.answers = {MessageBoxAnswer::Yes};
    ASSERT_TRUE(frame.OnCommand(CommandId::kShowDriveList));
    EXPECT_EQ(frame.questions.back(), Text(kSavePromptId));
    EXPECT_EQ(frame.proposedScanNames.size(), 1u);
    EXPECT_TRUE(frame.ShowsFolderTree());
    EXPECT_FALSE(state.scanInfoSaved.load());

    frame.answers = {MessageBoxAnswer::Cancel};
    EXPECT_FALSE(frame.close());
    EXPECT_TRUE(frame.isVisible());

    ASSERT_TRUE(frame.OnCommand(CommandId::kSelectAll));
    state.findDone = true;
    frame.answers = {MessageBoxAnswer::No};
    ASSERT_TRUE(frame.OnCommand(CommandId::kShowDriveList));
    EXPECT_FALSE(frame.ShowsFolderTree());
    EXPECT_TRUE(frame.LeftView()->DriveTreeShown());
    // The folder tree's entries went with it, and so did the results.
    EXPECT_FALSE(state.resultsAvailable.load());
    EXPECT_FALSE(frame.Store().HasRoot());
    EXPECT_FALSE(state.someSelected.load());
    EXPECT_FALSE(state.allSelected.load());
    EXPECT_FALSE(state.findDone.load());
    EXPECT_FALSE(state.signaturesLoaded.load());
    EXPECT_TRUE(frame.Status().PaneText(1).isEmpty());
    EXPECT_TRUE(frame.Status().PaneText(2).isEmpty());
    // The volume stays until the next scan.
    EXPECT_NE(state.FatVolume(), nullptr);
    EXPECT_FALSE(MenuEnabled(CommandId::kRecoverAll));
    EXPECT_FALSE(MenuEnabled(CommandId::kShowDriveList));

    // Nothing unsaved is left: closing asks nothing.
    const size_t asked = frame.questions.size();
    EXPECT_TRUE(frame.close());
    EXPECT_EQ(frame.questions.size(), asked);
}

TEST_F(MainFrameCommandsTest, RefreshRebuildsTheDriveListAndForgetsTheSelectedDrive) {
    MappedFixture fixture("fat16_volume", kFatPartition);
    ASSERT_TRUE(fixture.Ready());
    const ScopedEnv devices("MORWICK_DEVICES", "C:=" + fixture.Image().string());
    ASSERT_TRUE(ScanInWindow(fixture));
    ASSERT_NE(state.SelectedDrive(), nullptr);

    frame.answers = {MessageBoxAnswer::No};
    ASSERT_TRUE(frame.OnCommand(CommandId::kRefreshDriveList));
    EXPECT_EQ(state.SelectedDrive(), nullptr);
    EXPECT_TRUE(frame.LeftView()->DriveTreeShown());
    ASSERT_EQ(state.driveList.nodes.size(), 1u);
    EXPECT_EQ(state.driveList.nodes.front().kind, DriveKind::LogicalDrive);
    ASSERT_EQ(frame.DriveView()->topLevelItemCount(), 1);
    EXPECT_EQ(frame.DriveView()->topLevelItem(0)->childCount(), 1);
    EXPECT_FALSE(state.resultsAvailable.load());
}

TEST_F(MainFrameCommandsTest, LinkingModeReReadsTheFatAndRetitlesOnlyWhenItChanges) {
    MappedFixture fixture("fat16_fat2_differs", kFatPartition);
    ASSERT_TRUE(fixture.Ready());
    ASSERT_TRUE(ScanInWindow(fixture));
    CFatFileSystem* fat = state.FatVolume();
    ASSERT_NE(fat, nullptr);
    const uint8_t before = fat->LinkingModeValue();
    const uint32_t other =
        before == CFatFileSystem::kLinkFat2 ? CommandId::kLinkingFat1 : CommandId::kLinkingFat2;
    const uint32_t current = CommandId::kLinkingFat1 + before;
    EXPECT_FALSE(MenuEnabled(current));
    EXPECT_TRUE(MenuEnabled(other));
    EXPECT_TRUE(MenuEnabled(CommandId::kLinkingContiguous));

    ASSERT_TRUE(frame.OnCommand(other));
    const uint8_t mode = static_cast<uint8_t>(other - CommandId::kLinkingFat1);
    EXPECT_EQ(fat->LinkingModeValue(), mode);
    const QString expected = QString::fromUtf16(kProductTitle) + QLatin1Char(' ') +
                             Text(kLinkingModeFat1Id + mode);
    EXPECT_EQ(frame.windowTitle(), expected);
    // Loading the other table reads it: its rows reach the log.
    EXPECT_GT(frame.LogPane()->RowCount(), 0);

    // The current mode again changes nothing, not even the title.
    frame.setWindowTitle(QStringLiteral("unchanged"));
    EXPECT_FALSE(frame.OnCommand(other));
    EXPECT_EQ(frame.windowTitle(), QStringLiteral("unchanged"));

    ASSERT_TRUE(frame.OnCommand(CommandId::kLinkingContiguous));
    EXPECT_EQ(frame.windowTitle(), QString::fromUtf16(kProductTitle) + QLatin1Char(' ') +
                                       Text(kLinkingModeContiguousId));
}

TEST_F(MainFrameCommandsTest, LinkingModesAreGrayOnNtfs) {
    MappedFixture fixture("ntfs_volume", kNtfsPartition);
    ASSERT_TRUE(fixture.Ready());
    ASSERT_TRUE(ScanInWindow(fixture));
    for (const uint32_t id :
         {CommandId::kLinkingFat1, CommandId::kLinkingFat2, CommandId::kLinkingContiguous}) {
        EXPECT_FALSE(MenuEnabled(id)) << id;
        EXPECT_FALSE(frame.OnCommand(id)) << id;
    }
    EXPECT_EQ(frame.windowTitle(), QString::fromUtf16(kProductTitle));
}

TEST_F(MainFrameCommandsTest, HelpTopicsOpensTheGuideOrSaysItIsMissing) {
    TempDir data;
    const ScopedEnv folder("MORWICK_DATA", data.Path().string());
    ASSERT_TRUE(frame.OnCommand(CommandId::kHelpTopics));
    ASSERT_EQ(frame.questions.size(), 1u);
    EXPECT_EQ(frame.questions.back(), Text(kHelpMissingId));
    EXPECT_TRUE(frame.openedUrls.empty());

    WriteFileText(data.Path() / CMainFrame::kHelpTopicsFile, "<html></html>");
    ASSERT_TRUE(frame.OnCommand(CommandId::kHelpTopics));
    ASSERT_EQ(frame.openedUrls.size(), 1u);
    EXPECT_EQ(frame.openedUrls[0].toLocalFile().toStdString(),
              (data.Path() / CMainFrame::kHelpTopicsFile).string());
}

TEST_F(MainFrameCommandsTest, HelpTopicsSaysSoWhenTheDesktopCannotShowTheGuide) {
    TempDir data;
    const ScopedEnv folder("MORWICK_DATA", data.Path().string());
    WriteFileText(data.Path() / CMainFrame::kHelpTopicsFile, "<html></html>");
    frame.desktopOpensUrls = false;
    ASSERT_TRUE(frame.OnCommand(CommandId::kHelpTopics));
    ASSERT_EQ(frame.openedUrls.size(), 1u);
    EXPECT_FALSE(frame.openedUrls[0].hasFragment());
    ASSERT_EQ(frame.questions.size(), 1u);
    EXPECT_EQ(frame.questions.back(), Text(kHelpNotOpenedId));
}

// The four support links: each opens its address, and says so with the address when the
// desktop has no program for it.
TEST_F(MainFrameCommandsTest, SupportLinksSayWhenTheDesktopCannotOpenThem) {
    // "No mail program could be started ...", "No web browser could be started ...".
    constexpr uint32_t kMailNotOpened = 64500;
    constexpr uint32_t kWebNotOpened = 64501;
    struct Link {
        uint32_t command;
        uint32_t message;
        const char* address;
        const char* shown;
    };
    const Link links[] = {
        {CommandId::kEmailSupport, kMailNotOpened, "mailto:support@morwickwrenfal.org",
         "support@morwickwrenfal.org"},
        {CommandId::kViewSupportSection, kWebNotOpened, "https://morwickwrenfal.org/support",
         "https://morwickwrenfal.org/support"},
        {CommandId::kKnowledgeBase, kWebNotOpened, "https://morwickwrenfal.org/support/articles",
         "https://morwickwrenfal.org/support/articles"},
        {CommandId::kGenerateTicket, kWebNotOpened, "https://morwickwrenfal.org/support/ticket",
         "https://morwickwrenfal.org/support/ticket"},
    };
    for (const bool opens : {true, false}) {
        frame.desktopOpensUrls = opens;
        for (const Link& link : links) {
            SCOPED_TRACE(link.command);
            frame.openedUrls.clear();
            frame.questions.clear();
            ASSERT_TRUE(frame.OnCommand(link.command));
            ASSERT_EQ(frame.openedUrls.size(), 1u);
            EXPECT_EQ(frame.openedUrls[0].toString(), QString::fromLatin1(link.address));
            if (opens) {
                EXPECT_TRUE(frame.questions.empty());
                continue;
            }
            ASSERT_EQ(frame.questions.size(), 1u);
            EXPECT_EQ(frame.questions[0], Text(link.message).arg(QString::fromLatin1(link.shown)));
        }
    }
}

// The Help button of a drive's action dialog opens the guide as Help Topics does: the page
// itself, and a message when the desktop cannot show it.
TEST_F(MainFrameCommandsTest, ActionDialogHelpSaysWhenTheDesktopCannotShowTheGuide) {
    constexpr int kDiskDialog = 154;
    constexpr int kDiskDialogHelp = 1072;
    TempDir data;
    const ScopedEnv folder("MORWICK_DATA", data.Path().string());
    WriteFileText(data.Path() / CMainFrame::kHelpTopicsFile, "<html></html>");
    ShowOneHardDisk();
    QTreeWidgetItem* disk = frame.DriveView()->ItemOf(state.driveList.nodes.front());
    ASSERT_NE(disk, nullptr);
    for (const bool opens : {true, false}) {
        SCOPED_TRACE(opens);
        frame.desktopOpensUrls = opens;
        frame.openedUrls.clear();
        frame.questions.clear();
        WhenModal(QString::number(kDiskDialog), [](QWidget* dialog) {
            dialog->findChild<QAbstractButton*>(QString::number(kDiskDialogHelp))->click();
            dialog->close();
        });
        emit frame.DriveView()->DriveOpened(disk);
        ASSERT_EQ(frame.openedUrls.size(), 1u);
        EXPECT_FALSE(frame.openedUrls[0].hasFragment());
        EXPECT_EQ(frame.openedUrls[0].toLocalFile().toStdString(),
                  (data.Path() / CMainFrame::kHelpTopicsFile).string());
        if (opens) {
            EXPECT_TRUE(frame.questions.empty());
        } else {
            ASSERT_EQ(frame.questions.size(), 1u);
            EXPECT_EQ(frame.questions[0], Text(kHelpNotOpenedId));
        }
    }
}

TEST_F(MainFrameCommandsTest, UpdateIsOnlyAvailableWithAnUpdaterInTheDataFolder) {
    TempDir data;
    const ScopedEnv folder("MORWICK_DATA", data.Path().string());
    EXPECT_FALSE(MenuEnabled(CommandId::kUpdate));
    EXPECT_FALSE(ButtonEnabled(CommandId::kUpdate));
    EXPECT_FALSE(frame.OnCommand(CommandId::kUpdate));

    const fs::path updater = data.Path() / CMainFrame::kUpdaterFile;
    WriteFileText(updater, "#!/bin/sh\n");
    // Not executable: still no updater.
    EXPECT_FALSE(ButtonEnabled(CommandId::kUpdate));
    fs::permissions(updater, fs::perms::owner_all);
    EXPECT_TRUE(MenuEnabled(CommandId::kUpdate));
    EXPECT_TRUE(ButtonEnabled(CommandId::kUpdate));
    ASSERT_TRUE(frame.OnCommand(CommandId::kUpdate));
    ASSERT_EQ(frame.startedPrograms.size(), 1u);
    EXPECT_EQ(frame.startedPrograms[0], updater);
}

TEST_F(MainFrameCommandsTest, SupportLinksOpenThroughTheDesktop) {
    for (const uint32_t id : {CommandId::kEmailSupport, CommandId::kViewSupportSection,
                              CommandId::kKnowledgeBase, CommandId::kGenerateTicket}) {
        ASSERT_TRUE(frame.OnCommand(id)) << id;
    }
    ASSERT_EQ(frame.openedUrls.size(), 4u);
    EXPECT_EQ(frame.openedUrls[0].scheme(), QStringLiteral("mailto"));
    for (size_t i = 1; i < frame.openedUrls.size(); ++i) {
        EXPECT_EQ(frame.openedUrls[i].scheme(), QStringLiteral("https")) << i;
    }
}

TEST_F(MainFrameCommandsTest, PendingCommandsAreShownDisabled) {
    MappedFixture fixture("fat16_volume", kFatPartition);
    ASSERT_TRUE(fixture.Ready());
    ASSERT_TRUE(ScanInWindow(fixture));
    // Only the entry menu's Recover waits for its command.
    EXPECT_FALSE(frame.OnCommand(CommandId::kRecover));
}

TEST_F(MainFrameCommandsTest, ViewCommandsToggleTheBarsAndMarkTheirState) {
    ASSERT_TRUE(frame.LogBar()->isVisible());
    ASSERT_TRUE(frame.OnCommand(CommandId::kMessageLog));
    EXPECT_FALSE(frame.LogBar()->isVisible());
    frame.ApplyButtonRules();
    EXPECT_FALSE(frame.Menus().ButtonAction(CommandId::kMessageLog)->isChecked());
    for (QMenu* menu : frame.menuBar()->findChildren<QMenu*>()) {
        frame.Menus().ApplyMenuRules(menu);
    }
    EXPECT_FALSE(frame.Menus().MenuAction(CommandId::kMessageLog)->isChecked());
    ASSERT_TRUE(frame.OnCommand(CommandId::kMessageLog));
    EXPECT_TRUE(frame.LogBar()->isVisible());
    frame.ApplyButtonRules();
    EXPECT_TRUE(frame.Menus().ButtonAction(CommandId::kMessageLog)->isChecked());

    ASSERT_TRUE(frame.OnCommand(CommandId::kViewToolbar));
    EXPECT_FALSE(frame.Menus().ToolBar()->isVisible());
    ASSERT_TRUE(frame.OnCommand(CommandId::kViewToolbar));
    EXPECT_TRUE(frame.Menus().ToolBar()->isVisible());

    ASSERT_TRUE(frame.OnCommand(CommandId::kList));
    EXPECT_EQ(state.viewStyle.load(), 3u);
    frame.ApplyButtonRules();
    EXPECT_TRUE(frame.Menus().ButtonAction(CommandId::kList)->isChecked());
    EXPECT_FALSE(frame.Menus().ButtonAction(CommandId::kDetails)->isChecked());
}

TEST_F(MainFrameCommandsTest, GoUpSelectsTheParentFolder) {
    MappedFixture fixture("fat16_volume", kFatPartition);
    ASSERT_TRUE(fixture.Ready());
    ASSERT_TRUE(ScanInWindow(fixture));
    const FoundEntryStore& store = frame.Store();
    std::size_t nested = FoundEntryStore::kNone;
    for (size_t i = 1; i < store.Size() && nested == FoundEntryStore::kNone; ++i) {
        const FoundItem& item = store.At(i).item;
        if (item.IsFolder() && item.parentId != store.RootId() && store.At(i).hasTreeNode) {
            nested = i;
        }
    }
    ASSERT_NE(nested, FoundEntryStore::kNone) << "the fixture has a folder inside a folder";
    ASSERT_TRUE(frame.FolderView()->SelectEntry(nested));
    ASSERT_TRUE(MenuEnabled(CommandId::kGoUp));
    ASSERT_TRUE(frame.OnCommand(CommandId::kGoUp));
    const std::size_t parent = frame.FolderView()->SelectedEntry();
    ASSERT_NE(parent, FoundEntryStore::kNone);
    EXPECT_EQ(store.At(parent).item.entryId, store.At(nested).item.parentId);
    ASSERT_TRUE(frame.OnCommand(CommandId::kGoUp));
    EXPECT_EQ(frame.FolderView()->SelectedEntry(), 0u);
    // At the root there is no parent.
    EXPECT_FALSE(MenuEnabled(CommandId::kGoUp));
}

TEST_F(MainFrameCommandsTest, RemoveFileFilterEmptiesTheList) {
    MappedFixture fixture("fat16_volume", kFatPartition);
    ASSERT_TRUE(fixture.Ready());
    ASSERT_TRUE(ScanInWindow(fixture));
    EXPECT_FALSE(MenuEnabled(CommandId::kRemoveFileFilter));
    state.filterExtensions = {u"*.TXT", u"*.DOC"};
    ASSERT_TRUE(MenuEnabled(CommandId::kRemoveFileFilter));
    ASSERT_TRUE(frame.OnCommand(CommandId::kRemoveFileFilter));
    EXPECT_TRUE(state.filterExtensions.empty());
}

TEST_F(MainFrameCommandsTest, TypedNamesReachTheRenameEditorsWhole) {
    MappedFixture fixture("fat16_volume", kFatPartition);
    ASSERT_TRUE(fixture.Ready());
    ASSERT_TRUE(ScanInWindow(fixture));
    frame.activateWindow();
    QApplication::setActiveWindow(&frame);

    std::size_t folder = FoundEntryStore::kNone;
    for (size_t i = 1; i < frame.Store().Size() && folder == FoundEntryStore::kNone; ++i) {
        if (frame.Store().At(i).item.IsFolder() && frame.Store().At(i).hasTreeNode) {
            folder = i;
        }
    }
    ASSERT_NE(folder, FoundEntryStore::kNone);
    ASSERT_TRUE(frame.FolderView()->SelectEntry(folder));
    frame.FolderView()->setFocus();
    QTest::keyClick(frame.FolderView(), Qt::Key_F2);
    auto* treeEditor = frame.FolderView()->findChild<QLineEdit*>();
    ASSERT_NE(treeEditor, nullptr);
    treeEditor->selectAll();
    QTest::keyClicks(treeEditor, QStringLiteral("snow"));
    EXPECT_EQ(treeEditor->text(), QStringLiteral("snow"));
    QTest::keyClick(treeEditor, Qt::Key_Escape);

    auto* list = frame.FileListView();
    list->setFocus();
    QTest::keyClick(list, Qt::Key_F2);
    auto* listEditor = list->findChild<QLineEdit*>();
    ASSERT_NE(listEditor, nullptr);
    listEditor->selectAll();
    QTest::keyClicks(listEditor, QStringLiteral("snow"));
    EXPECT_EQ(listEditor->text(), QStringLiteral("snow"));
}

TEST_F(MainFrameCommandsTest, ASaveLogThatCannotBeWrittenSaysSo) {
    frame.Log().AddLogMessage(QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), 1);
    TempDir dir;
    frame.saveLogPath = QString::fromStdString((dir.Path() / "missing" / "log").string());
    ASSERT_TRUE(frame.OnCommand(CommandId::kSaveLog));
    ASSERT_EQ(frame.questions.size(), 1u);
    EXPECT_TRUE(frame.questions.back().startsWith(Text(kCannotOpenFileId)));
    EXPECT_TRUE(frame.questions.back().endsWith(QStringLiteral("log.TXT")));
}

TEST_F(MainFrameCommandsTest, SaveLogAsksWhileTheNameExistsAndReplacesOnlyOnOverwrite) {
    frame.Log().AddLogMessage(QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), 1);
    TempDir dir;
    WriteFileText(dir.File("log.TXT"), "old");
    WriteFileText(dir.File("taken.TXT"), "taken");
    frame.saveLogPath = QString::fromStdString((dir.Path() / "log").string());

    // A bare new name lies in the existing file's folder and is asked about again when it is
    // taken too.
    frame.fileExistsChoices = {
        {CScanFileExistsDlg::Answer::Rename, QStringLiteral("taken.TXT")},
        {CScanFileExistsDlg::Answer::Rename, QStringLiteral("free.TXT")},
    };
    ASSERT_TRUE(frame.OnCommand(CommandId::kSaveLog));
    ASSERT_EQ(frame.fileExistsAsked.size(), 2u);
    EXPECT_EQ(frame.fileExistsAsked[1], QString::fromStdString(dir.File("taken.TXT").string()));
    EXPECT_EQ(ReadFileText(dir.File("log.TXT")), "old");
    EXPECT_EQ(ReadFileText(dir.File("taken.TXT")), "taken");
    EXPECT_NE(ReadFileText(dir.File("free.TXT")).find("Morwick Wrenfal"), std::string::npos);
    EXPECT_TRUE(frame.questions.empty());

    frame.fileExistsChoices = {{CScanFileExistsDlg::Answer::Cancel, {}}};
    ASSERT_TRUE(frame.OnCommand(CommandId::kSaveLog));
    EXPECT_EQ(ReadFileText(dir.File("log.TXT")), "old");
    EXPECT_TRUE(frame.questions.empty());

    frame.fileExistsChoices = {{CScanFileExistsDlg::Answer::Overwrite, {}}};
    ASSERT_TRUE(frame.OnCommand(CommandId::kSaveLog));
    EXPECT_EQ(ReadFileText(dir.File("log.TXT")), ReadFileText(dir.File("free.TXT")));
}

} // namespace

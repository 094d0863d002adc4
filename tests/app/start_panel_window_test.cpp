// The start panel over the file list through the real window, offscreen: a scan started from
// an action dialog closes it, a scan's results keep it away, and every way back to the drive
// list (Show Drive List, nothing found, Refresh after results, a drive-list file) brings it
// back, one panel at a time.

#include "app/commands/command_ids.h"
#include "app/previews/scroll_bitmap_dlg.h"
#include "app/frame/main_frame.h"
#include "app/views/file_list_view.h"
#include "platform/jobs/job_messages.h"
#include "tests/app/frame_test_harness.h"
#include "tests/support/temp_dir.h"

#include <QCoreApplication>
#include <QEvent>

#include <gtest/gtest.h>

namespace {

class StartPanelWindowTest : public WindowTest {
protected:
    // Panels close by deleting themselves later: let that happen before counting them.
    int OpenPanels() {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        int open = 0;
        for (const CScrollBitmapDlg* panel :
             frame.FileListView()->findChildren<CScrollBitmapDlg*>()) {
            open += panel->isVisible() ? 1 : 0;
        }
        return open;
    }
    bool ScanFromActionDialog(const MappedFixture& fixture) {
        state.SetSelectedDrive(&fixture.Node());
        fixture.Map();
        CThreadForFileSystem::Parameters parameters;
        return frame.StartFileSystemJob(parameters) && WaitForJob();
    }
};

TEST_F(StartPanelWindowTest, AScanClosesThePanelAndEveryWayBackToTheDrivesShowsItOnce) {
    MappedFixture fixture("fat16_volume", kFatPartition);
    ASSERT_TRUE(fixture.Ready());
    ASSERT_NE(frame.ChildPane(), nullptr);
    EXPECT_EQ(OpenPanels(), 1);

    ASSERT_TRUE(ScanFromActionDialog(fixture));
    ASSERT_TRUE(state.resultsAvailable.load());
    EXPECT_EQ(frame.ChildPane(), nullptr);
    EXPECT_EQ(OpenPanels(), 0);

    frame.answers.push_back(MessageBoxAnswer::No);
    ASSERT_TRUE(frame.OnCommand(CommandId::kShowDriveList));
    EXPECT_NE(frame.ChildPane(), nullptr);
    EXPECT_EQ(OpenPanels(), 1);

    // Refresh with results: the panel comes back; without results the one open stays alone.
    ASSERT_TRUE(ScanFromActionDialog(fixture));
    frame.answers.push_back(MessageBoxAnswer::No);
    ASSERT_TRUE(frame.OnCommand(CommandId::kRefreshDriveList));
    EXPECT_NE(frame.ChildPane(), nullptr);
    EXPECT_EQ(OpenPanels(), 1);
    ASSERT_TRUE(frame.OnCommand(CommandId::kRefreshDriveList));
    EXPECT_EQ(OpenPanels(), 1);

    // A scan that finds nothing returns to the drives as Show Drive List does.
    ASSERT_TRUE(ScanFromActionDialog(fixture));
    JobMessage reset = MakeResetScan();
    frame.JobWindowForJobs().Send(reset);
    EXPECT_EQ(OpenPanels(), 0);
    JobMessage nothingFound = MakeNothingFound();
    frame.JobWindowForJobs().Send(nothingFound);
    EXPECT_EQ(OpenPanels(), 1);
}

TEST_F(StartPanelWindowTest, ADriveListFileOpenedOverResultsShowsThePanel) {
    MappedFixture fixture("fat16_volume", kFatPartition);
    ASSERT_TRUE(fixture.Ready());
    // The drive list alone, written from the drive tree before any scan.
    TempDir out;
    frame.saveScanPath = QString::fromStdString(out.File("drives").string());
    frame.OnSaveScanInformation();
    ASSERT_TRUE(state.scanInfoSaved.load());
    ASSERT_TRUE(ScanFromActionDialog(fixture));
    ASSERT_EQ(OpenPanels(), 0);
    frame.answers.push_back(MessageBoxAnswer::No);
    frame.openScanPath = frame.saveScanPath + QStringLiteral(".DAT");
    ASSERT_TRUE(frame.OnCommand(CommandId::kOpenDriveUsingScanInformation));
    EXPECT_FALSE(frame.ShowsFolderTree());
    EXPECT_EQ(OpenPanels(), 1);
}

} // namespace

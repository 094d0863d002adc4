// The status panes and the title say what is true now, through a scan, a saved scan opened
// again, the drive list and a language switch; the folder tree's root and the log's dates
// speak the window's language.
#include "app/commands/command_ids.h"
#include "app/frame/main_frame.h"
#include "app/frame/status_panes.h"
#include "app/frame/status_progress_bar.h"
#include "app/models/folder_tree_model.h"
#include "app/views/folder_tree_ctrl.h"
#include "app/views/left_view.h"
#include "filesystems/scan_log.h"
#include "platform/settings/data_folder.h"
#include "platform/resources/string_table.h"
#include "tests/app/frame_test_harness.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

const QString kFat1Title = QStringLiteral("(Current Linking Mode Fat1)");

class StatusAndTitleTest : public WindowTest {
protected:
    ~StatusAndTitleTest() override { StringTable::Program().UseEnglish(); }

    // The panes once the idle rules have seen the job end.
    bool WaitForIdlePanes() {
        if (!WaitForJob())
            return false;
        // What the idle timer does next, without waiting for it.
        frame.ApplyButtonRules();
        return RunEventsUntil(
            [this] {
                return frame.Status().PaneText(0) == CProgressBar::IdleText() &&
                       frame.Status().ProgressBar(0) == nullptr;
            },
            kJobTimeoutMs);
    }
    // What pane 1 says of a volume with nothing found.
    static QString NothingFound() {
        return StatusPanes::TotalsText(StringTable::Program().Get(StatusPanes::kTotalWord), 0, 0,
                                       0);
    }
    QString RootText() const { return frame.FolderView()->model()->index(0, 0).data().toString(); }
    // The folders the folder tree holds, its root among them.
    uint64_t FoldersShown() const {
        uint64_t folders = 0;
        for (std::size_t i = 0; i < frame.Store().Size(); ++i) {
            folders += frame.Store().At(i).item.IsFolder() ? 1 : 0;
        }
        return folders;
    }
    // The folder count pane 1 ends with: "... in <n> folder(s)".
    static QString FolderPart(uint64_t folders) {
        return QStringLiteral(" in %1 folder(s)").arg(folders);
    }
};

TEST_F(StatusAndTitleTest, PanesAndTitleFollowTheScanTheSavedScanAndTheDriveList) {
    MappedFixture fat("fat16_volume", kFatPartition);
    ASSERT_TRUE(fat.Ready());
    state.driveList.nodes.push_back(fat.Node());
    ASSERT_TRUE(ScanInWindow(fat));
    ASSERT_TRUE(WaitForIdlePanes());
    // The job's "Reading sector" and "Entries Found" are gone: the totals stand instead.
    const QString totals = frame.Status().PaneText(1);
    EXPECT_TRUE(totals.startsWith(QStringLiteral("Total "))) << totals.toStdString();
    EXPECT_NE(totals, NothingFound());
    // The folders counted are the ones the tree shows, its root too, as after loading below.
    const uint64_t scannedFolders = FoldersShown();
    EXPECT_GT(scannedFolders, 1u);
    EXPECT_TRUE(totals.endsWith(FolderPart(scannedFolders))) << totals.toStdString();
    EXPECT_TRUE(frame.Status().PaneText(2).startsWith(QStringLiteral("Marked ")))
        << frame.Status().PaneText(2).toStdString();
    EXPECT_TRUE(frame.windowTitle().endsWith(kFat1Title)) << frame.windowTitle().toStdString();
    EXPECT_EQ(RootText(), QStringLiteral("Root"));

    TempDir dir;
    frame.saveScanPath = QString::fromStdString(dir.File("scan.DAT").string());
    ASSERT_TRUE(frame.OnCommand(CommandId::kSaveScanInformation));
    ASSERT_TRUE(WaitForIdlePanes());

    // The drive list has no linking mode and no totals.
    ASSERT_TRUE(frame.OnCommand(CommandId::kShowDriveList));
    EXPECT_TRUE(frame.LeftView()->DriveTreeShown());
    EXPECT_FALSE(frame.windowTitle().contains(kFat1Title)) << frame.windowTitle().toStdString();
    EXPECT_EQ(frame.Status().PaneText(1), QString());
    EXPECT_EQ(frame.Status().PaneText(2), QString());

    // The saved scan opened again shows the totals it was saved with, not zeros.
    frame.openScanPath = QString::fromStdString(dir.File("scan.DAT").string());
    ASSERT_TRUE(frame.OnCommand(CommandId::kOpenDriveUsingScanInformation));
    ASSERT_TRUE(WaitForIdlePanes());
    ASSERT_TRUE(frame.ShowsFolderTree());
    // Bytes, files and folders as the scan showed them.
    EXPECT_EQ(FoldersShown(), scannedFolders);
    EXPECT_EQ(frame.Status().PaneText(1).toStdString(), totals.toStdString())
        << frame.Status().PaneText(1).toStdString() << " / " << totals.toStdString();
    EXPECT_TRUE(frame.windowTitle().endsWith(kFat1Title)) << frame.windowTitle().toStdString();

    // An NTFS scan after the FAT one has no FAT linking mode in its title.
    MappedFixture ntfs("ntfs_volume", kNtfsPartition);
    ASSERT_TRUE(ntfs.Ready());
    state.scanInfoSaved = true;
    ASSERT_TRUE(frame.OnCommand(CommandId::kShowDriveList));
    ASSERT_TRUE(ScanInWindow(ntfs));
    ASSERT_TRUE(WaitForIdlePanes());
    EXPECT_TRUE(frame.Status().PaneText(1).startsWith(QStringLiteral("Total ")))
        << frame.Status().PaneText(1).toStdString();
    EXPECT_NE(frame.Status().PaneText(1), NothingFound());
    EXPECT_TRUE(frame.Status().PaneText(1).endsWith(FolderPart(FoldersShown())))
        << frame.Status().PaneText(1).toStdString();
    EXPECT_FALSE(frame.windowTitle().contains(QStringLiteral("Linking")))
        << frame.windowTitle().toStdString();
}

TEST_F(StatusAndTitleTest, TheHintTheRootAndTheLogDatesFollowTheLanguage) {
    const fs::path data = BuildDataFolder();
    if (!fs::exists(data / "French.dll")) {
        GTEST_SKIP() << "the build has no French pack in " << data;
    }
    const ScopedEnv folder("MORWICK_DATA", data.string());
    MappedFixture fat("fat16_volume", kFatPartition);
    ASSERT_TRUE(fat.Ready());
    const QString englishHint = CProgressBar::IdleText();
    // 9 December 2026, 18:28 local time.
    std::tm when{};
    when.tm_year = 126;
    when.tm_mon = 11;
    when.tm_mday = 9;
    when.tm_hour = 18;
    when.tm_min = 28;
    when.tm_isdst = -1;
    const std::time_t stamp = std::mktime(&when);
    EXPECT_EQ(ScanLog::TimeText(stamp), u" Dec 09 2026 , 06:28 PM");

    ASSERT_TRUE(frame.SwitchLanguage(1));
    ASSERT_TRUE(ScanInWindow(fat));
    ASSERT_TRUE(WaitForIdlePanes());
    EXPECT_EQ(RootText(), QStringLiteral("Racine"));
    EXPECT_NE(frame.Status().PaneText(0), englishHint);
    const QString frenchTotals = frame.Status().PaneText(1);
    EXPECT_TRUE(frenchTotals.contains(QStringLiteral(" dans "))) << frenchTotals.toStdString();
    EXPECT_EQ(ScanLog::TimeText(stamp), u" déc. 09 2026 , 06:28 PM");
    ASSERT_TRUE(frame.SwitchLanguage(2));
    EXPECT_EQ(ScanLog::TimeText(stamp), u" Dez. 09 2026 , 06:28 nachm.");
    EXPECT_EQ(RootText(), QStringLiteral("Stamm"));

    // Back in English the hint, the root and the totals are English again.
    ASSERT_TRUE(frame.SwitchLanguage(0));
    EXPECT_EQ(frame.Status().PaneText(0), englishHint);
    EXPECT_EQ(RootText(), QStringLiteral("Root"));
    EXPECT_TRUE(frame.Status().PaneText(1).startsWith(QStringLiteral("Total ")))
        << frame.Status().PaneText(1).toStdString();
    EXPECT_FALSE(frame.Status().PaneText(1).contains(QStringLiteral(" dans ")))
        << frame.Status().PaneText(1).toStdString();
    EXPECT_EQ(ScanLog::TimeText(stamp), u" Dec 09 2026 , 06:28 PM");
}

} // namespace

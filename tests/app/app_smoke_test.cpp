#include "app/frame/log_actions.h"
#include "app/frame/main_frame.h"
#include "app/frame/status_panes.h"
#include "app/frame/status_progress_bar.h"
#include "app/morwick_wrenfal_app.h"
#include "app/views/disk_tree_ctrl.h"
#include "app/views/left_view.h"
#include "app/views/log_pane.h"
#include "jobs/scan/scan_state.h"
#include "platform/jobs/job_runner.h"
#include "tests/support/temp_dir.h"

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QPointer>
#include <QSplitter>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <thread>

namespace {

using namespace std::chrono_literals;

bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 10s) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

// Answers the frame's questions from a script and records them.
class ScriptedFrame : public CMainFrame {
public:
    using CMainFrame::CMainFrame;
    MessageBoxAnswer answer = MessageBoxAnswer::Ok;
    FileExistsChoice fileExists;
    std::vector<QString> questions;
    std::vector<QString> fileExistsAsked;

protected:
    MessageBoxAnswer AskUser(const QString& text, const QString&, MessageBoxIcon, MessageBoxButtons,
                             bool) override {
        questions.push_back(text);
        return answer;
    }
    FileExistsChoice AskFileExists(const QString& path, bool) override {
        fileExistsAsked.push_back(path);
        return fileExists;
    }
};

class FrameTest : public ::testing::Test {
protected:
    FrameTest() : runner(state.jobFlags), frame(state, runner) {
        frame.resize(1000, 600);
        frame.show();
    }
    ~FrameTest() override {
        release = true;
        PumpUntil([this] { return !runner.IsRunning(); });
    }

    void Send(JobMessage message) { frame.JobWindowForJobs().Send(message); }

    // A job that runs until `release`.
    void StartBlockingJob(bool stoppable) {
        ASSERT_TRUE(runner.Start([this, stoppable] {
            state.jobFlags.stoppable = stoppable;
            while (!release.load() && !state.jobFlags.stopRequested.load()) {
                std::this_thread::sleep_for(1ms);
            }
        }));
    }

    ScanState state;
    JobRunner runner;
    ScriptedFrame frame;
    std::atomic<bool> release{false};
};

const QString kIdle = QStringLiteral("For Help, press F1");

TEST_F(FrameTest, SplitterHasTheTwoPanesAndTheStatusBarThree) {
    ASSERT_NE(frame.Splitter(), nullptr);
    EXPECT_EQ(frame.Splitter()->count(), 2);
    EXPECT_EQ(frame.Splitter()->orientation(), Qt::Horizontal);
    EXPECT_NE(frame.GetLeftPane(), nullptr);
    EXPECT_NE(frame.GetRightPane(), nullptr);
    EXPECT_NE(frame.GetLeftPane(), frame.GetRightPane());
    EXPECT_EQ(frame.windowTitle(), QStringLiteral("Morwick Wrenfal Windows Data Recovery v3.0"));
    for (int i = 0; i < StatusPanes::kPaneCount; ++i) {
        EXPECT_NE(frame.Status().Pane(i), nullptr);
    }
    EXPECT_EQ(frame.Status().Pane(4), nullptr);
    EXPECT_EQ(frame.Status().PaneText(0), kIdle);
}

TEST_F(FrameTest, ProgressBarsAppearStepAndGo) {
    Send(MakeCreateProgress(u"Scanning sectors", 4));
    CProgressBar* bar = frame.Status().ProgressBar(0);
    ASSERT_NE(bar, nullptr);
    EXPECT_TRUE(bar->isVisible());
    EXPECT_EQ(frame.Status().PaneText(0), QStringLiteral("Scanning sectors"));
    EXPECT_EQ(bar->maximum(), 4);
    // Only the low byte selects the bar: 0x100 is bar 0.
    Send(MakeStepProgress(0x100));
    Send(MakeStepProgress(0));
    EXPECT_EQ(bar->value(), 2);
    // The bar sits after its label, inside the pane.
    EXPECT_GT(bar->geometry().left(), 0);
    EXPECT_LE(bar->geometry().right(), frame.Status().Pane(0)->width());

    Send(MakeSetProgressText(u"Reading FAT"));
    EXPECT_EQ(frame.Status().PaneText(0), QStringLiteral("Reading FAT"));
    EXPECT_EQ(bar->value(), 3);

    // Stepping or destroying bar 1, which does not exist, changes nothing.
    Send(MakeStepProgress(1));
    Send(MakeDestroyProgress(1));
    EXPECT_EQ(frame.Status().ProgressBar(0), bar);

    Send(MakeDestroyProgress(0));
    EXPECT_EQ(frame.Status().ProgressBar(0), nullptr);
    EXPECT_EQ(frame.Status().PaneText(0), kIdle);
    Send(MakeDestroyProgress(0));
    Send(MakeSetProgressText(u"ignored"));
    EXPECT_EQ(frame.Status().PaneText(0), kIdle);
}

TEST_F(FrameTest, ASecondCreateReplacesTheFirstBar) {
    Send(MakeCreateProgress(u"First", 10));
    QPointer<CProgressBar> first = frame.Status().ProgressBar(0);
    ASSERT_FALSE(first.isNull());
    Send(MakeCreateProgress(u"Second", 20));
    // The first bar is gone (not leaked, not left in the pane).
    EXPECT_TRUE(first.isNull());
    ASSERT_NE(frame.Status().ProgressBar(0), nullptr);
    EXPECT_EQ(frame.Status().ProgressBar(0)->maximum(), 20);
    EXPECT_EQ(frame.Status().Pane(0)->findChildren<CProgressBar*>().size(), 1);
    EXPECT_EQ(frame.Status().PaneText(0), QStringLiteral("Second"));
}

TEST_F(FrameTest, BarOneGivesItsPaneTheOldTextBack) {
    Send(MakeSetStatusText1(u"Total 1.00 MB in 3 file(s) in 1 folder(s)"));
    Send(MakeCreateProgress2(u"Recovering", 5));
    ASSERT_NE(frame.Status().ProgressBar(1), nullptr);
    EXPECT_EQ(frame.Status().PaneText(1), QStringLiteral("Recovering"));
    Send(MakeCreateProgress2(u"Recovering again", 5));
    Send(MakeDestroyProgress(1));
    EXPECT_EQ(frame.Status().ProgressBar(1), nullptr);
    EXPECT_EQ(frame.Status().PaneText(1),
              QStringLiteral("Total 1.00 MB in 3 file(s) in 1 folder(s)"));
}

TEST_F(FrameTest, StatusTextsAndPaneWidths) {
    Send(MakeSetStatusText2(u"Marked 0.00 KB in 0 file(s) in 0 folder(s)"));
    Send(MakeSetStatusText2(std::nullopt));
    EXPECT_EQ(frame.Status().PaneText(2),
              QStringLiteral("Marked 0.00 KB in 0 file(s) in 0 folder(s)"));
    Send(MakeSetPaneWidths(345, 340));
    QCoreApplication::processEvents();
    EXPECT_EQ(frame.Status().Pane(0)->width(), 345);
    EXPECT_EQ(frame.Status().Pane(1)->width(), 340);
    EXPECT_GT(frame.Status().Pane(2)->width(), 0);
}

TEST_F(FrameTest, LogLinesTravelWithTheirMessage) {
    Send(MakeLogLine(u"Scanning drive", u"D:", u"Process Started", 1));
    Send(MakeLogLine(u"", u"", u"Process completed", 5));
    const auto rows = frame.LogPane()->Rows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], (CLogPaneDlg::Row{"Scanning drive", "D:", "Process Started", 1}));
    EXPECT_EQ(rows[1], (CLogPaneDlg::Row{"", "", "Process completed", 5}));
}

TEST(ProgressBarTest, LayoutFollowsLabelSizeAndHeight) {
    // Size 100, no label: the whole pane less a tenth of its height at top and bottom.
    EXPECT_EQ(CProgressBar::LayoutRect(QRect(0, 0, 300, 20), 0, 4, 100, false),
              QRect(0, 2, 300, 16));
    // Label 50 pixels plus four blanks of 4, half of the rest.
    EXPECT_EQ(CProgressBar::LayoutRect(QRect(10, 0, 300, 20), 50, 4, 50, true),
              QRect(76, 2, 117, 16));
    // A label wider than the pane leaves the bar no width.
    EXPECT_EQ(CProgressBar::LayoutRect(QRect(0, 0, 100, 20), 400, 4, 100, true).width(), 0);
}

TEST(ProgressBarTest, WithoutAPaneNothingHappens) {
    CProgressBar bar(nullptr, 0, "label", 100, 10, true);
    EXPECT_FALSE(bar.HasPane());
    EXPECT_FALSE(bar.SetRange(0, 5, 1));
    EXPECT_FALSE(bar.SetText("other"));
    const int before = bar.value();
    bar.StepIt();
    EXPECT_EQ(bar.value(), before);
}

TEST_F(FrameTest, CloseIsRefusedWhileAJobRuns) {
    StartBlockingJob(false);
    EXPECT_FALSE(frame.close());
    EXPECT_TRUE(frame.isVisible());
    ASSERT_EQ(frame.questions.size(), 1u);
    EXPECT_EQ(frame.questions[0],
              QStringLiteral("Can not exit.\nStop current operation before exiting Morwick "
                             "Wrenfal ....."));

    release = true;
    ASSERT_TRUE(PumpUntil([this] { return !runner.IsRunning(); }));
    EXPECT_TRUE(frame.close());
    EXPECT_FALSE(frame.isVisible());
}

TEST_F(FrameTest, StopAsksAndSetsTheStopFlagButNotJobRunning) {
    // Cancel leaves the job alone.
    StartBlockingJob(true);
    ASSERT_TRUE(PumpUntil([this] { return state.jobFlags.stoppable.load(); }));
    frame.answer = MessageBoxAnswer::Cancel;
    frame.OnStopCurrentProcess();
    EXPECT_FALSE(state.jobFlags.stopRequested.load());
    EXPECT_TRUE(state.jobFlags.stoppable.load());

    // Hold the job so job running can be seen after the stop.
    frame.answer = MessageBoxAnswer::Ok;
    frame.OnStopCurrentProcess();
    EXPECT_TRUE(state.jobFlags.stopRequested.load());
    EXPECT_FALSE(state.jobFlags.stoppable.load());
    EXPECT_EQ(frame.questions.size(), 2u);
    // Job running is the runner's: it clears when the thread has ended, not at the stop.
    ASSERT_TRUE(PumpUntil([this] { return !runner.IsRunning(); }));
    EXPECT_FALSE(state.jobFlags.jobRunning.load());
}

TEST_F(FrameTest, StopWithoutAJobAsksNothing) {
    frame.OnStopCurrentProcess();
    EXPECT_TRUE(frame.questions.empty());
    EXPECT_FALSE(state.jobFlags.stopRequested.load());
}

TEST_F(FrameTest, ClosingSavesTheLogIntoTheLogFolder) {
    TempDir dir;
    state.saveLogOnClose = 1;
    state.logPath = QString::fromStdString(dir.Path().string()).toStdU16String();
    frame.Log().AddLogMessage("Scanning drive", "C:", "Process Started", 1);
    const std::filesystem::path file =
        dir.Path() / (LogActions::ProposedLogName() + ".TXT").toStdString();

    ASSERT_TRUE(frame.close());
    std::ifstream in(file, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "Message Log Report Morwick Wrenfal Windows Data Recovery v3.0\r\n"
                    "Scanning drive\r\n"
                    "                    C:\r\n"
                    "                    Process Started\r\n");
    EXPECT_TRUE(frame.fileExistsAsked.empty());
}

TEST_F(FrameTest, ClosingStaysOpenWhenTheUserCancelsTheFileExistsQuestion) {
    TempDir dir;
    state.saveLogOnClose = 1;
    state.logPath = QString::fromStdString(dir.Path().string()).toStdU16String();
    const std::filesystem::path file =
        dir.Path() / (LogActions::ProposedLogName() + ".TXT").toStdString();
    std::ofstream(file) << "old";

    frame.fileExists = {CScanFileExistsDlg::Answer::Cancel, {}};
    EXPECT_FALSE(frame.close());
    EXPECT_EQ(frame.fileExistsAsked.size(), 1u);

    const QString renamed = QString::fromStdString(dir.File("renamed.TXT").string());
    frame.fileExists = {CScanFileExistsDlg::Answer::Rename, renamed};
    EXPECT_TRUE(frame.close());
    EXPECT_TRUE(std::filesystem::exists(dir.File("renamed.TXT")));
    std::ifstream old(file);
    std::string kept;
    old >> kept;
    EXPECT_EQ(kept, "old");
}

TEST_F(FrameTest, ClosingWithAnEmptyLogFolderWritesNothing) {
    state.saveLogOnClose = 1;
    state.logPath.clear();
    EXPECT_TRUE(frame.close());
    EXPECT_TRUE(frame.fileExistsAsked.empty());
}

TEST(AppTest, StartsWithSettingsAndDrivesShowsTheFrameAndClosesCleanly) {
    TempDir dir;
    // Any file serves as a mapped disk; a blank one holds no partition.
    const std::filesystem::path disk = dir.File("disk.img");
    std::ofstream(disk).close();
    std::filesystem::resize_file(disk, 8 * 1024 * 1024);
    // A drive whose image is missing is left out and named in the log.
    const std::string missing = dir.File("missing.img").string();
    const std::string map = "disk0=" + disk.string() + ";E:=" + missing;
    ::setenv("MORWICK_DEVICES", map.c_str(), 1);
    const std::filesystem::path settings = dir.File("settings.conf");
    std::ofstream(settings) << "LS=dword:0\nSC=dword:0\nRR=dword:3\nLPath=string:/nowhere\n";

    {
        CMorwickWrenfalApp app(settings);
        EXPECT_EQ(CMorwickWrenfalApp::Current(), &app);
        ASSERT_TRUE(app.InitInstance());
        ::unsetenv("MORWICK_DEVICES");
        CMainFrame* frame = app.MainFrame();
        ASSERT_NE(frame, nullptr);
        EXPECT_TRUE(frame->isVisible());
        EXPECT_TRUE(frame->windowState() & Qt::WindowMaximized);
        EXPECT_EQ(frame->windowTitle(),
                  QStringLiteral("Morwick Wrenfal Windows Data Recovery v3.0"));
        EXPECT_EQ(app.State().readAttempts.load(), 3u);
        EXPECT_EQ(app.State().signatureSearch.load(), 0u);
        EXPECT_EQ(app.State().language.load(), 0u);
        EXPECT_EQ(app.State().logPath, u"/nowhere");
        EXPECT_EQ(app.HelpFileName(),
                  QStringLiteral("Morwick Wrenfal Windows Data Recovery User Guide.html"));

        // The mapped disk is in the drive list and shown on the left.
        ASSERT_FALSE(app.State().driveList.nodes.empty());
        CDiskTreeCtrl* left = frame->DriveView();
        ASSERT_TRUE(frame->LeftView()->DriveTreeShown());
        ASSERT_EQ(left->topLevelItemCount(), 1);
        size_t drives = 0;
        for (QTreeWidgetItemIterator it(left); *it != nullptr; ++it) {
            drives += CDiskTreeCtrl::NodeOf(*it, app.State().driveList.nodes) != nullptr ? 1 : 0;
        }
        EXPECT_EQ(drives, app.State().driveList.nodes.size());
        const auto rows = frame->LogPane()->Rows();
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(rows[0].activity, "Listing drives");
        EXPECT_TRUE(rows[0].description.contains(QString::fromStdString(missing)))
            << rows[0].description.toStdString();
        EXPECT_EQ(rows[0].status, "Skipped");

        frame->Log().AddLogMessage("Scanning drive", "Disk 0", "Process Started", 1);
        frame->resize(1024, 640);
        QCoreApplication::processEvents();
        const QPixmap shot = frame->grab();
        ASSERT_FALSE(shot.isNull());
        EXPECT_GT(shot.width(), 0);
        const QString out =
            QDir(QCoreApplication::applicationDirPath()).absoluteFilePath("../app_frame.png");
        EXPECT_TRUE(shot.save(out, "PNG"));

        EXPECT_TRUE(frame->close());
        EXPECT_FALSE(frame->isVisible());
    }
    EXPECT_EQ(CMorwickWrenfalApp::Current(), nullptr);
}

TEST(AppTest, AMissingSettingsFileKeepsTheDefaults) {
    TempDir dir;
    CMorwickWrenfalApp app(dir.File("none.conf"));
    ASSERT_TRUE(app.InitInstance(false));
    EXPECT_EQ(app.State().saveLogOnClose.load(), ScanState::kDefaultSaveLog);
    EXPECT_EQ(app.State().signatureSearch.load(), ScanState::kDefaultSignatureSearch);
    EXPECT_EQ(app.State().readAttempts.load(), ScanState::kDefaultReadAttempts);
    EXPECT_TRUE(app.State().logPath.empty());
    EXPECT_TRUE(app.MainFrame()->close());
}

} // namespace

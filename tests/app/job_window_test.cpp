#include "app/frame/main_frame.h"
#include "app/frame/status_panes.h"
#include "app/qt_job_window.h"
#include "app/views/log_pane.h"
#include "jobs/scan/scan_state.h"
#include "platform/jobs/job_runner.h"
#include "tests/app/frame_test_harness.h"

#include <QCoreApplication>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

// Keeps the GUI thread handling events until `done` holds or the time is up.
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

TEST(QtJobWindowTest, WorkerSendsAreHandledInOrderOnTheGuiThreadBeforeSendReturns) {
    QThread* gui = QThread::currentThread();
    std::vector<int> handled;
    std::atomic<int> wrongThread{0};
    QtJobWindow window([&](JobMessage& message) -> intptr_t {
        if (QThread::currentThread() != gui) {
            ++wrongThread;
        }
        // Slow on purpose: a Send that returned early would read the old value.
        std::this_thread::sleep_for(2ms);
        // Each answer names the message it answers.
        auto* write = message.Get<WriteTreePayload>();
        write->record = {static_cast<uint8_t>(handled.size())};
        handled.push_back(static_cast<int>(handled.size()));
        write->more = true;
        return 0;
    });

    constexpr int kMessages = 20;
    std::atomic<bool> finished{false};
    std::vector<int> seenByJob;
    std::thread job([&] {
        EXPECT_FALSE(window.OnHandlerThread());
        for (int i = 0; i < kMessages; ++i) {
            JobMessage message = MakeWriteTreeToFile();
            window.Send(message);
            // The handler's answer is visible as soon as Send returns.
            const auto* answer = message.Get<WriteTreePayload>();
            seenByJob.push_back(answer->more && answer->record.size() == 1 ? answer->record[0]
                                                                           : -1);
        }
        finished = true;
    });
    EXPECT_TRUE(PumpUntil([&] { return finished.load(); }));
    job.join();

    std::vector<int> expected;
    for (int i = 0; i < kMessages; ++i) {
        expected.push_back(i);
    }
    EXPECT_EQ(handled, expected);
    EXPECT_EQ(seenByJob, expected);
    EXPECT_EQ(wrongThread.load(), 0);
}

TEST(QtJobWindowTest, SendOnTheGuiThreadIsADirectCall) {
    int calls = 0;
    QtJobWindow window([&](JobMessage& message) -> intptr_t {
        ++calls;
        message.Get<WriteTreePayload>()->more = true;
        return 7;
    });
    ASSERT_TRUE(window.OnHandlerThread());
    JobMessage message = MakeWriteTreeToFile();
    // No event processing in between: a queued delivery would leave the handler unrun here.
    EXPECT_EQ(window.Send(message), 7);
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(message.Get<WriteTreePayload>()->more);
}

TEST(QtJobWindowTest, AThrowingHandlerDoesNotReachTheWorker) {
    QtJobWindow window([](JobMessage&) -> intptr_t { throw std::runtime_error("handler"); });
    std::atomic<bool> finished{false};
    intptr_t result = -1;
    std::thread job([&] {
        JobMessage message = MakeScanTotals();
        result = window.Send(message);
        finished = true;
    });
    EXPECT_TRUE(PumpUntil([&] { return finished.load(); }));
    job.join();
    EXPECT_EQ(result, 0);
}

TEST(QtJobWindowTest, AJobOnTheRunnerReachesTheFrame) {
    ScanState state;
    JobRunner runner(state.jobFlags);
    AnsweringFrame frame(state, runner);
    frame.answers.push_back(MessageBoxAnswer::Yes);
    JobWindow& window = frame.JobWindowForJobs();

    MessageBoxAnswer jobGot = MessageBoxAnswer::Cancel;
    int barsSeen = 0;
    ASSERT_TRUE(runner.Start([&] {
        JobMessage create = MakeCreateProgress(u"Scanning", 10);
        window.Send(create);
        barsSeen += frame.Status().ProgressBar(0) != nullptr ? 1 : 0;
        window.AddLogLine(u"Scanning drive", u"C:", u"Process Started", 1);
        jobGot = window.AskMessageBox(u"Go on?", u"", MessageBoxIcon::Question,
                                      MessageBoxButtons::YesNo);
        JobMessage destroy = MakeDestroyProgress(0);
        window.Send(destroy);
        barsSeen += frame.Status().ProgressBar(0) == nullptr ? 1 : 0;
    }));
    EXPECT_TRUE(PumpUntil([&] { return !runner.IsRunning(); }));

    EXPECT_EQ(jobGot, MessageBoxAnswer::Yes);
    EXPECT_EQ(barsSeen, 2);
    ASSERT_EQ(frame.questions.size(), 1u);
    EXPECT_EQ(frame.questions[0], QStringLiteral("Go on?"));
    const std::vector<CLogPaneDlg::Row> rows = frame.LogPane()->Rows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0], (CLogPaneDlg::Row{"Scanning drive", "C:", "Process Started", 1}));
}

} // namespace

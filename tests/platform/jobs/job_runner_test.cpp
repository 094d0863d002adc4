#include "platform/jobs/job_runner.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <memory>
#include <stdexcept>

namespace {

using namespace std::chrono_literals;

constexpr auto kLongWait = 10s;

TEST(JobRunnerTest, RunsOneJobAtATimeAndFlagsItUntilItEnds) {
    JobFlags flags;
    JobRunner runner(flags);
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<bool> flagSeenInside{false};

    ASSERT_TRUE(runner.Start([&] {
        flagSeenInside = flags.jobRunning.load();
        released.wait();
    }));
    EXPECT_TRUE(flags.jobRunning);
    EXPECT_TRUE(runner.IsRunning());
    EXPECT_FALSE(runner.Start([] {})) << "a second job while the first runs";
    EXPECT_FALSE(runner.WaitFor(20ms));

    release.set_value();
    ASSERT_TRUE(runner.WaitFor(kLongWait));
    EXPECT_TRUE(flagSeenInside);
    EXPECT_FALSE(flags.jobRunning);
    EXPECT_FALSE(runner.IsRunning());

    std::atomic<int> second{0};
    ASSERT_TRUE(runner.Start([&] { second = 2; })) << "a finished job does not block the next";
    ASSERT_TRUE(runner.WaitFor(kLongWait));
    EXPECT_EQ(second, 2);
}

TEST(JobRunnerTest, RefusesEmptyJobsAndForeignBusyFlag) {
    JobFlags flags;
    JobRunner runner(flags);
    EXPECT_FALSE(runner.Start(nullptr));
    EXPECT_FALSE(flags.jobRunning);

    flags.jobRunning = true;
    std::atomic<bool> ran{false};
    EXPECT_FALSE(runner.Start([&] { ran = true; }));
    EXPECT_TRUE(runner.WaitFor(0ms));
    EXPECT_FALSE(ran);
    EXPECT_TRUE(flags.jobRunning) << "the runner clears only what it set";
}

TEST(JobRunnerTest, PollingJobSeesStopRequestAndStartLeavesTheFlag) {
    JobFlags flags;
    JobRunner runner(flags);
    flags.stopRequested = true;
    std::atomic<bool> sawStale{false};
    ASSERT_TRUE(runner.Start([&] { sawStale = flags.stopRequested.load(); }));
    ASSERT_TRUE(runner.WaitFor(kLongWait));
    EXPECT_TRUE(sawStale) << "Start must not clear the stop flag";

    std::atomic<bool> started{false};
    std::atomic<bool> stopped{false};
    ASSERT_TRUE(runner.Start([&] {
        flags.stopRequested = false;
        started = true;
        const auto deadline = std::chrono::steady_clock::now() + kLongWait;
        while (std::chrono::steady_clock::now() < deadline) {
            if (flags.stopRequested) {
                stopped = true;
                return;
            }
            std::this_thread::sleep_for(1ms);
        }
    }));
    while (!started) {
        std::this_thread::yield();
    }
    runner.RequestStop();
    ASSERT_TRUE(runner.WaitFor(kLongWait));
    EXPECT_TRUE(stopped);
}

TEST(JobRunnerTest, ThrowingJobEndsCleanly) {
    JobFlags flags;
    JobRunner runner(flags);
    ASSERT_TRUE(runner.Start([] { throw std::runtime_error("bad sector table"); }));
    ASSERT_TRUE(runner.WaitFor(kLongWait));
    EXPECT_FALSE(flags.jobRunning);
    EXPECT_TRUE(runner.LastJobThrew());

    ASSERT_TRUE(runner.Start([] { throw 42; }));
    ASSERT_TRUE(runner.WaitFor(kLongWait));
    EXPECT_TRUE(runner.LastJobThrew());

    ASSERT_TRUE(runner.Start([] {}));
    ASSERT_TRUE(runner.WaitFor(kLongWait));
    EXPECT_FALSE(runner.LastJobThrew());
}

// The job's captures die before the busy flag drops, so nothing of a job outlives it.
TEST(JobRunnerTest, JobStateIsReleasedBeforeTheFlagClears) {
    struct Probe {
        Probe(JobFlags& flags, std::atomic<int>& busyAtRelease)
            : m_flags(flags), m_busyAtRelease(busyAtRelease) {}
        ~Probe() { m_busyAtRelease = m_flags.jobRunning ? 1 : 0; }
        JobFlags& m_flags;
        std::atomic<int>& m_busyAtRelease;
    };
    JobFlags flags;
    std::atomic<int> busyAtRelease{-1};
    std::promise<void> dropped;
    std::shared_future<void> droppedByTest = dropped.get_future().share();
    JobRunner runner(flags);
    auto probe = std::make_shared<Probe>(flags, busyAtRelease);
    ASSERT_TRUE(runner.Start([probe, droppedByTest] { droppedByTest.wait(); }));
    probe.reset();
    dropped.set_value();
    ASSERT_TRUE(runner.WaitFor(kLongWait));
    EXPECT_EQ(busyAtRelease, 1);
}

TEST(JobRunnerTest, DestructorStopsAndJoinsARunningJob) {
    JobFlags flags;
    std::atomic<bool> ended{false};
    {
        JobRunner runner(flags);
        ASSERT_TRUE(runner.Start([&] {
            const auto deadline = std::chrono::steady_clock::now() + kLongWait;
            while (!flags.stopRequested && std::chrono::steady_clock::now() < deadline) {
                std::this_thread::sleep_for(1ms);
            }
            ended = true;
        }));
    }
    EXPECT_TRUE(ended);
    EXPECT_TRUE(flags.stopRequested);
    EXPECT_FALSE(flags.jobRunning);
}

} // namespace

#include "preview/child_process.h"

#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <string>
#include <sys/types.h>
#include <thread>

namespace {

using Outcome = ChildProcess::Outcome;
using namespace std::chrono_literals;

// Whether a process with this id exists at all, zombies included.
bool ProcessExists(pid_t pid) {
    return std::filesystem::exists("/proc/" + std::to_string(pid));
}

pid_t ReadPid(const std::filesystem::path& file) {
    for (int attempt = 0; attempt < 200; ++attempt) {
        std::ifstream in(file);
        pid_t pid = 0;
        if (in >> pid && pid > 0) {
            return pid;
        }
        std::this_thread::sleep_for(10ms);
    }
    return 0;
}

TEST(ChildProcessTest, EndsEachRunAsItEnded) {
    struct Case {
        const char* what;
        std::vector<std::string> argv;
        std::chrono::milliseconds limit;
        size_t cap;
        Outcome outcome;
        int code;
        std::string output;
    };
    const Case cases[] = {
        {"prints and exits", {"printf", "a,b\\n"}, 10s, 100, Outcome::Exited, 0, "a,b\n"},
        {"exit status", {"sh", "-c", "exit 3"}, 10s, 100, Outcome::Exited, 3, ""},
        {"standard error is not output",
         {"sh", "-c", "echo no >&2; echo yes"},
         10s,
         100,
         Outcome::Exited,
         0,
         "yes\n"},
        {"killed by a signal", {"sh", "-c", "kill -9 $$"}, 10s, 100, Outcome::Signalled, 9, ""},
        {"output past the cap", {"yes"}, 10s, 1000, Outcome::OutputCapped, 0, ""},
        {"hangs", {"sleep", "30"}, 300ms, 100, Outcome::TimedOut, 0, ""},
        {"no such program", {"/nonexistent/program"}, 10s, 100, Outcome::StartFailed, ENOENT, ""},
        {"standard input is empty", {"cat"}, 10s, 100, Outcome::Exited, 0, ""},
    };
    for (const Case& c : cases) {
        ChildProcess::Launch launch;
        launch.argv = c.argv;
        launch.timeLimit = c.limit;
        launch.outputCap = c.cap;
        const auto start = std::chrono::steady_clock::now();
        const ChildProcess::Result result = ChildProcess::Run(launch);
        const auto took = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(result.outcome, c.outcome) << c.what;
        if (c.outcome != Outcome::TimedOut && c.outcome != Outcome::OutputCapped) {
            EXPECT_EQ(result.code, c.code) << c.what;
        }
        if (c.outcome == Outcome::OutputCapped) {
            EXPECT_EQ(result.output.size(), c.cap) << c.what;
            EXPECT_EQ(result.output.substr(0, 4), "y\ny\n") << c.what;
        } else {
            EXPECT_EQ(result.output, c.output) << c.what;
        }
        EXPECT_LT(took, c.limit + 2s) << c.what;
    }
    EXPECT_EQ(ChildProcess::RunningCount(), 0);
}

TEST(ChildProcessTest, SetsTheGivenVariablesOverTheEnvironment) {
    ChildProcess::Launch launch;
    launch.argv = {"sh", "-c", "printf '%s|%s' \"$MORWICK_PROBE\" \"$PATH\""};
    launch.environment = {"MORWICK_PROBE=given"};
    const ChildProcess::Result result = ChildProcess::Run(launch);
    ASSERT_TRUE(result.Succeeded());
    EXPECT_EQ(result.output.substr(0, 6), "given|");
    EXPECT_GT(result.output.size(), 6u) << "the rest of the environment is kept";
}

// A helper that starts a grandchild (as soffice starts soffice.bin) leaves nothing behind,
// whether the helper exits, hangs past its limit or floods its output.
TEST(ChildProcessTest, EndsAndReapsWhatTheChildStarted) {
    struct Case {
        const char* what;
        std::string script;
        std::chrono::milliseconds limit;
        Outcome outcome;
    };
    const Case cases[] = {
        {"leader exits, grandchild runs on", "sleep 60 & echo $! >\"$1\"; exit 0", 10s,
         Outcome::Exited},
        {"leader hangs", "sleep 60 & echo $! >\"$1\"; sleep 60", 500ms, Outcome::TimedOut},
        {"leader floods", "sleep 60 & echo $! >\"$1\"; exec yes", 10s, Outcome::OutputCapped},
        {"grandchild orphaned first", "(sleep 60 & echo $! >\"$1\") ; sleep 60", 500ms,
         Outcome::TimedOut},
    };
    for (const Case& c : cases) {
        TempDir folder;
        const std::filesystem::path pidFile = folder.File("grandchild.pid");
        ChildProcess process;
        ChildProcess::Launch launch;
        launch.argv = {"sh", "-c", c.script, "sh", pidFile.string()};
        launch.timeLimit = c.limit;
        launch.outputCap = 4096;
        ASSERT_TRUE(process.Start(launch)) << c.what;
        const pid_t group = process.Group();
        EXPECT_GT(group, 0);
        const pid_t grandchild = ReadPid(pidFile);
        ASSERT_GT(grandchild, 0) << c.what;
        EXPECT_EQ(::getpgid(grandchild), group) << c.what << ": the grandchild is in the group";
        const auto start = std::chrono::steady_clock::now();
        while (!process.Poll(100)) {
        }
        EXPECT_LT(std::chrono::steady_clock::now() - start, c.limit + 3s) << c.what;
        EXPECT_EQ(process.GetResult().outcome, c.outcome) << c.what;
        EXPECT_FALSE(ProcessExists(grandchild)) << c.what << ": grandchild left (or a zombie)";
        EXPECT_FALSE(ProcessExists(group)) << c.what << ": leader left";
        EXPECT_NE(::kill(-group, 0), 0) << c.what << ": the group still has members";
    }
    EXPECT_EQ(ChildProcess::RunningCount(), 0);
}

TEST(ChildProcessTest, StopAndDestructionEndTheGroup) {
    pid_t group = 0;
    {
        ChildProcess process;
        ChildProcess::Launch launch;
        launch.argv = {"sleep", "60"};
        ASSERT_TRUE(process.Start(launch));
        group = process.Group();
        EXPECT_EQ(ChildProcess::RunningCount(), 1);
        EXPECT_FALSE(process.Poll(0));
    }
    EXPECT_FALSE(ProcessExists(group));
    ChildProcess process;
    ChildProcess::Launch launch;
    launch.argv = {"sleep", "60"};
    ASSERT_TRUE(process.Start(launch));
    group = process.Group();
    process.Stop();
    EXPECT_FALSE(process.Running());
    EXPECT_EQ(process.GetResult().outcome, Outcome::TimedOut);
    EXPECT_FALSE(ProcessExists(group));
    EXPECT_EQ(ChildProcess::RunningCount(), 0);
}

} // namespace

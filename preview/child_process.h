#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <sys/types.h>
#include <vector>

// A helper program run out of process: our own child, leader of its own process group, with
// standard input from /dev/null, standard output captured up to a cap and standard error
// discarded. The run ends when the child exits, its time limit passes or its output passes
// the cap; at the end the whole group is killed, so nothing the child started is left running,
// and every member that became ours is reaped. Only this group is ever signalled.
//
// While a run is under way the process is a child subreaper, so members of the group whose
// parent dies are reparented to us and reaped here instead of staying zombies.
class ChildProcess {
public:
    struct Launch {
        // The program (looked up in PATH when it has no '/') and its arguments.
        std::vector<std::string> argv;
        std::chrono::milliseconds timeLimit{30000};
        size_t outputCap = 1 << 20;
        // Variables set (NAME=VALUE) on top of this process's environment.
        std::vector<std::string> environment;
    };

    enum class Outcome {
        Running,
        Exited,
        Signalled,
        TimedOut,
        OutputCapped,
        StartFailed,
    };

    struct Result {
        Outcome outcome = Outcome::Running;
        // The exit status for Exited, the signal for Signalled, errno for StartFailed.
        int code = 0;
        // At most the cap's worth of what the child wrote to standard output.
        std::string output;

        bool Succeeded() const { return outcome == Outcome::Exited && code == 0; }
    };

    ChildProcess() = default;
    // Ends and reaps a run still under way.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts the run. False (Result() says why) when the program cannot be started.
    bool Start(const Launch& launch);
    // Collects output for at most `waitMs` (0: what is there now); true once the run has
    // ended, its group killed and reaped.
    bool Poll(int waitMs);
    // Ends the run now, as a time-out does.
    void Stop();
    bool Running() const { return m_pid > 0; }
    const Result& GetResult() const { return m_result; }
    // The process group while running (its leader's id), else 0.
    pid_t Group() const { return m_pid; }

    // Starts, waits for the end and returns what happened.
    static Result Run(const Launch& launch);
    // How many runs are under way in this process.
    static int RunningCount();

private:
    void ReadOutput();
    // Kills the group, reaps the leader and every member that is ours, closes the pipe.
    void Finish(Outcome outcome);

    pid_t m_pid = 0;
    int m_output = -1;
    size_t m_cap = 0;
    std::chrono::steady_clock::time_point m_deadline;
    Result m_result;
};

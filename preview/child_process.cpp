#include "preview/child_process.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

// Members of a killed group die within milliseconds; this bounds waiting for one stuck in the
// kernel.
constexpr std::chrono::milliseconds kReapLimit{3000};
constexpr std::chrono::milliseconds kReapPause{2};

std::mutex g_runningMutex;
int g_running = 0;

void RunStarted() {
    std::lock_guard lock(g_runningMutex);
    if (g_running++ == 0) {
        ::prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0);
    }
}

void RunEnded() {
    std::lock_guard lock(g_runningMutex);
    if (--g_running == 0) {
        ::prctl(PR_SET_CHILD_SUBREAPER, 0, 0, 0, 0);
    }
}

// This process's environment with `overrides` (NAME=VALUE) put in place of the same names.
std::vector<std::string> MergedEnvironment(const std::vector<std::string>& overrides) {
    std::vector<std::string> merged;
    auto nameOf = [](const std::string& entry) { return entry.substr(0, entry.find('=')); };
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        std::string text(*entry);
        const std::string name = nameOf(text);
        const bool replaced = std::any_of(overrides.begin(), overrides.end(),
                                          [&](const std::string& o) { return nameOf(o) == name; });
        if (!replaced) {
            merged.push_back(std::move(text));
        }
    }
    merged.insert(merged.end(), overrides.begin(), overrides.end());
    return merged;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    pointers.reserve(texts.size() + 1);
    for (std::string& text : texts) {
        pointers.push_back(text.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}

} // namespace

ChildProcess::~ChildProcess() {
    if (Running()) {
        Finish(Outcome::TimedOut);
    }
}

bool ChildProcess::Start(const Launch& launch) {
    m_result = Result{};
    if (Running() || launch.argv.empty() || launch.argv.front().empty()) {
        m_result.outcome = Outcome::StartFailed;
        m_result.code = EINVAL;
        return false;
    }
    int pipeEnds[2];
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0) {
        m_result.outcome = Outcome::StartFailed;
        m_result.code = errno;
        return false;
    }
    // Only our end is non-blocking: the child writes as to any pipe.
    if (::fcntl(pipeEnds[0], F_SETFL, ::fcntl(pipeEnds[0], F_GETFL) | O_NONBLOCK) != 0) {
        m_result.outcome = Outcome::StartFailed;
        m_result.code = errno;
        ::close(pipeEnds[0]);
        ::close(pipeEnds[1]);
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    // Nothing of ours but the three standard streams reaches the helper.
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGTERM);
    sigaddset(&defaults, SIGINT);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK |
                                              POSIX_SPAWN_SETSIGDEF);

    std::vector<std::string> arguments = launch.argv;
    std::vector<std::string> environment = MergedEnvironment(launch.environment);
    std::vector<char*> argv = Pointers(arguments);
    std::vector<char*> envp = Pointers(environment);

    RunStarted();
    pid_t pid = 0;
    const int error =
        ::posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(pipeEnds[1]);
    if (error != 0) {
        RunEnded();
        ::close(pipeEnds[0]);
        m_result.outcome = Outcome::StartFailed;
        m_result.code = error;
        return false;
    }
    m_pid = pid;
    m_output = pipeEnds[0];
    m_cap = launch.outputCap;
    m_deadline = std::chrono::steady_clock::now() + launch.timeLimit;
    return true;
}

void ChildProcess::ReadOutput() {
    char chunk[16384];
    while (m_output >= 0) {
        const ssize_t got = ::read(m_output, chunk, sizeof chunk);
        if (got > 0) {
            const size_t room = m_cap - std::min(m_cap, m_result.output.size());
            m_result.output.append(chunk, std::min(room, static_cast<size_t>(got)));
            if (static_cast<size_t>(got) > room) {
                m_result.outcome = Outcome::OutputCapped;
                return;
            }
            continue;
        }
        if (got == 0) {
            ::close(m_output);
            m_output = -1;
        } else if (errno == EINTR) {
            continue;
        }
        return;
    }
}

bool ChildProcess::Poll(int waitMs) {
    if (!Running()) {
        return true;
    }
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    for (;;) {
        const auto now = std::chrono::steady_clock::now();
        if (m_output >= 0) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                std::min(until, m_deadline) - now);
            pollfd watched{m_output, POLLIN, 0};
            ::poll(&watched, 1, static_cast<int>(std::clamp<int64_t>(left.count(), 0, 50)));
            ReadOutput();
            if (m_result.outcome == Outcome::OutputCapped) {
                Finish(Outcome::OutputCapped);
                return true;
            }
        }
        // Looked at without reaping: the leader's id, which names the group, stays ours
        // until the group has been killed.
        siginfo_t info{};
        if (::waitid(P_PID, static_cast<id_t>(m_pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
            info.si_pid == m_pid) {
            ReadOutput();
            Finish(Outcome::Exited);
            return true;
        }
        if (std::chrono::steady_clock::now() >= m_deadline) {
            Finish(Outcome::TimedOut);
            return true;
        }
        if (std::chrono::steady_clock::now() >= until) {
            return false;
        }
        if (m_output < 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(
                std::clamp<int64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::min(until, m_deadline) - now)
                                        .count(),
                                    1, 20)));
        }
    }
}

void ChildProcess::Stop() {
    if (Running()) {
        Finish(Outcome::TimedOut);
    }
}

void ChildProcess::Finish(Outcome outcome) {
    const pid_t group = m_pid;
    ::kill(-group, SIGKILL);
    int status = 0;
    while (::waitpid(group, &status, 0) < 0 && errno == EINTR) {
    }
    if (outcome == Outcome::Exited) {
        if (WIFEXITED(status)) {
            m_result.code = WEXITSTATUS(status);
        } else {
            outcome = Outcome::Signalled;
            m_result.code = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
        }
    }
    m_result.outcome = outcome;
    // Members reparented to us are reaped; the others are waited for until they are gone.
    const auto limit = std::chrono::steady_clock::now() + kReapLimit;
    for (;;) {
        const pid_t reaped = ::waitpid(-group, &status, WNOHANG);
        if (reaped > 0) {
            continue;
        }
        const bool noChildren = reaped < 0 && errno == ECHILD;
        const bool groupGone = ::kill(-group, 0) != 0 && errno == ESRCH;
        if ((noChildren && groupGone) || std::chrono::steady_clock::now() >= limit) {
            break;
        }
        if (!groupGone) {
            ::kill(-group, SIGKILL);
        }
        std::this_thread::sleep_for(kReapPause);
    }
    if (m_output >= 0) {
        ::close(m_output);
        m_output = -1;
    }
    m_pid = 0;
    RunEnded();
}

ChildProcess::Result ChildProcess::Run(const Launch& launch) {
    ChildProcess process;
    if (process.Start(launch)) {
        while (!process.Poll(1000)) {
        }
    }
    return process.GetResult();
}

int ChildProcess::RunningCount() {
    std::lock_guard lock(g_runningMutex);
    return g_running;
}

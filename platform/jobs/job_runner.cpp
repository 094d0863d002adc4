#include "platform/jobs/job_runner.h"

#include <utility>

JobRunner::JobRunner(JobFlags& flags) : m_flags(flags) {}

JobRunner::~JobRunner() {
    {
        std::lock_guard lock(m_mutex);
        if (m_running) {
            m_flags.stopRequested = true;
        }
    }
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

bool JobRunner::Start(std::function<void()> job) {
    if (!job) {
        return false;
    }
    std::lock_guard lock(m_mutex);
    if (m_running || m_flags.jobRunning) {
        return false;
    }
    // The previous body has ended and its thread touches nothing of ours any more, so this
    // join is short and safe under the lock.
    if (m_thread.joinable()) {
        m_thread.join();
    }
    m_running = true;
    m_lastJobThrew = false;
    m_flags.jobRunning = true;
    try {
        m_thread = std::thread([this, body = std::move(job)]() mutable { Run(std::move(body)); });
    } catch (...) {
        m_running = false;
        m_flags.jobRunning = false;
        return false;
    }
    return true;
}

void JobRunner::Run(std::function<void()> job) {
    bool threw = false;
    try {
        job();
        // The job's captures go before the flag drops: the job has not ended while they live.
        job = nullptr;
    } catch (...) {
        threw = true;
        job = nullptr;
    }
    std::lock_guard lock(m_mutex);
    m_running = false;
    m_lastJobThrew = threw;
    m_flags.jobRunning = false;
    m_ended.notify_all();
}

bool JobRunner::IsRunning() const {
    std::lock_guard lock(m_mutex);
    return m_running;
}

void JobRunner::RequestStop() {
    m_flags.stopRequested = true;
}

bool JobRunner::WaitFor(std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_mutex);
    return m_ended.wait_for(lock, timeout, [this] { return !m_running; });
}

bool JobRunner::LastJobThrew() const {
    std::lock_guard lock(m_mutex);
    return m_lastJobThrew;
}

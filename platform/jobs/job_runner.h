#pragma once

#include "platform/jobs/job_flags.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

// Runs at most one job thread at a time. The job is a callable built and given its parameters
// by the caller; Start hands it to a new thread. JobFlags::jobRunning is set before the thread
// starts and cleared when the job's body has ended, also when it threw (the exception is
// caught at the thread's boundary). A finished thread is joined by the next Start or by the
// destructor. The GUI thread must not wait here for a job that may be blocked in
// JobWindow::Send: it would wait on itself.
class JobRunner {
public:
    explicit JobRunner(JobFlags& flags);
    // Joins the job thread; asks a still running job to stop first. Never called from the job.
    ~JobRunner();

    JobRunner(const JobRunner&) = delete;
    JobRunner& operator=(const JobRunner&) = delete;

    // False while a job runs (or jobRunning is set by someone else), for an empty job, or when
    // no thread can be created. The stop flag is left alone: each job clears it itself.
    bool Start(std::function<void()> job);
    bool IsRunning() const;
    // Sets the stop flag the job polls.
    void RequestStop();
    // True when no job is running, at once or within the timeout.
    bool WaitFor(std::chrono::milliseconds timeout);
    // Whether the last job ended by throwing.
    bool LastJobThrew() const;

private:
    void Run(std::function<void()> job);

    JobFlags& m_flags;
    mutable std::mutex m_mutex;
    std::condition_variable m_ended;
    bool m_running = false;
    bool m_lastJobThrew = false;
    std::thread m_thread;
};

#pragma once

#include <atomic>

// The application's job state shared by the GUI and the job thread. Plain atomics: each flag is
// read and written on its own, never as a group under a lock.
struct JobFlags {
    // Set from just before a job thread starts until its body has ended.
    std::atomic<bool> jobRunning{false};
    // Polled by jobs; each job clears it when it starts.
    std::atomic<bool> stopRequested{false};
    // The running job can be stopped (the GUI enables its stop command).
    std::atomic<bool> stoppable{false};
};

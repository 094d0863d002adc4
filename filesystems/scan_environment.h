#pragma once

#include "platform/jobs/job_flags.h"
#include "platform/jobs/job_window.h"

#include <atomic>
#include <cstdint>
#include <string>

struct DriveNode;
class SignatureSearch;

// What a volume reader needs of the application while it scans: the window its messages go
// to, the job flags (the stop flag among them), the drive the user selected, the signature
// search and the "SC" setting. The application state owns all of it and outlives the reader.
struct ScanEnvironment {
    JobWindow* window = nullptr;
    JobFlags* flags = nullptr;
    const DriveNode* selectedDrive = nullptr;
    SignatureSearch* signatures = nullptr;
    bool signatureSearchEnabled = false; // "SC"
    // 0 while a progress loop of a reader runs, so the window's idle work waits.
    std::atomic<uint32_t> progressIdle{1};

    bool StopRequested() const { return flags != nullptr && flags->stopRequested.load(); }
};

#pragma once

#include "filesystems/scan_environment.h"
#include "platform/jobs/job_flags.h"
#include "platform/jobs/job_window.h"

#include <cstddef>
#include <cstdint>
#include <span>

// What the fuzz targets share: a window that answers every message and question without
// showing anything, counting what it was sent so a target can bound its own work.
class FuzzJobWindow : public JobWindow {
public:
    intptr_t Send(JobMessage& message) override;
    uint64_t Sent() const { return m_sent; }

private:
    uint64_t m_sent = 0;
};

// A scan environment over a FuzzJobWindow, with no signature search and no selected drive.
struct FuzzScanEnvironment {
    FuzzJobWindow window;
    JobFlags flags;
    ScanEnvironment environment;

    FuzzScanEnvironment();
};

inline std::span<const uint8_t> FuzzBytes(const uint8_t* data, size_t size) {
    return {data, size};
}

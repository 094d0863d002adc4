#pragma once

#include <cstdint>

class ScanState;

// The current volume reader's found counters: entries (files and folders), files and the
// files' bytes. A job that rebuilds the views from kept entries sets them as it goes.
struct VolumeCounts {
    uint32_t found = 0;
    uint32_t files = 0;
    uint64_t bytes = 0;
};

// Zero without a reader.
VolumeCounts ReadVolumeCounts(const ScanState& state);
// Nothing without a reader.
void WriteVolumeCounts(ScanState& state, const VolumeCounts& counts);

#include "jobs/scan/volume_counts.h"

#include "jobs/scan/scan_state.h"

VolumeCounts ReadVolumeCounts(const ScanState& state) {
    const ClusterVolume* volume = state.Volume();
    return volume != nullptr ? volume->Counts() : VolumeCounts{};
}

void WriteVolumeCounts(ScanState& state, const VolumeCounts& counts) {
    if (ClusterVolume* volume = state.Volume())
        volume->RestoreCounts(counts);
}

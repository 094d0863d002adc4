#pragma once

#include "filesystems/cluster_volume.h"

class ScanState;

// The current volume reader's found counters: entries (files and folders), files and the
// files' bytes. A job that rebuilds the views from kept entries sets them as it goes.
using VolumeCounts = ClusterVolume::FoundCounts;

// Zero without a reader.
VolumeCounts ReadVolumeCounts(const ScanState& state);
// Nothing without a reader.
void WriteVolumeCounts(ScanState& state, const VolumeCounts& counts);

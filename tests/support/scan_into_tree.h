#pragma once

#include "jobs/scan/thread_for_file_system.h"

#include <cstdint>

class FoundTree;
class ScanState;

// Scans the state's selected drive with `parameters`, keeping every item the scan sends in
// `tree` as the window would; the scan's result (0 when it found nothing).
uint32_t ScanIntoTree(ScanState& state, FoundTree& tree,
                      CThreadForFileSystem::Parameters parameters = {});

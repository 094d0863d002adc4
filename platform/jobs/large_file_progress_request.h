#pragma once

#include <cstdint>

// The progress window shown while a scan follows the chain of a very large file: opened with
// the number of clusters to follow, stepped once per cluster, then closed.
struct LargeFileProgressRequest {
    enum class Stage {
        Open,
        Step,
        Close,
    };
    Stage stage = Stage::Open;
    uint32_t maximum = 0;
};

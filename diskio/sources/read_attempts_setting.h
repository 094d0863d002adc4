#pragma once

#include <atomic>
#include <cstdint>

// How often a failed physical-disk read is tried (the "RR" setting, 1 to 6). The value lives
// with the application's settings; until they are bound here the layer keeps its own, which
// starts at 1. The viewer libraries' copy always makes one attempt and has no setting.
class ReadAttemptsSetting {
public:
    static constexpr uint32_t kMaxAttempts = 6;

    // Makes `value` the setting the sector layer reads and rewrites; null unbinds.
    static void Bind(std::atomic<uint32_t>* value);
    static uint32_t Load();
    static void Store(uint32_t attempts);

    // The number of attempts to make, 1 to 6. A value out of range is rewritten as 1.
    static uint32_t AttemptsToMake();
};

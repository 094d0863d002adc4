#include "diskio/sources/read_attempts_setting.h"

namespace {

std::atomic<std::atomic<uint32_t>*> g_bound{nullptr};

} // namespace

void ReadAttemptsSetting::Bind(std::atomic<uint32_t>* value) {
    g_bound.store(value);
}

#ifdef MORWICK_LIBRARY_VARIANT

uint32_t ReadAttemptsSetting::Load() {
    return 1;
}
void ReadAttemptsSetting::Store(uint32_t) {}
uint32_t ReadAttemptsSetting::AttemptsToMake() {
    return 1;
}

#else

namespace {

std::atomic<uint32_t> g_ownValue{1};

std::atomic<uint32_t>& Current() {
    std::atomic<uint32_t>* bound = g_bound.load();
    return bound != nullptr ? *bound : g_ownValue;
}

} // namespace

uint32_t ReadAttemptsSetting::Load() {
    return Current().load();
}

void ReadAttemptsSetting::Store(uint32_t attempts) {
    Current().store(attempts);
}

uint32_t ReadAttemptsSetting::AttemptsToMake() {
    uint32_t attempts = Load();
    if (attempts == 0 || attempts > kMaxAttempts) {
        Store(1);
        return 1;
    }
    return attempts;
}

#endif

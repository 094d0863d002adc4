// The settings file: whatever the text, loading it fails only past the size limit, and what it
// kept writes out as a text that loads back to the same values and the same text again.
#include "platform/settings/settings_store.h"

#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    SettingsStore store({});
    const bool loaded = store.LoadText(text);
    if (loaded != (size <= SettingsStore::kMaxFileBytes))
        std::abort();
    if (!loaded)
        return 0;
    const std::string written = store.Text();
    SettingsStore again({});
    if (!again.LoadText(written) || again.Text() != written)
        std::abort();
    return 0;
}

// The about box's readers of /proc/meminfo and os-release: any text gives a bounded name free
// of control characters, and a memory size no larger than the number written.
#include "platform/shell/system_information.h"

#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::string name = SystemInformation::NameFromOsRelease(text);
    if (name.size() > 2 * SystemInformation::kMaxValueBytes + 1)
        std::abort();
    for (const char c : name) {
        if (static_cast<unsigned char>(c) < 0x20 && c != ' ')
            std::abort();
    }
    const std::optional<uint64_t> memory = SystemInformation::MemoryFromMeminfo(text);
    if (memory && *memory > UINT64_MAX / 1024)
        std::abort();
    return 0;
}

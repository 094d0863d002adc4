// The device map's text: whatever it says, parsing ends, every entry it keeps is one the text
// names (a disk below 24, a letter A: to Z:, a partition range that cannot overflow), and the
// same text fills a table the same way. Only the text is looked at: no path is opened.
#include "platform/devices/device_map.h"

#include <cstdlib>
#include <string_view>

namespace {

constexpr size_t kMaxInput = 1 << 16;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > kMaxInput)
        size = kMaxInput;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    DeviceTable table;
    const std::vector<std::string> errors = DeviceMap::Parse(text, table);
    for (int i = 0; i < DeviceTable::kMaxPhysicalDisks; ++i) {
        std::optional<DeviceSource> disk = table.PhysicalDisk(i);
        if (disk && (disk->path.empty() || disk->firstSector != 0 || disk->sectorCount))
            std::abort();
    }
    for (int i = 0; i < DeviceTable::kMaxDriveLetters; ++i) {
        std::optional<DeviceSource> letter = table.DriveLetter(i);
        if (!letter)
            continue;
        if (letter->path.empty() || text.find(letter->path) == std::string_view::npos)
            std::abort();
        if (letter->sectorCount &&
            (*letter->sectorCount == 0 || letter->firstSector > UINT64_MAX / 512 ||
             *letter->sectorCount > UINT64_MAX / 512 - letter->firstSector))
            std::abort();
    }
    DeviceTable again;
    if (DeviceMap::Parse(text, again) != errors || !table.SameEntries(again))
        std::abort();
    return 0;
}

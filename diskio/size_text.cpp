#include "diskio/size_text.h"

#include "platform/format_text.h"
#include "platform/string_table.h"

namespace {

// "%.2f GB", "%.2f MB" and "%.2f KB".
constexpr uint32_t kGigabytesId = 62210;
constexpr uint32_t kMegabytesId = 62211;
constexpr uint32_t kKilobytesId = 62212;

} // namespace

std::u16string FormatSize(uint64_t bytes) {
    const StringTable& strings = StringTable::Program();
    if (bytes >> 30)
        return FormatText(strings.Get(kGigabytesId), static_cast<double>(bytes) / (1ull << 30));
    if (bytes >> 20)
        return FormatText(strings.Get(kMegabytesId), static_cast<double>(bytes) / (1ull << 20));
    return FormatText(strings.Get(kKilobytesId), static_cast<double>(bytes) / (1ull << 10));
}

std::u16string FormatSizeFromSectors(uint32_t sectorsLow, uint32_t sectorsHigh) {
    uint64_t sectors = (static_cast<uint64_t>(sectorsHigh) << 32) | sectorsLow;
    // Sector counts reach 2^64 only from corrupt records; saturate rather than wrap.
    uint64_t bytes = sectors > UINT64_MAX / 512 ? UINT64_MAX : sectors * 512;
    return FormatSize(bytes);
}

#include "diskio/inventory/size_text.h"

#include "platform/text/format_text.h"
#include "platform/resources/string_table.h"
#include "resources/string_ids.h"

namespace {} // namespace

std::u16string FormatSize(uint64_t bytes) {
    const StringTable& strings = StringTable::Program();
    if (bytes >> 30)
        return FormatText(strings.Get(kGigabytesId), static_cast<double>(bytes) / (1ull << 30));
    if (bytes >> 20)
        return FormatText(strings.Get(kMegabytesFormatId),
                          static_cast<double>(bytes) / (1ull << 20));
    return FormatText(strings.Get(kKilobytesFormatId), static_cast<double>(bytes) / (1ull << 10));
}

std::u16string FormatSizeFromSectors(uint32_t sectorsLow, uint32_t sectorsHigh) {
    uint64_t sectors = (static_cast<uint64_t>(sectorsHigh) << 32) | sectorsLow;
    // Sector counts reach 2^64 only from corrupt records; saturate rather than wrap.
    uint64_t bytes = sectors > UINT64_MAX / 512 ? UINT64_MAX : sectors * 512;
    return FormatSize(bytes);
}

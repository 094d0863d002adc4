#include "diskio/inventory/drive_node_number.h"

#include <array>

namespace {

constexpr uint8_t kFirstDiskCode = 0x80;
constexpr uint8_t kLastDiskCode = 0x97;

bool IsDiskCode(unsigned number) {
    return number >= kFirstDiskCode && number <= kLastDiskCode;
}

} // namespace

std::optional<uint8_t> NextDriveNodeNumber(std::span<const uint8_t> inUse) {
    std::array<bool, 256> taken{};
    for (uint8_t number : inUse)
        taken[number] = true;
    // "Last + 1" alone wraps in 8 bits onto numbers already given; walk on to a free one.
    const unsigned first = inUse.empty() ? 0 : (inUse.back() + 1u) & 0xFF;
    for (unsigned step = 0; step < 256; ++step) {
        const unsigned number = (first + step) & 0xFF;
        if (!taken[number] && !IsDiskCode(number))
            return static_cast<uint8_t>(number);
    }
    return std::nullopt;
}

#include "app/dialogs/scan/image_selection_rules.h"
#include "resources/string_ids.h"

#include <algorithm>
#include <limits>

namespace image_selection {

namespace {

// value * numerator / denominator, rounded down, without overflow; numerator <= denominator.
__extension__ typedef unsigned __int128 Wide;

uint64_t ScaleDown(uint64_t value, uint64_t numerator, uint64_t denominator) {
    return static_cast<uint64_t>(Wide{value} * numerator / denominator);
}

bool IsSpace(char16_t c) {
    return c == u' ' || c == u'\t';
}

} // namespace

uint64_t SectorForLever(int64_t position, int64_t units, uint64_t totalSectors) {
    if (position <= 0) {
        return 0;
    }
    if (units <= 0 || position >= units) {
        return totalSectors;
    }
    return ScaleDown(totalSectors, static_cast<uint64_t>(position), static_cast<uint64_t>(units));
}

int64_t LeverForSector(uint64_t sector, int64_t units, uint64_t totalSectors) {
    if (units <= 0 || totalSectors == 0) {
        return 0;
    }
    const uint64_t kept = std::min(sector, totalSectors);
    return static_cast<int64_t>(ScaleDown(static_cast<uint64_t>(units), kept, totalSectors));
}

std::optional<TypedSector> ReadSectorText(std::u16string_view text, uint64_t totalSectors) {
    while (!text.empty() && IsSpace(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsSpace(text.back())) {
        text.remove_suffix(1);
    }
    if (text.empty()) {
        return std::nullopt;
    }
    constexpr uint64_t kMax = std::numeric_limits<uint64_t>::max();
    uint64_t value = 0;
    bool overflow = false;
    for (const char16_t c : text) {
        if (c < u'0' || c > u'9') {
            return std::nullopt;
        }
        const uint64_t digit = static_cast<uint64_t>(c - u'0');
        if (value > (kMax - digit) / 10) {
            // Still read the rest, so that a letter further on is refused all the same.
            overflow = true;
            continue;
        }
        value = value * 10 + digit;
    }
    if (overflow || value > totalSectors) {
        return TypedSector{totalSectors, true};
    }
    return TypedSector{value, false};
}

RegionProblem CheckRegion(std::optional<uint64_t> first, std::optional<uint64_t> last) {
    if (!first || !last) {
        return RegionProblem::MissingSector;
    }
    return *first > *last ? RegionProblem::FirstAfterLast : RegionProblem::None;
}

uint32_t RegionProblemMessageId(RegionProblem problem) {
    switch (problem) {
    case RegionProblem::None:
        return 0;
    case RegionProblem::MissingSector:
        return kMissingSectorId;
    case RegionProblem::FirstAfterLast:
        return kFirstAfterLastId;
    }
    return 0;
}

scan_action::Region ClampRegion(scan_action::Region region, uint64_t totalSectors) {
    const uint64_t last = std::min(region.lastSector, totalSectors);
    return {std::min(region.firstSector, last), last};
}

} // namespace image_selection

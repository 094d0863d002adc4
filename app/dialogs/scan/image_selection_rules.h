#pragma once

#include "app/dialogs/scan/scan_action_rules.h"

#include <cstdint>
#include <optional>
#include <string_view>

// The rules of the region-selection dialog, without widgets: how the slider's lever positions
// and the drive's sectors stand for each other, how a typed sector number is read, and which
// regions OK takes. A region is [first, last) with last at most the drive's total sector count.
// All sector arithmetic is exact in 64 bits, for drives of any size, with fewer sectors than
// the slider has units included.
namespace image_selection {

// The slider's length in lever units.
inline constexpr int64_t kSliderUnits = 500;

// The sector a lever position stands for: that share of the drive, rounded down, so the right
// end gives the total exactly. Positions outside [0, units] count as the nearer end; with no
// units every position past 0 is the end.
uint64_t SectorForLever(int64_t position, int64_t units, uint64_t totalSectors);

// The lever position that stands for a sector: its share of the units, rounded down. Sectors
// past the total count as the total; on a drive of no sectors every sector is position 0.
int64_t LeverForSector(uint64_t sector, int64_t units, uint64_t totalSectors);

// A typed sector number kept within the drive.
struct TypedSector {
    uint64_t sector = 0;
    // The number was above the total (or above 64 bits) and the total was taken.
    bool clamped = false;
    bool operator==(const TypedSector&) const = default;
};

// Reads decimal digits, with spaces around them allowed, as an unsigned number kept at most
// `totalSectors`. Nothing for an empty text or one with anything else in it: a sign, a
// fraction, letters or digits of other scripts.
std::optional<TypedSector> ReadSectorText(std::u16string_view text, uint64_t totalSectors);

// Why OK cannot take what the edits hold.
enum class RegionProblem {
    None,
    // An edit is empty or holds no number.
    MissingSector,
    FirstAfterLast,
};
RegionProblem CheckRegion(std::optional<uint64_t> first, std::optional<uint64_t> last);
// The string-table message that says why; 0 for None.
uint32_t RegionProblemMessageId(RegionProblem problem);

// A region the dialog can start from: last at most the total, first at most last.
scan_action::Region ClampRegion(scan_action::Region region, uint64_t totalSectors);

} // namespace image_selection

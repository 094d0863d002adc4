#pragma once

#include "hexview/hex_viewer_settings.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

// The texts of the dialog's information panel, worked out from the settings alone: the
// caption, the size, the cluster list of a file, or four labels with their values for a disk
// or a partition.
struct HexInfoPanel {
    std::u16string caption;
    std::u16string sizeText;
    // File mode: the cluster list and its count are shown, the labels hidden.
    bool showClusters = false;
    std::vector<std::u16string> clusterRows;
    std::u16string totalClusters;
    // Disk mode: the labels 2004 to 2007 and values 2008 to 2011 (none for an image source).
    bool showLabels = false;
    std::array<std::u16string, 4> labels;
    std::array<std::u16string, 4> values;

    // The panel of `settings`. Cluster rows are capped at `maxRows` (the list would only take
    // memory past what anyone scrolls through).
    static HexInfoPanel Build(const HexViewerSettings& settings, size_t maxRows = kMaxClusterRows);

    // "%d Bytes", "%.2f KB", "%.2f MB" or "%.2f GB" of a byte count.
    static std::u16string SizeText(uint64_t bytes);

    // The sectors per cluster of a partition's first sector (its boot sector's byte 13); none
    // when the sector is not whole.
    static std::optional<uint32_t> BootSectorsPerCluster(std::span<const uint8_t> sector);

    static constexpr size_t kMaxClusterRows = 1u << 20;
};

// Offsets typed into the go-to box: hexadecimal digits only, at most 16 of them.
namespace HexOffsetText {

inline constexpr size_t kMaxDigits = 16;

bool IsHexDigit(char16_t c);
// Whether `text` may stand in the box: every character a hex digit, at most 16. Every edit,
// typed or pasted, is checked by this.
bool Acceptable(std::u16string_view text);
// The value of acceptable text (empty is 0); none for anything else.
std::optional<uint64_t> Parse(std::u16string_view text);

// What ">>" does with a value: go there, or refuse it with "Exceed the range" when it lies
// past the size (an offset equal to the size is accepted).
enum class GoTo {
    Go,
    ExceedsRange,
};
GoTo Decide(uint64_t offset, uint64_t size);

} // namespace HexOffsetText

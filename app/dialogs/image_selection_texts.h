#pragma once

#include <cstdint>

// String ids of the texts of the region-selection dialog, 62730 to 62739.
namespace image_selection_text {

inline constexpr uint32_t kCaptionId = 62730;
// What the dialog is for, above the slider.
inline constexpr uint32_t kDescriptionId = 62731;
inline constexpr uint32_t kStartingSectorId = 62732;
inline constexpr uint32_t kEndingSectorId = 62733;
// Why OK keeps the dialog open.
inline constexpr uint32_t kMissingSectorId = 62734;
inline constexpr uint32_t kFirstAfterLastId = 62735;

} // namespace image_selection_text

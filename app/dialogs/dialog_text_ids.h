#pragma once

#include <cstdint>

// String ids of the buttons and captions several dialogs share.
namespace dialog_text {

inline constexpr uint32_t kOkId = 62600;
inline constexpr uint32_t kCancelId = 62601;
inline constexpr uint32_t kHelpId = 62602;
inline constexpr uint32_t kBrowseId = 62603;
inline constexpr uint32_t kRenameId = 62604;
// "File with the same name already exists".
inline constexpr uint32_t kNameTakenCaptionId = 62605;

} // namespace dialog_text

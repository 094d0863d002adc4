#pragma once

#include "app/commands/command_ids.h"

#include <array>
#include <cstdint>

// The commands that stand for a value, indexed by that value: the language (0 English to
// 4 Italian), the FAT linking mode (0 Fat1, 1 Fat2, 2 contiguous) and the file list's view
// style (0 large icon, 1 details, 2 small icon, 3 list). The frame's handlers set the value of
// the command chosen; the menu rules mark the command of the value in force.
namespace CommandValues {
inline constexpr std::array<uint32_t, 5> kLanguageCommands = {
    CommandId::kEnglish, CommandId::kFrench, CommandId::kGerman, CommandId::kSpanish,
    CommandId::kItalian};
inline constexpr std::array<uint32_t, 3> kLinkingCommands = {
    CommandId::kLinkingFat1, CommandId::kLinkingFat2, CommandId::kLinkingContiguous};
inline constexpr std::array<uint32_t, 4> kViewStyleCommands = {
    CommandId::kLargeIcon, CommandId::kDetails, CommandId::kSmallIcon, CommandId::kList};
} // namespace CommandValues

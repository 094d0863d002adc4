#pragma once

#include <cstdint>
#include <string>

// The viewer library's own string table. Its ids are its own and collide with the program's,
// so the library never reads the program's table. English only: no language pack is loaded
// into a library.
namespace HexViewerStrings {

inline constexpr uint32_t kExceedTheRange = 2;
inline constexpr uint32_t kAddress = 3;
inline constexpr uint32_t kAnsiText = 4;
// The caption, then the texts of dialog template 2000 by the id of the control that shows
// them.
inline constexpr uint32_t kCaption = 1;
inline constexpr uint32_t kGoToOffset = 1014;
inline constexpr uint32_t kGoButton = 1002;
inline constexpr uint32_t kSizeLabel = 2000;
inline constexpr uint32_t kOffsetLabel = 2001;
inline constexpr uint32_t kSectorLabel = 2002;
inline constexpr uint32_t kTotalClustersLabel = 2003;
inline constexpr uint32_t kClusterColumn = 1012;
// The panel's labels: disk labels from 100, partition labels from 110.
inline constexpr uint32_t kDiskLabels = 100;
inline constexpr uint32_t kPartitionLabels = 110;

// The text of `id`; empty for an id the table does not hold.
std::u16string Get(uint32_t id);

} // namespace HexViewerStrings

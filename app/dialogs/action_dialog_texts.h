#pragma once

#include <cstdint>

// String ids of the texts of the "Select Appropriate Action" dialogs.
namespace action_text {

// Captions: "Select appropriate Action" for an image of a volume, "Select Appropriate Action"
// for the others.
inline constexpr uint32_t kVolumeImageCaptionId = 62700;
inline constexpr uint32_t kCaptionId = 62701;
// The actions.
inline constexpr uint32_t kStandardScanId = 62702;
inline constexpr uint32_t kAdvanceScanId = 62703;
inline constexpr uint32_t kCreateImageFileId = 62704;
inline constexpr uint32_t kSearchLogicalDriveId = 62705;
inline constexpr uint32_t kRawDataRecoveryId = 62706;
// The links.
inline constexpr uint32_t kKnownFileTypesId = 62707;
inline constexpr uint32_t kPreviousFileSystemId = 62708;
inline constexpr uint32_t kSpecifiedRegionId = 62709;
inline constexpr uint32_t kSelectedRegionId = 62710;
// The items of the previous-file-system combo.
inline constexpr uint32_t kFatId = 62711;
inline constexpr uint32_t kNtfsId = 62712;
// What each action does.
inline constexpr uint32_t kStandardScanTextId = 62713;
inline constexpr uint32_t kAdvanceScanTextId = 62714;
inline constexpr uint32_t kPreviousFileSystemTextId = 62715;
inline constexpr uint32_t kVolumeImageTextId = 62716;
inline constexpr uint32_t kSearchLogicalDriveTextId = 62717;
inline constexpr uint32_t kDiskRawRecoveryTextId = 62718;
inline constexpr uint32_t kDiskImageTextId = 62719;
inline constexpr uint32_t kCdRawRecoveryTextId = 62720;
inline constexpr uint32_t kCdImageTextId = 62721;
// The lost-drive search dialog: its caption, the labels of its two actions and what they do.
inline constexpr uint32_t kSearchCaptionId = 62722;
inline constexpr uint32_t kStandardSearchId = 62723;
inline constexpr uint32_t kAdvanceSearchId = 62724;
inline constexpr uint32_t kStandardSearchTextId = 62725;
inline constexpr uint32_t kAdvanceSearchTextId = 62726;
// Tips of the links.
inline constexpr uint32_t kFileTypesTipId = 61479;
inline constexpr uint32_t kRegionTipId = 61480;
inline constexpr uint32_t kPreviousFileSystemTipId = 61484;

} // namespace action_text

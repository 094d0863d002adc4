#pragma once

#include <array>
#include <cstdint>

// The topics of the user guide that the dialogs' Help buttons open, each a page of its own in
// every language's guide (scan_action::HelpTopicPageFor).
namespace help_topic {

inline constexpr uint32_t kScanAction = 1170;
inline constexpr uint32_t kScanActionImage = 1140;
inline constexpr uint32_t kDiskAction = 1130;
inline constexpr uint32_t kDiskImageAction = 1160;
inline constexpr uint32_t kCdRecoveryAction = 1150;
inline constexpr uint32_t kRawRecoveryAction = 1180;
inline constexpr uint32_t kSearchLogicalDrive = 1310;
inline constexpr uint32_t kRecoveryDestination = 1330;
inline constexpr uint32_t kFileFilter = 1350;
inline constexpr uint32_t kAdvanceSettings = 1360;
inline constexpr uint32_t kSignatures = 1370;
inline constexpr uint32_t kFileMask = 1380;
inline constexpr uint32_t kFind = 1390;
inline constexpr uint32_t kFileTypes = 1430;
inline constexpr uint32_t kRegionSelection = 1440;
inline constexpr uint32_t kScanFileExists = 1450;

inline constexpr std::array<uint32_t, 16> kAll = {kScanAction,
                                                  kScanActionImage,
                                                  kDiskAction,
                                                  kDiskImageAction,
                                                  kCdRecoveryAction,
                                                  kRawRecoveryAction,
                                                  kSearchLogicalDrive,
                                                  kRecoveryDestination,
                                                  kFileFilter,
                                                  kAdvanceSettings,
                                                  kSignatures,
                                                  kFileMask,
                                                  kFind,
                                                  kFileTypes,
                                                  kRegionSelection,
                                                  kScanFileExists};

} // namespace help_topic

#pragma once

#include <cstdint>

// Command ids of the main menu (128), the file list's and folder tree's context menu (218) and
// the drive tree's context menu (239). A command's menu text is the string of the same id.
namespace CommandId {
// Drives
inline constexpr uint32_t kShowDriveList = 32816;
inline constexpr uint32_t kRefreshDriveList = 32817;
inline constexpr uint32_t kOpenDriveUsingScanInformation = 32818;
inline constexpr uint32_t kOpenImageFile = 32819;
inline constexpr uint32_t kExit = 57665;
// Files
inline constexpr uint32_t kRecoverAll = 32809;
inline constexpr uint32_t kRecoverSelected = 32810;
inline constexpr uint32_t kAddFileFilter = 32811;
inline constexpr uint32_t kRemoveFileFilter = 32812;
// Tools
inline constexpr uint32_t kStopCurrentProcess = 32792;
inline constexpr uint32_t kSaveScanInformation = 32793;
inline constexpr uint32_t kAdvanceSettings = 32794;
inline constexpr uint32_t kFind = 32795;
inline constexpr uint32_t kFindNext = 32796;
inline constexpr uint32_t kFileMask = 32797;
inline constexpr uint32_t kShowOriginalList = 32834;
inline constexpr uint32_t kSelectAll = 32798;
inline constexpr uint32_t kUnselectAll = 32799;
inline constexpr uint32_t kSaveLog = 32800;
inline constexpr uint32_t kClearLog = 32820;
inline constexpr uint32_t kLinkingFat1 = 32802;
inline constexpr uint32_t kLinkingFat2 = 32803;
inline constexpr uint32_t kLinkingContiguous = 32804;
inline constexpr uint32_t kAppendHeaderFile = 32805;
inline constexpr uint32_t kFilePreview = 32821;
// View
inline constexpr uint32_t kViewToolbar = 59392;
inline constexpr uint32_t kViewStatusBar = 59393;
inline constexpr uint32_t kMessageLog = 32826;
inline constexpr uint32_t kGoUp = 32786;
inline constexpr uint32_t kLargeIcon = 59409;
inline constexpr uint32_t kSmallIcon = 59408;
inline constexpr uint32_t kList = 59410;
inline constexpr uint32_t kDetails = 59411;
inline constexpr uint32_t kArrangeName = 32827;
inline constexpr uint32_t kArrangeType = 32828;
inline constexpr uint32_t kArrangeSize = 32829;
inline constexpr uint32_t kArrangeModified = 32830;
inline constexpr uint32_t kArrangeCreated = 32831;
inline constexpr uint32_t kArrangeAccessed = 32832;
inline constexpr uint32_t kArrangeFileId = 32833;
// Language
inline constexpr uint32_t kEnglish = 32784;
inline constexpr uint32_t kFrench = 32822;
inline constexpr uint32_t kGerman = 32823;
inline constexpr uint32_t kSpanish = 32824;
inline constexpr uint32_t kItalian = 32825;
// Help
inline constexpr uint32_t kHelpTopics = 57667;
inline constexpr uint32_t kUpdate = 32780;
inline constexpr uint32_t kEmailSupport = 32781;
inline constexpr uint32_t kViewSupportSection = 32806;
inline constexpr uint32_t kKnowledgeBase = 32807;
inline constexpr uint32_t kGenerateTicket = 32808;
inline constexpr uint32_t kTipOfTheDay = 32815;
inline constexpr uint32_t kAbout = 57664;
// Context menu 218 (file list and folder tree)
inline constexpr uint32_t kPreview = 32850;
inline constexpr uint32_t kSelectUnselect = 32851;
inline constexpr uint32_t kRecover = 32849;
inline constexpr uint32_t kRename = 32852;
inline constexpr uint32_t kShowProperties = 32848;
// Context menu 239 (drive tree)
inline constexpr uint32_t kDiskPreview = 32835;
inline constexpr uint32_t kProperties = 32836;
} // namespace CommandId

// Menu resources.
inline constexpr uint32_t kMainMenuId = 128;
inline constexpr uint32_t kEntryContextMenuId = 218;
inline constexpr uint32_t kDriveContextMenuId = 239;

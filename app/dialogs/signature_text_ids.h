#pragma once

#include <cstdint>

// String ids of the signature dialogs and the file-type list.
namespace signature_text {

inline constexpr uint32_t kAddEditCaptionId = 62664;
inline constexpr uint32_t kAddNewCaptionId = 62665;
inline constexpr uint32_t kFileTypesCaptionId = 62666;
inline constexpr uint32_t kInstructionId = 62667;
inline constexpr uint32_t kAddNewNoteId = 62668;
inline constexpr uint32_t kHeaderLengthId = 62669;
inline constexpr uint32_t kHeaderFormatId = 62670;
inline constexpr uint32_t kOffsetInvalidId = 62671;
inline constexpr uint32_t kSizeInvalidId = 62672;
inline constexpr uint32_t kNameLengthId = 62673;
inline constexpr uint32_t kNameBlankId = 62674;
inline constexpr uint32_t kExtensionLengthId = 62675;
inline constexpr uint32_t kExtensionBlankId = 62676;
inline constexpr uint32_t kAppendFailedId = 62677;
inline constexpr uint32_t kNameColumnId = 62678;
inline constexpr uint32_t kExtensionColumnId = 62679;
inline constexpr uint32_t kSizeColumnId = 62680;
inline constexpr uint32_t kSizeTipId = 62681;
inline constexpr uint32_t kKilobytesId = 62682;
inline constexpr uint32_t kMegabytesId = 62683;
inline constexpr uint32_t kHiddenHeaderId = 62684;
inline constexpr uint32_t kHeaderLabelId = 62685;
inline constexpr uint32_t kOffsetLabelId = 62686;
inline constexpr uint32_t kSizeLabelId = 62687;
inline constexpr uint32_t kGroupLabelId = 62688;
inline constexpr uint32_t kNameLabelId = 62689;
inline constexpr uint32_t kExtensionLabelId = 62690;
inline constexpr uint32_t kAddId = 62691;
inline constexpr uint32_t kEditId = 62692;
inline constexpr uint32_t kRemoveId = 62693;
inline constexpr uint32_t kCloseId = 62694;
inline constexpr uint32_t kSelectAllId = 62695;
inline constexpr uint32_t kUnselectAllId = 62696;
inline constexpr uint32_t kFileTypesNoteId = 62697;
// The user's header file could not be written.
inline constexpr uint32_t kNotSavedId = 62698;

} // namespace signature_text

#pragma once

#include "preview/office_kind.h"

#include <cstdint>

// String ids of the office and Access previews.
namespace office_preview_text {

// "... instances of Microsoft Word are currently running ..." and its twins for Excel,
// PowerPoint and Access: the id is the kind's number + 1.
constexpr uint32_t RunningPromptId(OfficeKind kind) {
    return static_cast<uint32_t>(kind) + 1;
}
// "MS Word is not properly installed on this machine." and its twins, by kind.
constexpr uint32_t NotInstalledId(OfficeKind kind) {
    return 64300 + static_cast<uint32_t>(kind) - 1;
}

} // namespace office_preview_text

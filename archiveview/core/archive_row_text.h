#pragma once

#include "archiveview/core/archive_listing.h"

#include <cstdint>
#include <string>

// The texts of the archive listing's rows and totals.

// Library string ids of the Type column.
inline constexpr uint32_t kEntryTypeFileId = 7;
inline constexpr uint32_t kEntryTypeFolderId = 8;

// "File" when both sizes are nonzero, else "Folder".
uint32_t EntryTypeStringId(const ArchiveEntry& entry);
// The size in bytes as an unsigned decimal.
std::u16string EntrySizeText(uint64_t bytes);
// What packing saved, "%.2f %%" of the unpacked size; "0.00 %" when nothing was saved or the
// entry is empty.
std::u16string EntryRatioText(uint64_t unpacked, uint64_t packed);
// An MS-DOS stamp (date in the high half) as "%m/%d/%Y, %I:%M:%p": fields as stored, even when
// no calendar has them (day 0, month 15), hour 0 as 12, AM or PM in English.
std::u16string DosStampText(uint32_t dosDateTime);
// A byte count in the largest unit it holds at least one of: "%d Bytes", "%.2f KB", "%.2f MB",
// "%.2f GB".
std::u16string ByteCountText(uint64_t bytes);

#pragma once

#include "archiveview/core/archive_listing.h"
#include "archiveview/core/preview_byte_source.h"

#include <cstdint>
#include <string_view>

// The listing of a found archive, chosen by the last four characters of its name: ".rar" walks
// the RAR headers, ".zip" the zip directory (either case); any other name lists nothing.
ArchiveListing ListArchiveContents(std::u16string_view fileName, PreviewByteSource& source,
                                   uint64_t fileSize);

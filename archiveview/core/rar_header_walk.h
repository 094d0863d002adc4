#pragma once

#include "archiveview/core/archive_listing.h"
#include "archiveview/core/preview_byte_source.h"

#include <cstdint>

// The entries of a RAR archive of format 1.5 to 4.x, block by block after its marker: file
// headers are listed whatever system made them (large-file entries with the high halves of
// both sizes, their name after them), the main header and service blocks (comments, recovery
// records, ...) are stepped over by their header and data sizes, and the walk ends at the end
// block, at a block shorter than its kind's minimum or running past the file, at an unknown
// block type and past the source. A header whose sector fails to read is skipped to the next
// sector. Anything else, RAR 5 included, lists nothing.
ArchiveListing ReadRarHeaders(PreviewByteSource& source, uint64_t fileSize);
